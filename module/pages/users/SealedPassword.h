// Storing a new NT password: converted to the NT side's code page, sealed under the key that the NT system's
// agent published, and only the sealed value written to the account's "KEL:Authentication". Every page that
// takes a new password (NT user, hybrid user, the hybrid attributes sheet) stores it this way, so that the
// agent opens each one alike and none lies in the directory in clear.
#pragma once

#include "module/directory/DirContext.h"

#include <cstdint>

constexpr uint32_t kConvertedPasswordSize = 28;
// The most characters a new password may have: the converted buffer keeps its last byte for the NUL, and
// each code page of the NT side takes one byte a character.
constexpr uint32_t kMaxNtPasswordCharacters = kConvertedPasswordSize - 1;

// An empty new password: asks whether to store it (yes/no).
constexpr UINT kMsgEmptyPassword = 20;

constexpr UINT kMsgPasswordNotConverted = 57368;
constexpr UINT kMsgPasswordNotSealed = 57369;
constexpr UINT kMsgNoConversion = 57370;
constexpr UINT kMsgPasswordNotStored = 57371;
// Filled with kMaxNtPasswordCharacters.
constexpr UINT kFmtPasswordTooLong = 57550;

// Whether `password` converts into the NT side's code page within the buffer that is sealed. When it does
// not, shows why (too long: kFmtPasswordTooLong; a character the code page lacks: kMsgPasswordNotConverted)
// and answers false, so that a page can refuse it while everything typed is still there. Without a
// conversion handle it answers true: the store reports that.
bool PasswordConverts(const char* password);

// Converts, seals under `key` (a DirOctetString block, or null) and writes the sealed value to `object`.
// Answers false when the password could not be converted or sealed (the message is shown and nothing is
// written): the account flags that go with a new password must then not be written either. A write the
// directory refused is shown and answers true.
bool StoreSealedPassword(int32_t ctx, const char* object, const char* password, const void* key);

// Wipes a secret buffer even where the compiler sees no later read of it.
void WipeSecret(void* data, size_t length);
