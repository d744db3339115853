// The locale library: the start-up record and its check, and the conversion of what the administrator
// types (UTF-8) into the single-byte code page of the NT side.
#pragma once

#include <cstdint>

extern "C" {

// Byte offsets of the two fields of the 128-byte record that callers read.
#define LOC_RECORD_SIZE 128
#define LOC_RECORD_CODE_PAGE_OFFSET 56
#define LOC_RECORD_VERSION_OFFSET 60

// The interface version this library implements (major in the high 16 bits).
#define LOC_INTERFACE_VERSION 0x00010000u

// Answer codes of the calls that answer 0 on success.
#define LOC_OK 0
#define LOC_ERR_PARAMETER 1    /* null pointer, flags not 0, bad record */
#define LOC_ERR_HANDLE 2       /* not a handle from LocGetConversionHandle */
#define LOC_ERR_INVALID_UTF8 3 /* the text is not well-formed UTF-8 */
#define LOC_ERR_NO_MAPPING 4   /* a character has no byte in the target code page */
#define LOC_ERR_BUFFER_SMALL 5 /* the output and its NUL do not fit */
#define LOC_ERR_VERSION 6      /* LocCheckVersion: interface version not supported */
#define LOC_ERR_CODE_PAGE 7    /* LocCheckVersion: code page not supported */

// Ordinal 1. Fills the 128-byte record (32-bit little-endian fields): its size (128) at byte 0, the target
// code page at byte 56, LOC_INTERFACE_VERSION at 60, the rest zero. Answers non-zero on success, 0 on
// failure.
int32_t LocInitialize(void* record);
// Ordinal 63. 0 when the version (field at 60) has this library's major number and the code page (field
// at 56) is one it converts to; LOC_ERR_VERSION or LOC_ERR_CODE_PAGE otherwise.
int32_t LocCheckVersion(uint32_t field60, uint32_t field56);
// Ordinal 60. A handle that converts into the target code page in force now.
int32_t LocGetConversionHandle(uintptr_t* handle);
// Ordinal 53. Converts NUL-terminated UTF-8 text into out (outSize bytes, room for the NUL included),
// zero-filling the rest of the buffer; *outLength gets the bytes before the NUL. flags must be 0. On
// failure the whole buffer is zero-filled and *outLength is 0.
int32_t LocConvertString(uintptr_t handle, char* out, uint32_t outSize, const char* text, uint32_t flags,
                         uint32_t* outLength);

// ---- Test hooks (also set by the environment: KELNT_LOC_FAIL_INIT=1, KELNT_LOC_REFUSE_VERSION=1,
// KELNT_LOC_CODE_PAGE=N) ----
// Code pages converted to: 1252 (default), 28591 (ISO 8859-1), 20127 (US-ASCII), 850. Answers 0 when the
// page is not supported (the target stays).
int32_t LocSetTargetCodePage(uint32_t codePage);
uint32_t LocGetTargetCodePage(void);
// Makes LocInitialize answer 0 / LocCheckVersion refuse, until cleared with 0.
void LocSetInitializeFails(int32_t fails);
void LocSetVersionRefused(int32_t refused);
// Back to the defaults (and the environment re-read).
void LocResetTestHooks(void);
}
