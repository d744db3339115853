#include "module/password/rsa/KeyData.h"

#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/RsaCodes.h"

#include <cstring>

namespace rsa {
namespace {

uint16_t ReadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Every field must lie wholly before the trailer; a field that runs past it would make a lookup read
// outside the key data.
bool FieldChainFits(const uint8_t* data, size_t dataLength) {
    const size_t end = dataLength - kTrailerSize;
    size_t pos = 0;
    while (pos < end) {
        if (end - pos < 4) {
            return false;
        }
        const size_t length = ReadU16(data + pos + 2);
        if (end - pos - 4 < length) {
            return false;
        }
        pos += 4 + length;
    }
    return true;
}

// A field within its limit, or absent.
KeyField LimitedField(const uint8_t* data, size_t dataLength, const char tag[2], size_t limit) {
    KeyField field = FindKeyField(data, dataLength, tag);
    if (field.present && field.length > limit) {
        field.present = false;
    }
    return field;
}

bool ReadNumber(const uint8_t* data, size_t dataLength, const char tag[2], BigNum& out) {
    const KeyField field = LimitedField(data, dataLength, tag, kMaxNumberBytes);
    return field.present && out.SetBytesLE(data + field.offset, field.length);
}

} // namespace

KeyField FindKeyField(const uint8_t* data, size_t dataLength, const char tag[2]) {
    KeyField field;
    if (data == nullptr || dataLength < 9) {
        return field;
    }
    const size_t end = dataLength - kTrailerSize;
    size_t pos = 0;
    while (pos < end && end - pos >= 4) {
        const size_t length = ReadU16(data + pos + 2);
        if (end - pos - 4 < length) {
            return field;
        }
        if (data[pos] == static_cast<uint8_t>(tag[0]) && data[pos + 1] == static_cast<uint8_t>(tag[1])) {
            field.present = true;
            field.offset = pos + 4;
            field.length = length;
            return field;
        }
        pos += 4 + length;
    }
    return field;
}

int32_t ParseKeyData(const CKeyObject& key, CKeyData& out) {
    out = CKeyData();
    const uint8_t* data = key.Data();
    const size_t dataLength = key.DataLength();
    const bool isPrivate = key.Kind() == static_cast<uint8_t>(KeyKind::RsaPrivate);
    if (data == nullptr || (!isPrivate && key.Kind() != static_cast<uint8_t>(KeyKind::RsaPublic))) {
        return kErrKeyData;
    }
    if (dataLength < kTrailerSize + kCheckFieldSize) {
        return kErrKeyData;
    }
    const char* trailer = isPrivate ? kPrivateTrailer : kPublicTrailer;
    if (std::memcmp(data + dataLength - 6, trailer, 6) != 0 ||
        ReadU16(data + dataLength - kTrailerSize) != dataLength - kTrailerSize) {
        return kErrKeyData;
    }
    if (!FieldChainFits(data, dataLength)) {
        return kErrKeyData;
    }

    const KeyField check = FindKeyField(data, dataLength, "MA");
    if (!check.present || check.length < kKeyCheckValueSize) {
        return kErrKeyData;
    }
    uint8_t expected[kKeyCheckValueSize];
    if (ComputeCheckValue(expected, sizeof expected, data, dataLength - 20) != kOk ||
        std::memcmp(expected, data + check.offset, kKeyCheckValueSize) != 0) {
        return kErrKeyData;
    }

    const KeyField version = LimitedField(data, dataLength, "BV", kMaxVersionText);
    if (!version.present) {
        return kErrKeyData;
    }
    unsigned long versionNumber = 0;
    for (size_t i = 0; i < version.length; ++i) {
        const uint8_t c = data[version.offset + i];
        if (c < '0' || c > '9') {
            break;
        }
        versionNumber = versionNumber * 10 + (c - '0');
        if (versionNumber > 1000) {
            break; // already wrong; stop before it can overflow
        }
    }
    if (versionNumber != 1) {
        return kErrKeyData;
    }

    const KeyField kind = LimitedField(data, dataLength, "BC", 1);
    const KeyField variant = LimitedField(data, dataLength, "BA", 1);
    const KeyField bits = FindKeyField(data, dataLength, "BL");
    if (!kind.present || (kind.length == 1 ? data[kind.offset] : 0) != key.Kind()) {
        return kErrKeyData;
    }
    if (!variant.present || (variant.length == 1 ? data[variant.offset] : 0) != key.Variant()) {
        return kErrKeyData;
    }
    if (!bits.present || bits.length != 2 || ReadU16(data + bits.offset) != key.Bits()) {
        return kErrKeyData;
    }
    if (!ReadNumber(data, dataLength, "NN", out.modulus) ||
        !ReadNumber(data, dataLength, "EN", out.exponent)) {
        return kErrKeyData;
    }
    const KeyField reduction = FindKeyField(data, dataLength, "NI");
    out.hasReductionConstant = reduction.present && reduction.length <= kMaxNumberBytes;

    // The working length follows the bit count, so a bit count the modulus does not back would compute
    // on a truncated number, and a modulus longer than the output block would lose ciphertext bytes.
    const unsigned keyBits = key.Bits();
    const size_t modulusBits = out.modulus.BitLength();
    if (keyBits == 0 || keyBits > kMaxKeyBits || keyBits > modulusBits ||
        modulusBits > 8 * ((keyBits + 7) / 8)) {
        return kErrKeyData;
    }

    if (isPrivate) {
        // The primes and their exponents take the same 106 bytes as the public numbers: the primes of an
        // 848-bit key are 53 bytes each, so a tighter limit would refuse every private key that the sealing
        // accepts the public half of.
        if (!ReadNumber(data, dataLength, "PN", out.primeP) ||
            !ReadNumber(data, dataLength, "QN", out.primeQ) ||
            !ReadNumber(data, dataLength, "DP", out.exponentP) ||
            !ReadNumber(data, dataLength, "DQ", out.exponentQ) ||
            !ReadNumber(data, dataLength, "CR", out.coefficient)) {
            return kErrKeyData;
        }
        // Primes that do not multiply to the modulus would give a wrong plaintext without any error.
        BigNum product;
        if (!BigNum::Mul(out.primeP, out.primeQ, product) || BigNum::Compare(product, out.modulus) != 0) {
            return kErrKeyData;
        }
        out.isPrivate = true;
    }
    out.bits = keyBits;
    return kOk;
}

} // namespace rsa
