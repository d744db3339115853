#pragma once

// The fixed keys of tests/fixtures/sealed.vec, and a builder for key blobs with chosen faults.

#include "agent/KeyBlobWriter.h"
#include "module/password/rsa/BigNum.h"
#include "tests/module/password/VecFile.h"

#include <string>
#include <vector>

namespace testkeys {

struct TestKey {
    unsigned bits = 0;
    uint32_t exponent = 0;
    rsa::BigNum p;
    rsa::BigNum q;
    std::vector<uint8_t> publicBlob;
    std::vector<uint8_t> privateBlob;
};

inline rsa::BigNum FromHex(const std::string& hex) {
    std::vector<uint8_t> le;
    for (size_t i = hex.size(); i > 0;) {
        const size_t start = i >= 2 ? i - 2 : 0;
        le.push_back(static_cast<uint8_t>(std::stoi(hex.substr(start, i - start), nullptr, 16)));
        i = start;
    }
    rsa::BigNum n;
    (void)n.SetBytesLE(le.data(), le.size());
    return n;
}

inline std::vector<TestKey> LoadKeys() {
    std::vector<TestKey> keys;
    for (const auto& c : testvec::ReadVecFile("sealed.vec", "Key")) {
        TestKey key;
        key.bits = static_cast<unsigned>(c.Number("Bits"));
        key.exponent = static_cast<uint32_t>(c.Number("E"));
        key.p = FromHex(c.Get("P"));
        key.q = FromHex(c.Get("Q"));
        key.publicBlob = c.Bytes("Public");
        key.privateBlob = c.Bytes("Private");
        keys.push_back(std::move(key));
    }
    return keys;
}

inline const TestKey& Key(unsigned bits, uint32_t exponent) {
    static const std::vector<TestKey> keys = LoadKeys();
    for (const auto& k : keys) {
        if (k.bits == bits && k.exponent == exponent) {
            return k;
        }
    }
    throw std::runtime_error("no fixture key of " + std::to_string(bits) +
                             " bits, e=" + std::to_string(exponent));
}

inline std::vector<uint8_t> ToVector(const agent::SecretBytes& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// A public or private key blob from the fixture key's numbers, with the fields and header values a test
// wants to change. Everything not overridden is as the key format says.
struct BlobSpec {
    uint8_t kind = 3;
    uint8_t variant = 0x30;
    int fieldKind = -1;  // -1: the same as kind
    int headerBits = -1; // -1: the key's bits
    int fieldBits = -1;
    std::string version = "1.7b";
    bool withReduction = false;
    std::vector<uint8_t> reduction;
    int exponent = -1;     // -1: the key's exponent
    int modulusBytes = -1; // -1: the key's modulus length
    bool dropExponent = false;
};

inline std::vector<uint8_t> BuildBlob(const TestKey& key, const BlobSpec& shape) {
    rsa::BigNum n;
    (void)rsa::BigNum::Mul(key.p, key.q, n);
    const unsigned bits = shape.headerBits >= 0 ? static_cast<unsigned>(shape.headerBits) : key.bits;
    agent::CKeyBlobWriter writer;
    writer.AddText("BV", shape.version);
    writer.AddByte("BC", shape.fieldKind >= 0 ? static_cast<uint8_t>(shape.fieldKind) : shape.kind);
    writer.AddByte("BA", shape.variant);
    writer.AddU16("BL",
                  static_cast<uint16_t>(shape.fieldBits >= 0 ? shape.fieldBits : static_cast<int>(bits)));
    writer.AddNumber("NN", n,
                     shape.modulusBytes >= 0 ? static_cast<size_t>(shape.modulusBytes) : (key.bits + 7) / 8);
    if (!shape.dropExponent) {
        writer.AddNumber(
            "EN",
            rsa::BigNum::FromU64(shape.exponent >= 0 ? static_cast<uint64_t>(shape.exponent) : key.exponent));
    }
    if (shape.withReduction) {
        writer.AddField("NI", shape.reduction.data(), shape.reduction.size());
    }
    return ToVector(writer.Finish(shape.kind, shape.variant, static_cast<uint16_t>(bits)));
}

} // namespace testkeys
