#include "module/password/rsa/CheckValue.h"
#include "module/password/rsa/RsaCodes.h"
#include "tests/module/password/VecFile.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckValueTest, KnownAnswers) {
    const auto cases = testvec::ReadVecFile("checkvalue.vec", "CheckValue");
    ASSERT_GE(cases.size(), 10u);
    for (const auto& c : cases) {
        SCOPED_TRACE("checkvalue.vec line " + std::to_string(c.line));
        const auto input = c.Bytes("Input");
        const auto expected = c.Bytes("Output");
        std::vector<uint8_t> state(static_cast<size_t>(c.Number("State")), 0xEE);
        ASSERT_EQ(rsa::ComputeCheckValue(state.data(), state.size(), input.data(), input.size()), rsa::kOk);
        EXPECT_EQ(state, expected);
    }
}

TEST(CheckValueTest, EmptyInputWithTwoByteStateIsZero) {
    uint8_t state[2] = {0x55, 0x55};
    ASSERT_EQ(rsa::ComputeCheckValue(state, 2, nullptr, 0), rsa::kOk);
    EXPECT_EQ(state[0], 0);
    EXPECT_EQ(state[1], 0);
}

// The final rotation exists so that a value can be continued: any split must give the whole value.
TEST(CheckValueTest, ContinuationEqualsOneRun) {
    std::vector<uint8_t> data(61);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    for (const size_t s : {2u, 5u, 8u}) {
        std::vector<uint8_t> whole(s);
        ASSERT_EQ(rsa::ComputeCheckValue(whole.data(), s, data.data(), data.size()), rsa::kOk);
        for (size_t split = 0; split <= data.size(); ++split) {
            std::vector<uint8_t> state(s);
            ASSERT_EQ(rsa::ComputeCheckValue(state.data(), s, data.data(), split), rsa::kOk);
            ASSERT_EQ(rsa::UpdateCheckValue(state.data(), s, data.data() + split, data.size() - split),
                      rsa::kOk);
            EXPECT_EQ(state, whole) << "state " << s << " split " << split;
        }
    }
}

TEST(CheckValueTest, StateShorterThanTwoIsRefused) {
    uint8_t state[1] = {0x77};
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_EQ(rsa::ComputeCheckValue(state, 1, data, 3), rsa::kErrBlockCheck);
    EXPECT_EQ(rsa::UpdateCheckValue(state, 0, data, 3), rsa::kErrBlockCheck);
    EXPECT_EQ(state[0], 0x77);
}

TEST(CheckValueTest, TableIsAPermutation) {
    bool seen[256] = {};
    for (const uint8_t v : rsa::kCheckValueTable) {
        EXPECT_FALSE(seen[v]) << int(v);
        seen[v] = true;
    }
    EXPECT_EQ(rsa::kCheckValueTable[0x00], 0xBD);
    EXPECT_EQ(rsa::kCheckValueTable[0xFF], 0xAB);
}

} // namespace
