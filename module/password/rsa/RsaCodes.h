#pragma once

#include <cstdint>

// Result codes of the RSA toolkit. Callers of the sealing only tell zero from nonzero, but the codes are
// kept distinct so that the agent tool and the tests can say what went wrong.
namespace rsa {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kErrLength = 1;       // blob too short; encryption input too long
inline constexpr int32_t kErrMagic = 2;        // bad magic; data area cannot be allocated; no memory
inline constexpr int32_t kErrVersion = 3;      // blob version is not 101
inline constexpr int32_t kErrBlockZero = 4;    // a block length of 0 reached the RSA step
inline constexpr int32_t kErrNotFinished = 6;  // a transform step wants to be called again
inline constexpr int32_t kErrKeyData = 7;      // key data rejected; bad block length; padding too long
inline constexpr int32_t kErrInUse = 8;        // object already owns data
inline constexpr int32_t kErrMode = 9;         // mode not valid for the key kind
inline constexpr int32_t kErrStreamCheck = 10; // stream check value wrong (mode 4)
inline constexpr int32_t kErrBlockCheck = 11;  // block check, padding, range or framing wrong
inline constexpr int32_t kErrUnseeded = 12;    // generator drawn before it was seeded
inline constexpr int32_t kErrArithmetic = 13;  // multi-precision arithmetic failed

} // namespace rsa
