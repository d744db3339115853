#include "module/password/rsa/RsaEncrypt.h"
#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "tests/module/password/TestKeys.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testkeys::BlobSpec;
using testkeys::BuildBlob;
using testkeys::Key;

void Seeded(rsa::CRandomGenerator& generator, uint8_t salt = 0) {
    for (int i = 0; i < 100; ++i) {
        generator.Seed(static_cast<uint8_t>(i ^ salt));
    }
}

rsa::CKeyObject& Imported(rsa::CKeyObject& object, const std::vector<uint8_t>& blob) {
    EXPECT_EQ(rsa::ImportKeyBlob(object, blob.data(), blob.size()), rsa::kOk);
    return object;
}

struct Result {
    int32_t code = -1;
    std::vector<uint8_t> bytes;
};

Result Transform(const std::vector<uint8_t>& blob, int mode, const std::vector<uint8_t>& input,
                 uint32_t blockLength, rsa::CRandomGenerator& generator, uint32_t capacity = 40000) {
    rsa::CKeyObject object;
    Imported(object, blob);
    Result r;
    r.bytes.assign(capacity, 0);
    uint32_t written = 0;
    r.code = rsa::RsaEncrypt(object, mode, input.data(), static_cast<uint32_t>(input.size()), blockLength,
                             r.bytes.data(), capacity, &written, generator);
    r.bytes.resize(written);
    return r;
}

std::vector<uint8_t> Pattern(size_t length) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i) {
        data[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    return data;
}

TEST(RsaEncryptTest, PlainModeRoundTripsForEveryFixtureKey) {
    rsa::CRandomGenerator generator;
    Seeded(generator);
    for (const auto& [bits, e] : {std::pair{848u, 65537u}, {848u, 3u}, {424u, 65537u}, {424u, 3u}}) {
        const auto& key = Key(bits, e);
        const uint32_t b = (bits - 1) / 8 - 8;
        const uint32_t k = (bits + 7) / 8;
        for (const size_t length : {size_t{0}, size_t{1}, size_t{b - 1}, size_t{b}, size_t{b + 1},
                                    size_t{145}, size_t{1000}, size_t{12000}}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, e=" + std::to_string(e) + ", " +
                         std::to_string(length));
            const auto plain = Pattern(length);
            const Result sealed = Transform(key.publicBlob, rsa::kModeEncrypt, plain, b, generator);
            ASSERT_EQ(sealed.code, rsa::kOk);
            // A stream whose length is a multiple of B gets a whole block of padding.
            EXPECT_EQ(sealed.bytes.size(), (length / b + 1) * k);
            const Result opened = Transform(key.privateBlob, rsa::kModeDecrypt, sealed.bytes, k, generator);
            ASSERT_EQ(opened.code, rsa::kOk);
            EXPECT_EQ(opened.bytes, plain);
        }
    }
}

TEST(RsaEncryptTest, BlockFrameIsMarkerDataCheckValueAndRandomBytes) {
    const auto& key = Key(424, 65537);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    rsa::CRandomGenerator replay;
    Seeded(replay);
    const auto plain = Pattern(13);
    const Result sealed = Transform(key.publicBlob, rsa::kModeEncrypt, plain, 44, generator);
    ASSERT_EQ(sealed.code, rsa::kOk);
    ASSERT_EQ(sealed.bytes.size(), 53u);
    // The raw private operation undoes the RSA step alone and shows the frame.
    const Result raw = Transform(key.privateBlob, rsa::kModeRawB, sealed.bytes, 53, generator);
    ASSERT_EQ(raw.code, rsa::kOk);
    const auto& block = raw.bytes;
    EXPECT_EQ(block[0], 0x0B);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), block.begin() + 1));
    for (size_t i = 14; i <= 44; ++i) {
        EXPECT_EQ(block[i], 31) << i; // 44 - 13 bytes of padding, each of value 31
    }
    uint8_t check[2];
    ASSERT_EQ(rsa::ComputeCheckValue(check, 2, block.data(), 45), rsa::kOk);
    EXPECT_EQ(block[45], check[0]);
    EXPECT_EQ(block[46], check[1]);
    for (size_t i = 47; i < 52; ++i) {
        uint8_t expected = 0;
        ASSERT_EQ(replay.Draw(&expected), rsa::kOk);
        EXPECT_EQ(block[i], expected) << i;
    }
    EXPECT_EQ(block[52], 0);
}

TEST(RsaEncryptTest, CheckedModeRoundTripsAndCatchesAWrongStreamValue) {
    const auto& key = Key(848, 65537);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    for (const size_t length : {size_t{0}, size_t{91}, size_t{92}, size_t{97}, size_t{500}}) {
        const auto plain = Pattern(length);
        const Result sealed = Transform(key.publicBlob, rsa::kModeEncryptChecked, plain, 97, generator);
        ASSERT_EQ(sealed.code, rsa::kOk) << length;
        EXPECT_EQ(sealed.bytes.size() % 106, 0u);
        const Result opened =
            Transform(key.privateBlob, rsa::kModeDecryptChecked, sealed.bytes, 106, generator);
        ASSERT_EQ(opened.code, rsa::kOk) << length;
        EXPECT_EQ(opened.bytes, plain);
    }
    // A plain-mode stream carries no stream check value: its last five bytes do not match.
    const Result plainSealed = Transform(key.publicBlob, rsa::kModeEncrypt, Pattern(200), 97, generator);
    ASSERT_EQ(plainSealed.code, rsa::kOk);
    EXPECT_EQ(Transform(key.privateBlob, rsa::kModeDecryptChecked, plainSealed.bytes, 106, generator).code,
              rsa::kErrStreamCheck);
}

TEST(RsaEncryptTest, DecryptionRefusesDamagedInput) {
    const auto& key = Key(424, 3);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    const Result sealed = Transform(key.publicBlob, rsa::kModeEncrypt, Pattern(100), 44, generator);
    ASSERT_EQ(sealed.code, rsa::kOk);
    auto damaged = sealed.bytes;
    damaged[60] ^= 0x01;
    EXPECT_EQ(Transform(key.privateBlob, rsa::kModeDecrypt, damaged, 53, generator).code,
              rsa::kErrBlockCheck);
    auto shortened = sealed.bytes;
    shortened.pop_back();
    EXPECT_EQ(Transform(key.privateBlob, rsa::kModeDecrypt, shortened, 53, generator).code,
              rsa::kErrBlockCheck);
    EXPECT_EQ(Transform(key.privateBlob, rsa::kModeDecrypt, {}, 53, generator).code, rsa::kErrBlockCheck);
    // A value at or above the modulus cannot come from the key.
    EXPECT_EQ(
        Transform(key.privateBlob, rsa::kModeDecrypt, std::vector<uint8_t>(53, 0xFF), 53, generator).code,
        rsa::kErrBlockCheck);
}

TEST(RsaEncryptTest, RawModesRoundTripAndCheckTheRange) {
    const auto& key = Key(848, 3);
    rsa::CRandomGenerator generator;
    auto block = Pattern(106);
    block[105] = 0x01; // below the modulus, whose top byte has its two high bits set
    const Result forward = Transform(key.publicBlob, rsa::kModeRawA, block, 106, generator);
    ASSERT_EQ(forward.code, rsa::kOk);
    ASSERT_EQ(forward.bytes.size(), 106u);
    const Result back = Transform(key.privateBlob, rsa::kModeRawB, forward.bytes, 106, generator);
    ASSERT_EQ(back.code, rsa::kOk);
    EXPECT_EQ(back.bytes, block);
    EXPECT_EQ(Transform(key.publicBlob, rsa::kModeRawA, std::vector<uint8_t>(106, 0xFF), 106, generator).code,
              rsa::kErrBlockCheck);
    EXPECT_EQ(Transform(key.publicBlob, rsa::kModeRawA, Pattern(105), 106, generator).code,
              rsa::kErrBlockCheck);
}

TEST(RsaEncryptTest, PrivateEncryptionOpensWithThePublicKey) {
    const auto& key = Key(424, 65537);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    const auto plain = Pattern(77);
    const Result sealed = Transform(key.privateBlob, rsa::kModeEncrypt, plain, 44, generator);
    ASSERT_EQ(sealed.code, rsa::kOk);
    const Result opened = Transform(key.publicBlob, rsa::kModeDecrypt, sealed.bytes, 53, generator);
    ASSERT_EQ(opened.code, rsa::kOk);
    EXPECT_EQ(opened.bytes, plain);
}

TEST(RsaEncryptTest, StoredReductionConstantChangesNothing) {
    const auto& key = Key(848, 65537);
    BlobSpec shape;
    const auto without = BuildBlob(key, shape);
    shape.withReduction = true;
    shape.reduction.assign(106, 0xA5);
    const auto with = BuildBlob(key, shape);
    rsa::CRandomGenerator a;
    rsa::CRandomGenerator b;
    Seeded(a, 9);
    Seeded(b, 9);
    const Result ra = Transform(without, rsa::kModeEncrypt, Pattern(145), 97, a);
    const Result rb = Transform(with, rsa::kModeEncrypt, Pattern(145), 97, b);
    ASSERT_EQ(ra.code, rsa::kOk);
    EXPECT_EQ(ra.bytes, rb.bytes);
}

TEST(RsaEncryptTest, CallFaultsAnswerTheirCodes) {
    const auto& key = Key(848, 65537);
    rsa::CRandomGenerator seeded;
    Seeded(seeded);
    rsa::CRandomGenerator unseeded;
    BlobSpec nullSpec;
    nullSpec.variant = 0x3F;
    BlobSpec oddVariant;
    oddVariant.variant = 0x31;
    BlobSpec digest;
    digest.kind = 1;
    BlobSpec secret;
    secret.kind = 2;
    struct Case {
        const char* name;
        std::vector<uint8_t> blob;
        int mode;
        size_t inputLength;
        uint32_t blockLength;
        rsa::CRandomGenerator* generator;
        int32_t code;
    };
    const Case cases[] = {
        {"input of 16384 bytes", key.publicBlob, 1, 16384, 97, &seeded, rsa::kOk},
        {"input of 16385 bytes", key.publicBlob, 1, 16385, 97, &seeded, rsa::kErrLength},
        {"block length 0", key.publicBlob, 1, 10, 0, &seeded, rsa::kErrKeyData},
        {"block length 301", key.publicBlob, 1, 10, 301, &seeded, rsa::kErrKeyData},
        {"block longer than the key's", key.publicBlob, 1, 10, 98, &seeded, rsa::kErrKeyData},
        {"shorter blocks are fine", key.publicBlob, 1, 10, 50, &seeded, rsa::kOk},
        {"mode 0 on an RSA key", key.publicBlob, 0, 10, 97, &seeded, rsa::kErrKeyData},
        {"mode 7", key.publicBlob, 7, 10, 97, &seeded, rsa::kErrKeyData},
        {"digest kind", BuildBlob(key, digest), 1, 10, 1, &seeded, rsa::kErrMode},
        {"secret-key kind", BuildBlob(key, secret), 1, 10, 8, &seeded, rsa::kErrMode},
        {"unknown variant", BuildBlob(key, oddVariant), 1, 10, 97, &seeded, rsa::kErrMode},
        {"null transform", BuildBlob(key, nullSpec), 1, 145, 97, &seeded, rsa::kOk},
        {"unseeded generator", key.publicBlob, 1, 10, 97, &unseeded, rsa::kErrUnseeded},
    };
    for (const auto& c : cases) {
        const Result r = Transform(c.blob, c.mode, Pattern(c.inputLength), c.blockLength, *c.generator);
        EXPECT_EQ(r.code, c.code) << c.name;
        if (c.code != rsa::kOk || c.blob[13] == 0x3F) {
            EXPECT_TRUE(r.bytes.empty()) << c.name;
        }
    }
}

TEST(RsaEncryptTest, OutputThatWouldNotFitIsRefusedBeforeAnyWrite) {
    const auto& key = Key(424, 65537);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    rsa::CKeyObject object;
    Imported(object, key.publicBlob);
    std::vector<uint8_t> out(300, 0xCC);
    uint32_t written = 99;
    const auto plain = Pattern(145);
    EXPECT_EQ(rsa::RsaEncrypt(object, 1, plain.data(), 145, 44, out.data(), 211, &written, generator),
              rsa::kErrLength);
    EXPECT_EQ(written, 0u);
    for (const uint8_t b : out) {
        ASSERT_EQ(b, 0xCC);
    }
    EXPECT_EQ(rsa::RsaEncrypt(object, 1, plain.data(), 145, 44, out.data(), 212, &written, generator),
              rsa::kOk);
    EXPECT_EQ(written, 212u);
    EXPECT_EQ(out[212], 0xCC);
}

TEST(RsaEncryptTest, PaddingOf256OrMoreIsRefused) {
    // A 2408-bit key is beyond the format; a key that claims 2128 bits gives B = 257, which the
    // 848-bit limit stops first. The padding rule still guards shorter blocks from 256 up.
    const auto& key = Key(848, 65537);
    BlobSpec shape;
    shape.headerBits = 2128;
    const auto blob = BuildBlob(key, shape);
    rsa::CRandomGenerator generator;
    Seeded(generator);
    EXPECT_EQ(Transform(blob, 1, Pattern(0), 257, generator).code, rsa::kErrKeyData);
}

TEST(RsaEncryptTest, EvenModulusIsAnArithmeticFailure) {
    agent::CKeyBlobWriter writer;
    rsa::BigNum n;
    n.SetBit(847);
    n.SetBit(1);
    writer.AddText("BV", "1.7b");
    writer.AddByte("BC", 3);
    writer.AddByte("BA", 0x30);
    writer.AddU16("BL", 848);
    writer.AddNumber("NN", n, 106);
    writer.AddNumber("EN", rsa::BigNum::FromU64(3));
    const auto blob = testkeys::ToVector(writer.Finish(3, 0x30, 848));
    rsa::CRandomGenerator generator;
    Seeded(generator);
    EXPECT_EQ(Transform(blob, 1, Pattern(10), 97, generator).code, rsa::kErrArithmetic);
}

} // namespace
