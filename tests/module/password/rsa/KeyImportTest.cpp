#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "tests/module/password/TestKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

using testkeys::BlobSpec;
using testkeys::BuildBlob;
using testkeys::Key;

void PutU16(std::vector<uint8_t>& blob, size_t offset, uint16_t value) {
    blob[offset] = static_cast<uint8_t>(value);
    blob[offset + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t DataLength(const std::vector<uint8_t>& blob) {
    return static_cast<uint16_t>(blob[6] | (blob[7] << 8));
}

TEST(KeyImportTest, ImportsTheFixtureKeys) {
    const auto& key = Key(848, 65537);
    rsa::CKeyObject object;
    ASSERT_EQ(rsa::ImportKeyBlob(object, key.publicBlob.data(), key.publicBlob.size()), rsa::kOk);
    EXPECT_EQ(object.Kind(), 3);
    EXPECT_EQ(object.Variant(), 0x30);
    EXPECT_EQ(object.Bits(), 848);
    EXPECT_EQ(object.DataLength(), DataLength(key.publicBlob));
    EXPECT_EQ(std::memcmp(object.Data(), key.publicBlob.data() + 16, object.DataLength()), 0);
    // The area holds D + 16 bytes: the copied slack of the blob, then zeros.
    for (size_t i = object.DataLength(); i < object.DataLength() + 16u; ++i) {
        EXPECT_EQ(object.Data()[i], 0);
    }
    rsa::CKeyData data;
    ASSERT_EQ(rsa::ParseKeyData(object, data), rsa::kOk);
    EXPECT_EQ(data.modulus.BitLength(), 848u);
    EXPECT_FALSE(data.isPrivate);

    const auto& priv = Key(424, 3);
    ASSERT_EQ(rsa::ImportKeyBlob(object, priv.privateBlob.data(), priv.privateBlob.size()), rsa::kOk);
    ASSERT_EQ(rsa::ParseKeyData(object, data), rsa::kOk);
    EXPECT_TRUE(data.isPrivate);
    EXPECT_EQ(rsa::BigNum::Compare(data.primeP, priv.p), 0);
    EXPECT_EQ(rsa::BigNum::Compare(data.primeQ, priv.q), 0);
    object.ReleaseData();
    EXPECT_FALSE(object.HasData());
}

TEST(KeyImportTest, BlobFaultsAnswerTheirCodes) {
    const auto& good = Key(848, 65537).publicBlob;
    const size_t needed = DataLength(good) + 26u;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> change;
        int32_t code;
    };
    const Case cases[] = {
        {"unchanged", [](auto&) {}, rsa::kOk},
        {"magic", [](auto& b) { b[1] = 0xB2; }, rsa::kErrMagic},
        {"magic high word", [](auto& b) { b[3] = 1; }, rsa::kErrMagic},
        {"version 100", [](auto& b) { PutU16(b, 4, 100); }, rsa::kErrVersion},
        {"D + 25 bytes", [&](auto& b) { b.resize(needed - 1); }, rsa::kErrLength},
        {"exactly D + 26 bytes", [&](auto& b) { b.resize(needed); }, rsa::kOk},
        {"header only", [](auto& b) { b.resize(16); }, rsa::kErrLength},
        {"shorter than the header", [](auto& b) { b.resize(15); }, rsa::kErrLength},
        {"four bytes", [](auto& b) { b.resize(4); }, rsa::kErrLength},
        {"empty", [](auto& b) { b.clear(); }, rsa::kErrLength},
        {"external word", [](auto& b) { PutU16(b, 8, 1); }, rsa::kErrMagic},
        {"data length 0", [](auto& b) { PutU16(b, 6, 0); }, rsa::kErrMagic},
        {"data length past the blob", [](auto& b) { PutU16(b, 6, 0xFFFF); }, rsa::kErrLength},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> blob = good;
        c.change(blob);
        rsa::CKeyObject object;
        EXPECT_EQ(rsa::ImportKeyBlob(object, blob.data(), blob.size()), c.code) << c.name;
        EXPECT_EQ(object.HasData(), c.code == rsa::kOk) << c.name;
    }
    rsa::CKeyObject object;
    EXPECT_EQ(rsa::ImportKeyBlob(object, nullptr, 100), rsa::kErrLength);
}

TEST(KeyImportTest, KeyDataFaultsAreRejected) {
    const auto& key848 = Key(848, 65537);
    const auto& key424 = Key(424, 65537);
    struct Case {
        const char* name;
        std::vector<uint8_t> blob;
        int32_t code;
    };
    auto changed = [](std::vector<uint8_t> blob, const std::function<void(std::vector<uint8_t>&)>& change) {
        change(blob);
        return blob;
    };
    const size_t d = DataLength(key848.publicBlob);
    BlobSpec shape;
    std::vector<Case> cases;
    cases.push_back({"fixture", key848.publicBlob, rsa::kOk});
    cases.push_back(
        {"private trailer on a public key",
         changed(key848.publicBlob, [&](auto& b) { std::memcpy(b.data() + 16 + d - 6, "PRRSAF", 6); }),
         rsa::kErrKeyData});
    cases.push_back({"trailer length word", changed(key848.publicBlob, [&](auto& b) { b[16 + d - 8] ^= 1; }),
                     rsa::kErrKeyData});
    cases.push_back({"last byte before MA",
                     changed(key848.publicBlob, [&](auto& b) { b[16 + d - 21] ^= 0x01; }), rsa::kErrKeyData});
    cases.push_back(
        {"MA value", changed(key848.publicBlob, [&](auto& b) { b[16 + d - 9] ^= 0x80; }), rsa::kErrKeyData});
    cases.push_back({"a field runs past the trailer",
                     changed(key848.publicBlob, [](auto& b) { PutU16(b, 16 + 2, 0xFFF0); }),
                     rsa::kErrKeyData});
    cases.push_back({"data too short for MA and trailer",
                     changed(key848.publicBlob, [](auto& b) { PutU16(b, 6, 19); }), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.fieldBits = 849;
    cases.push_back({"BL one more than the bits", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.fieldBits = 847;
    cases.push_back({"BL one less than the bits", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.version = "2.0";
    cases.push_back({"version 2", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape.version = "01.9";
    cases.push_back({"version 01.9 reads as 1", BuildBlob(key848, shape), rsa::kOk});
    shape.version = "";
    cases.push_back({"empty version", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape.version = std::string(101, '1');
    cases.push_back({"version text over 100 bytes", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.fieldKind = 4;
    cases.push_back({"BC differs from the kind", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.modulusBytes = 107;
    cases.push_back({"NN over 106 bytes", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.dropExponent = true;
    cases.push_back({"no EN", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape = BlobSpec{};
    shape.withReduction = true;
    shape.reduction.assign(106, 0x5A);
    cases.push_back({"NI present", BuildBlob(key848, shape), rsa::kOk});
    shape.reduction.assign(107, 0x5A);
    cases.push_back({"NI over its limit counts as absent", BuildBlob(key848, shape), rsa::kOk});
    shape = BlobSpec{};
    shape.headerBits = 841;
    cases.push_back({"841 bits on an 848-bit modulus", BuildBlob(key848, shape), rsa::kOk});
    shape.headerBits = 849;
    cases.push_back({"849 bits", BuildBlob(key848, shape), rsa::kErrKeyData});
    shape.headerBits = 425;
    cases.push_back({"bits above what the modulus needs", BuildBlob(key424, shape), rsa::kErrKeyData});
    shape.headerBits = 416;
    cases.push_back({"modulus longer than the output block", BuildBlob(key424, shape), rsa::kErrKeyData});
    cases.push_back({"private fixture", key424.privateBlob, rsa::kOk});
    const size_t dp = DataLength(key424.privateBlob);
    cases.push_back(
        {"private key with a public trailer",
         changed(key424.privateBlob, [&](auto& b) { std::memcpy(b.data() + 16 + dp - 6, "PURSAF", 6); }),
         rsa::kErrKeyData});

    for (const auto& c : cases) {
        rsa::CKeyObject object;
        ASSERT_EQ(rsa::ImportKeyBlob(object, c.blob.data(), c.blob.size()), rsa::kOk) << c.name;
        rsa::CKeyData data;
        EXPECT_EQ(rsa::ParseKeyData(object, data), c.code) << c.name;
    }
}

TEST(KeyImportTest, FieldLookupStopsAtTheTrailer) {
    const auto& blob = Key(424, 65537).publicBlob;
    const uint8_t* data = blob.data() + 16;
    const size_t d = DataLength(blob);
    EXPECT_TRUE(rsa::FindKeyField(data, d, "NN").present);
    EXPECT_TRUE(rsa::FindKeyField(data, d, "MA").present);
    EXPECT_FALSE(rsa::FindKeyField(data, d, "NI").present);
    EXPECT_FALSE(rsa::FindKeyField(data, d, "PU").present); // the trailer text is no field
    EXPECT_FALSE(rsa::FindKeyField(data, 8, "BV").present);
}

TEST(KeyImportTest, DataAreaRules) {
    rsa::CKeyObject object;
    object.SetHeader(10, 0, 3, 0x30, 424);
    ASSERT_EQ(object.AllocateData(), rsa::kOk);
    EXPECT_EQ(object.AllocateData(), rsa::kErrInUse);
    object.ReleaseData();
    object.SetHeader(0, 0, 3, 0x30, 424);
    EXPECT_EQ(object.AllocateData(), rsa::kErrMagic);
    object.SetHeader(10, 1, 3, 0x30, 424);
    EXPECT_EQ(object.AllocateData(), rsa::kErrMagic);
}

} // namespace
