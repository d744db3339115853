#pragma once

#include "module/password/rsa/BigNum.h"
#include "module/password/rsa/KeyObject.h"

#include <cstddef>
#include <cstdint>

namespace rsa {

// Largest number a key field holds, and the largest modulus in bits that follows from it.
inline constexpr size_t kMaxNumberBytes = 106;
inline constexpr unsigned kMaxKeyBits = 848;
inline constexpr size_t kMaxVersionText = 100;
inline constexpr size_t kTrailerSize = 8;
inline constexpr size_t kCheckFieldSize = 12; // "MA", its length and the 8-byte check value
inline constexpr size_t kKeyCheckValueSize = 8;
inline constexpr char kPublicTrailer[] = "PURSAF";
inline constexpr char kPrivateTrailer[] = "PRRSAF";
inline constexpr char kVersionText[] = "1.7b";

// A field of the key data: where its value lies inside the data.
struct KeyField {
    bool present = false;
    size_t offset = 0;
    size_t length = 0;
};

// Finds the first field with `tag` in key data of `dataLength` bytes; absent when the data is too short or
// a field header or value runs into the trailer (such data is rejected as a whole by ParseKeyData).
KeyField FindKeyField(const uint8_t* data, size_t dataLength, const char tag[2]);

// The numbers of an RSA key, taken from key data that passed every check.
struct CKeyData {
    unsigned bits = 0;
    bool isPrivate = false;
    bool hasReductionConstant = false;
    BigNum modulus;
    BigNum exponent;
    BigNum primeP;
    BigNum primeQ;
    BigNum exponentP;
    BigNum exponentQ;
    BigNum coefficient; // q^-1 mod p
};

// Checks the key data of an RSA key object (kinds 3 and 4): trailer, field chain bounds, the "MA" check
// value, every field rule, and the bit count against the modulus. Answers kOk or kErrKeyData.
[[nodiscard]] int32_t ParseKeyData(const CKeyObject& key, CKeyData& out);

} // namespace rsa
