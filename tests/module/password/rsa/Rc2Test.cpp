#include "module/password/rsa/Rc2.h"
#include "tests/module/password/VecFile.h"

#include <gtest/gtest.h>

namespace {

TEST(Rc2Test, PublishedVectorsEncryptAndDecrypt) {
    const auto cases = testvec::ReadVecFile("rc2.vec", "Rc2");
    ASSERT_EQ(cases.size(), 8u);
    for (const auto& c : cases) {
        SCOPED_TRACE("rc2.vec line " + std::to_string(c.line));
        const auto key = c.Bytes("Key");
        const auto plain = c.Bytes("Plaintext");
        const auto expected = c.Bytes("Ciphertext");
        rsa::CRc2 cipher;
        ASSERT_TRUE(cipher.SetKey(key.data(), key.size(), static_cast<unsigned>(c.Number("EffectiveBits"))));
        uint8_t out[8];
        cipher.EncryptBlock(plain.data(), out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + 8), expected);
        uint8_t back[8];
        cipher.DecryptBlock(out, back);
        EXPECT_EQ(std::vector<uint8_t>(back, back + 8), plain);
    }
}

TEST(Rc2Test, RefusesKeysOutsideItsLimits) {
    const uint8_t key[129] = {};
    rsa::CRc2 cipher;
    EXPECT_FALSE(cipher.SetKey(key, 0, 64));
    EXPECT_FALSE(cipher.SetKey(key, 129, 64));
    EXPECT_FALSE(cipher.SetKey(key, 8, 0));
    EXPECT_FALSE(cipher.SetKey(key, 8, 1025));
    EXPECT_FALSE(cipher.SetKey(nullptr, 8, 64));
    EXPECT_TRUE(cipher.SetKey(key, 128, 1024));
}

} // namespace
