#include "module/password/SealPassword.h"
#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"
#include "tests/module/password/TestKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

using testkeys::BlobSpec;
using testkeys::BuildBlob;
using testkeys::Key;

std::string PasswordOf(size_t length) {
    std::string password(length, 'x');
    for (size_t i = 0; i < length; ++i) {
        password[i] = static_cast<char>(1 + (i * 89 + 13) % 255); // every byte but NUL
    }
    return password;
}

std::string Opened(const std::vector<uint8_t>& privateBlob, const std::vector<uint8_t>& sealed) {
    const agent::UnsealResult result =
        agent::UnsealPassword(privateBlob.data(), privateBlob.size(), sealed.data(), sealed.size());
    EXPECT_TRUE(result.ok) << result.error;
    return std::string(result.password.begin(), result.password.end());
}

TEST(SealPasswordTest, KnownAnswersMatchByteForByte) {
    const auto cases = testvec::ReadVecFile("sealed.vec", "Sealed");
    ASSERT_EQ(cases.size(), 16u);
    for (const auto& c : cases) {
        SCOPED_TRACE("sealed.vec line " + std::to_string(c.line));
        const auto& key = Key(static_cast<unsigned>(c.Number("Bits")), static_cast<uint32_t>(c.Number("E")));
        const auto passwordBytes = c.Bytes("Password");
        const std::string password(passwordBytes.begin(), passwordBytes.end());
        CPasswordSealer sealer(c.Number("Time"));
        std::vector<uint8_t> out(kSealedValueSize, 0xEE);
        ASSERT_EQ(sealer.Seal(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), out.data(),
                              kSealedValueSize, password.c_str()),
                  0);
        EXPECT_EQ(out, c.Bytes("Output"));
        EXPECT_EQ(Opened(key.privateBlob, out), password);
    }
}

TEST(SealPasswordTest, FixtureBlobsAreWhatTheKeyWriterMakes) {
    for (const auto& [bits, e] : {std::pair{848u, 65537u}, {848u, 3u}, {424u, 65537u}, {424u, 3u}}) {
        const auto& key = Key(bits, e);
        const agent::KeyPair pair = agent::BuildKeyPair(static_cast<int>(bits), key.p, key.q, e);
        ASSERT_EQ(pair.code, agent::kKeygenOk);
        EXPECT_EQ(testkeys::ToVector(pair.publicBlob), key.publicBlob) << bits << " " << e;
        EXPECT_EQ(testkeys::ToVector(pair.privateBlob), key.privateBlob) << bits << " " << e;
    }
}

TEST(SealPasswordTest, EveryLengthRoundTripsForBothKeySizes) {
    for (const auto& [bits, e] : {std::pair{848u, 65537u}, {424u, 3u}}) {
        const auto& key = Key(bits, e);
        for (size_t length = 0; length <= kMaxPasswordLength; ++length) {
            const std::string password = PasswordOf(length);
            std::vector<uint8_t> out(kSealedValueSize, 0);
            ASSERT_EQ(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()),
                                   out.data(), kSealedValueSize, password.c_str()),
                      0)
                << bits << " bits, length " << length;
            EXPECT_EQ(Opened(key.privateBlob, out), password) << bits << " bits, length " << length;
        }
    }
}

TEST(SealPasswordTest, PasswordOver142BytesIsRefusedBeforeAnythingElse) {
    const auto& key = Key(848, 65537);
    std::vector<uint8_t> out(kSealedValueSize, 0xEE);
    const std::string password = PasswordOf(143);
    EXPECT_EQ(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), out.data(),
                           kSealedValueSize, password.c_str()),
              1);
    // No key is read either: even a missing key answers the length.
    EXPECT_EQ(SealPassword(nullptr, 0, out.data(), kSealedValueSize, password.c_str()), 1);
    for (const uint8_t b : out) {
        ASSERT_EQ(b, 0xEE);
    }
    // A known-answer sealer that refused a long password has not drawn from its generator: its next
    // sealing is the one of a fresh process.
    const auto cases = testvec::ReadVecFile("sealed.vec", "Sealed");
    const auto& c = cases.front();
    const auto& fixture = Key(static_cast<unsigned>(c.Number("Bits")), static_cast<uint32_t>(c.Number("E")));
    CPasswordSealer sealer(c.Number("Time"));
    EXPECT_EQ(sealer.Seal(fixture.publicBlob.data(), static_cast<uint32_t>(fixture.publicBlob.size()),
                          out.data(), kSealedValueSize, password.c_str()),
              1);
    const auto expectedPassword = c.Bytes("Password");
    ASSERT_EQ(sealer.Seal(fixture.publicBlob.data(), static_cast<uint32_t>(fixture.publicBlob.size()),
                          out.data(), kSealedValueSize,
                          std::string(expectedPassword.begin(), expectedPassword.end()).c_str()),
              0);
    EXPECT_EQ(out, c.Bytes("Output"));
}

// The raw private operation shows each block's data part: for 848 bits the second block holds the last
// 48 plaintext bytes and 49 bytes of value 49; for 424 bits the fourth holds 13 and 31 of value 31.
TEST(SealPasswordTest, LastBlockHoldsTheTailAndThePadding) {
    for (const auto& [bits, tail, pad] : {std::tuple{848u, 48u, 49u}, {424u, 13u, 31u}}) {
        const auto& key = Key(bits, 65537);
        const uint32_t k = (bits + 7) / 8;
        const uint32_t b = (bits - 1) / 8 - 8;
        std::vector<uint8_t> out(kSealedValueSize, 0);
        const std::string password = PasswordOf(kMaxPasswordLength);
        ASSERT_EQ(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()),
                               out.data(), kSealedValueSize, password.c_str()),
                  0);
        rsa::CKeyObject object;
        ASSERT_EQ(rsa::ImportKeyBlob(object, key.privateBlob.data(), key.privateBlob.size()), rsa::kOk);
        std::vector<uint8_t> raw(kSealedPasswordSize);
        uint32_t written = 0;
        rsa::CRandomGenerator unused;
        ASSERT_EQ(rsa::RsaEncrypt(object, rsa::kModeRawB, out.data(), kSealedPasswordSize, k, raw.data(),
                                  static_cast<uint32_t>(raw.size()), &written, unused),
                  rsa::kOk);
        const uint8_t* last = raw.data() + (kSealedPasswordSize / k - 1) * k;
        EXPECT_EQ(last[0], 0x0B);
        // The tail ends with the password's NUL (142 bytes + NUL, then 2 bytes of filler).
        EXPECT_EQ(std::memcmp(last + 1 + tail - 3, "\0", 1), 0);
        for (uint32_t i = 0; i < pad; ++i) {
            EXPECT_EQ(last[1 + tail + i], pad) << bits << " bits, padding byte " << i;
        }
        EXPECT_EQ(tail + pad, b);
    }
}

TEST(SealPasswordTest, TwoSealingsDifferAndFillerIsRandom) {
    const auto& key = Key(848, 65537);
    std::vector<uint8_t> first(kSealedValueSize, 0);
    std::vector<uint8_t> second(kSealedValueSize, 0);
    ASSERT_EQ(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), first.data(),
                           kSealedValueSize, "same"),
              0);
    ASSERT_EQ(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), second.data(),
                           kSealedValueSize, "same"),
              0);
    EXPECT_NE(std::vector<uint8_t>(first.begin(), first.begin() + 106),
              std::vector<uint8_t>(second.begin(), second.begin() + 106));
    size_t zeros = 0;
    for (size_t i = kSealedPasswordSize; i < kSealedValueSize; ++i) {
        zeros += first[i] == 0 ? 1 : 0;
    }
    EXPECT_LT(zeros, 20u); // 288 random bytes, not a run of known ones
    // The plaintext after the NUL is random too.
    rsa::CKeyObject object;
    ASSERT_EQ(rsa::ImportKeyBlob(object, key.privateBlob.data(), key.privateBlob.size()), rsa::kOk);
    std::vector<uint8_t> raw(kSealedPasswordSize);
    uint32_t written = 0;
    rsa::CRandomGenerator unused;
    ASSERT_EQ(rsa::RsaEncrypt(object, rsa::kModeRawB, first.data(), kSealedPasswordSize, 106, raw.data(),
                              kSealedPasswordSize, &written, unused),
              rsa::kOk);
    size_t fillerZeros = 0;
    for (size_t i = 1 + 5; i < 1 + 97; ++i) {
        fillerZeros += raw[i] == 0 ? 1 : 0;
    }
    EXPECT_LT(fillerZeros, 10u);
}

TEST(SealPasswordTest, KeysThatCannotSealAreRefused) {
    const auto& key848 = Key(848, 65537);
    const auto& key424 = Key(424, 65537);
    BlobSpec shape;
    struct Case {
        const char* name;
        std::vector<uint8_t> blob;
        int32_t code;
    };
    std::vector<Case> cases;
    cases.push_back({"private key blob", key848.privateBlob, rsa::kErrKeyData});
    shape.exponent = 1;
    cases.push_back({"exponent 1", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape.exponent = 2;
    cases.push_back({"even exponent", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.variant = 0x3F;
    cases.push_back({"null transform", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.headerBits = 600;
    cases.push_back({"600 bits claimed by an 848-bit modulus", BuildBlob(key848, shape), rsa::kErrLength});
    cases.push_back({"a real 600-bit key seals into 225 bytes",
                     testkeys::ToVector(agent::GenerateKeyPair(600).publicBlob), rsa::kErrLength});
    shape.headerBits = 416;
    cases.push_back({"416 bits", BuildBlob(key424, shape), rsa::kErrLength});
    auto badMagic = key848.publicBlob;
    badMagic[0] = 0;
    cases.push_back({"bad magic", badMagic, rsa::kErrMagic});
    auto truncated = key848.publicBlob;
    truncated.resize(30);
    cases.push_back({"truncated blob", truncated, rsa::kErrLength});
    for (const auto& c : cases) {
        std::vector<uint8_t> out(kSealedValueSize, 0xEE);
        EXPECT_EQ(SealPassword(c.blob.data(), static_cast<uint32_t>(c.blob.size()), out.data(),
                               kSealedValueSize, "secret"),
                  c.code)
            << c.name;
        for (const uint8_t b : out) {
            ASSERT_EQ(b, 0xEE) << c.name;
        }
    }
}

// A 1024-bit modulus does not fit the key format: whatever the blob claims, the sealing answers nonzero.
TEST(SealPasswordTest, KeyOf1024BitsIsRefused) {
    agent::CKeyBlobWriter writer;
    rsa::BigNum n;
    n.SetBit(1023);
    n.SetBit(0);
    writer.AddText("BV", "1.7b");
    writer.AddByte("BC", 3);
    writer.AddByte("BA", 0x30);
    writer.AddU16("BL", 1024);
    writer.AddNumber("NN", n, 128);
    writer.AddNumber("EN", rsa::BigNum::FromU64(65537));
    const auto blob = testkeys::ToVector(writer.Finish(3, 0x30, 1024));
    std::vector<uint8_t> out(kSealedValueSize, 0);
    EXPECT_NE(
        SealPassword(blob.data(), static_cast<uint32_t>(blob.size()), out.data(), kSealedValueSize, "pw"), 0);
}

// A small key would write more than 500 bytes; the capacity stops it before anything lands past it.
TEST(SealPasswordTest, SmallKeysCannotWritePastTheCapacity) {
    const agent::KeyPair pair = agent::GenerateKeyPair(96, 65537);
    ASSERT_EQ(pair.code, agent::kKeygenOk);
    std::vector<uint8_t> out(kSealedValueSize + 64, 0xEE);
    EXPECT_EQ(SealPassword(pair.publicBlob.data(), static_cast<uint32_t>(pair.publicBlob.size()), out.data(),
                           kSealedValueSize, "pw"),
              rsa::kErrLength);
    for (const uint8_t b : out) {
        ASSERT_EQ(b, 0xEE);
    }
}

TEST(SealPasswordTest, SealsFromSeveralThreads) {
    const auto& key = Key(424, 65537);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string password = "thread" + std::to_string(t) + "-" + std::to_string(i);
                std::vector<uint8_t> out(kSealedValueSize, 0);
                if (SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()),
                                 out.data(), kSealedValueSize, password.c_str()) != 0) {
                    ++failures[t];
                    continue;
                }
                const auto r = agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(),
                                                     out.data(), out.size());
                if (!r.ok || std::string(r.password.begin(), r.password.end()) != password) {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(SealPasswordTest, MissingArgumentsAreRefused) {
    const auto& key = Key(848, 65537);
    std::vector<uint8_t> out(kSealedValueSize, 0);
    EXPECT_NE(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), out.data(),
                           kSealedValueSize, nullptr),
              0);
    EXPECT_NE(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), nullptr,
                           kSealedValueSize, "pw"),
              0);
    EXPECT_NE(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), out.data(),
                           100, "pw"),
              0);
}

} // namespace
