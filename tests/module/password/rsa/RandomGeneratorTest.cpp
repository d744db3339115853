#include "module/password/rsa/RandomGenerator.h"
#include "module/password/rsa/RsaCodes.h"
#include "tests/module/password/VecFile.h"

#include <gtest/gtest.h>

namespace {

void SealingSeed(rsa::CRandomGenerator& generator, int64_t time) {
    const uint8_t seeds[2] = {0, static_cast<uint8_t>(static_cast<uint64_t>(time + 1372) & 0xFF)};
    for (const uint8_t s : seeds) {
        for (int i = 0; i < 100; ++i) {
            generator.Seed(static_cast<uint8_t>(i));
        }
        for (int i = 0; i < 100; ++i) {
            generator.Seed(s);
        }
    }
}

TEST(RandomGeneratorTest, FirstBytesAfterTheSealingSeeding) {
    const auto cases = testvec::ReadVecFile("generator.vec", "Generator");
    ASSERT_GE(cases.size(), 4u);
    for (const auto& c : cases) {
        SCOPED_TRACE("generator.vec line " + std::to_string(c.line));
        rsa::CRandomGenerator generator;
        SealingSeed(generator, c.Number("Time"));
        const auto expected = c.Bytes("Output");
        std::vector<uint8_t> drawn(expected.size());
        for (auto& b : drawn) {
            ASSERT_EQ(generator.Draw(&b), rsa::kOk);
        }
        EXPECT_EQ(drawn, expected);
    }
}

TEST(RandomGeneratorTest, DrawsOnlyAfterAHundredSeedBytes) {
    rsa::CRandomGenerator generator;
    uint8_t out = 0x5A;
    EXPECT_EQ(generator.Draw(&out), rsa::kErrUnseeded);
    for (int i = 0; i < 99; ++i) {
        generator.Seed(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(generator.SeedBytesMissing(), 1);
    EXPECT_EQ(generator.Draw(&out), rsa::kErrUnseeded);
    EXPECT_EQ(out, 0x5A);
    generator.Seed(99);
    EXPECT_EQ(generator.Draw(&out), rsa::kOk);
}

// After the first 100 seed bytes the counter bytes 12..15 are never seeded, so twelve more seed bytes
// of zero leave the output unchanged while a nonzero one changes it.
TEST(RandomGeneratorTest, LateSeedingSparesTheCounter) {
    rsa::CRandomGenerator a;
    rsa::CRandomGenerator b;
    for (int i = 0; i < 100; ++i) {
        a.Seed(static_cast<uint8_t>(i));
        b.Seed(static_cast<uint8_t>(i));
    }
    for (int i = 0; i < 12; ++i) {
        b.Seed(0);
    }
    uint8_t x = 0;
    uint8_t y = 0;
    for (int i = 0; i < 24; ++i) {
        ASSERT_EQ(a.Draw(&x), rsa::kOk);
        ASSERT_EQ(b.Draw(&y), rsa::kOk);
        EXPECT_EQ(x, y);
    }
    b.Seed(1);
    bool differs = false;
    for (int i = 0; i < 16; ++i) {
        ASSERT_EQ(a.Draw(&x), rsa::kOk);
        ASSERT_EQ(b.Draw(&y), rsa::kOk);
        differs = differs || x != y;
    }
    EXPECT_TRUE(differs);
}

TEST(RandomGeneratorTest, ResetStartsOver) {
    rsa::CRandomGenerator generator;
    SealingSeed(generator, 7);
    uint8_t first[8];
    for (auto& b : first) {
        ASSERT_EQ(generator.Draw(&b), rsa::kOk);
    }
    generator.Reset();
    uint8_t out = 0;
    EXPECT_EQ(generator.Draw(&out), rsa::kErrUnseeded);
    SealingSeed(generator, 7);
    for (const uint8_t b : first) {
        ASSERT_EQ(generator.Draw(&out), rsa::kOk);
        EXPECT_EQ(out, b);
    }
}

} // namespace
