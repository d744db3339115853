// Storing a new NT password: converted to the NT side's code page, sealed under the key that the NT system's
// agent published, and only the sealed value written to the account's "KEL:Authentication". Every page that
// takes a new password (NT user, hybrid user, the hybrid attributes sheet) stores it this way, so that the
// agent opens each one alike and none lies in the directory in clear.
#pragma once

#include "module/directory/DirContext.h"

#include <cstdint>

constexpr uint32_t kConvertedPasswordSize = 28;

constexpr UINT kMsgPasswordNotConverted = 57368;
constexpr UINT kMsgPasswordNotSealed = 57369;
constexpr UINT kMsgNoConversion = 57370;
constexpr UINT kMsgPasswordNotStored = 57371;

// Converts, seals under `key` (a DirOctetString block, or null) and writes the sealed value to `object`.
// Answers false when the password could not be converted or sealed (the message is shown and nothing is
// written): the account flags that go with a new password must then not be written either. A write the
// directory refused is shown and answers true.
bool StoreSealedPassword(int32_t ctx, const char* object, const char* password, const void* key);

// Wipes a secret buffer even where the compiler sees no later read of it.
void WipeSecret(void* data, size_t length);
