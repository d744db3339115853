#include "agent/Unsealer.h"
#include "agent/KeyGenerator.h"
#include "module/password/SealPassword.h"
#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"
#include "tests/module/password/TestKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

using testkeys::Key;

// Builds a sealed value by hand from the 145 + p bytes of a padded stream, so that the frame itself can
// be broken: `tamper` changes each plaintext block before the raw public operation.
std::vector<uint8_t> HandSealed(const testkeys::TestKey& key, std::vector<uint8_t> stream,
                                const std::function<void(size_t, std::vector<uint8_t>&)>& tamper) {
    const size_t b = (key.bits - 1) / 8 - 8;
    const size_t k = (key.bits + 7) / 8;
    rsa::CKeyObject object;
    EXPECT_EQ(rsa::ImportKeyBlob(object, key.publicBlob.data(), key.publicBlob.size()), rsa::kOk);
    std::vector<uint8_t> sealed;
    for (size_t i = 0; i * b < stream.size(); ++i) {
        std::vector<uint8_t> block(k, 0);
        block[0] = 0x0B;
        std::memcpy(block.data() + 1, stream.data() + i * b, b);
        EXPECT_EQ(rsa::ComputeCheckValue(block.data() + b + 1, 2, block.data(), b + 1), rsa::kOk);
        for (size_t j = 0; j < 5; ++j) {
            block[b + 3 + j] = static_cast<uint8_t>(0x40 + j);
        }
        tamper(i, block);
        std::vector<uint8_t> out(k);
        uint32_t written = 0;
        rsa::CRandomGenerator unused;
        EXPECT_EQ(rsa::RsaEncrypt(object, rsa::kModeRawA, block.data(), static_cast<uint32_t>(k),
                                  static_cast<uint32_t>(k), out.data(), static_cast<uint32_t>(k), &written,
                                  unused),
                  rsa::kOk);
        sealed.insert(sealed.end(), out.begin(), out.end());
    }
    sealed.resize(kSealedValueSize, 0);
    return sealed;
}

std::vector<uint8_t> Stream(const std::string& password, size_t padding) {
    std::vector<uint8_t> stream(kSealPlaintextSize + padding, static_cast<uint8_t>(padding));
    std::fill(stream.begin(), stream.begin() + kSealPlaintextSize, 0);
    std::memcpy(stream.data(), password.data(), password.size());
    return stream;
}

agent::UnsealResult Open(const testkeys::TestKey& key, const std::vector<uint8_t>& sealed) {
    return agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), sealed.data(),
                                 sealed.size());
}

TEST(UnsealerTest, HandMadeValueOpens) {
    const auto& key = Key(848, 65537);
    const auto result = Open(key, HandSealed(key, Stream("by hand", 49), [](size_t, auto&) {}));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(std::string(result.password.begin(), result.password.end()), "by hand");
}

TEST(UnsealerTest, EachFaultNamesTheBlockAndWhatFailed) {
    const auto& key = Key(424, 65537);
    struct Case {
        const char* name;
        std::vector<uint8_t> sealed;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"marker byte",
         HandSealed(key, Stream("pw", 31), [](size_t i, auto& b) { b[0] = i == 2 ? 0x0C : 0x0B; }),
         "block 3: first byte is 0x0c, not 0x0b"},
        {"check value", HandSealed(key, Stream("pw", 31), [](size_t i, auto& b) { b[45] ^= i == 1 ? 1 : 0; }),
         "block 2: check value is"},
        {"padding byte",
         HandSealed(key, Stream("pw", 31),
                    [](size_t i, auto& b) {
                        if (i == 3) {
                            b[20] = 7;
                            (void)rsa::ComputeCheckValue(b.data() + 45, 2, b.data(), 45);
                        }
                    }),
         "block 4: padding byte 20 is 7, expected 31"},
    };
    for (const auto& c : cases) {
        const auto result = Open(key, c.sealed);
        EXPECT_FALSE(result.ok) << c.name;
        EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << c.name << ": " << result.error;
        EXPECT_TRUE(result.password.empty());
    }
    // A last byte that is not the padding count of a 145-byte plaintext.
    auto stream = Stream("pw", 31);
    stream.back() = 30;
    const auto wrongCount = Open(key, HandSealed(key, stream, [](size_t, auto&) {}));
    EXPECT_EQ(wrongCount.error, "block 4: padding count is 30, expected 31");
    // No NUL in the whole plaintext.
    auto noNul = Stream(std::string(145, 'a'), 31);
    const auto unterminated = Open(key, HandSealed(key, noNul, [](size_t, auto&) {}));
    EXPECT_EQ(unterminated.error, "value: the password has no terminating NUL");
}

TEST(UnsealerTest, WrongKeysAndShortValuesAreNamed) {
    const auto& key = Key(848, 65537);
    CPasswordSealer sealer(0);
    std::vector<uint8_t> sealed(kSealedValueSize);
    ASSERT_EQ(sealer.Seal(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), sealed.data(),
                          kSealedValueSize, "pw"),
              0);
    const auto& other = Key(848, 3);
    const auto wrongKey = Open(other, sealed);
    EXPECT_FALSE(wrongKey.ok);
    EXPECT_EQ(wrongKey.error.rfind("block 1: ", 0), 0u) << wrongKey.error;

    const auto publicKey =
        agent::UnsealPassword(key.publicBlob.data(), key.publicBlob.size(), sealed.data(), 500);
    EXPECT_EQ(publicKey.error, "key: not a private RSA key (kind 3)");

    const auto shortValue =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), sealed.data(), 211);
    EXPECT_EQ(shortValue.error, "value: 211 bytes, shorter than the 212-byte sealed password");

    const auto justSealed =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), sealed.data(), 212);
    EXPECT_TRUE(justSealed.ok);

    auto badBlob = key.privateBlob;
    badBlob[4] = 100;
    const auto badVersion = agent::UnsealPassword(badBlob.data(), badBlob.size(), sealed.data(), 500);
    EXPECT_EQ(badVersion.error, "key: blob rejected with code 3");

    const agent::KeyPair small = agent::GenerateKeyPair(600);
    const auto wrongSize =
        agent::UnsealPassword(small.privateBlob.data(), small.privateBlob.size(), sealed.data(), 500);
    EXPECT_EQ(wrongSize.error, "key: a 600-bit key cannot have sealed a password");
}

} // namespace
