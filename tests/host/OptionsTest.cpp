#include "host/Options.h"

#include <gtest/gtest.h>

using cvadmin::ParseCommandLine;

namespace {

TEST(OptionsTest, ReadsEveryForm) {
    cvadmin::ParseResult r =
        ParseCommandLine({"--store", "d.db", "--registry", "r.reg", "--lang", "German", "--login", "Op.Corp",
                          "--password", "pw", "-c", "ls; ls Corp"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.storeFile, "d.db");
    EXPECT_EQ(r.options.registryFile, "r.reg");
    EXPECT_EQ(r.options.language, "German");
    EXPECT_EQ(r.options.loginName, "Op.Corp");
    EXPECT_EQ(r.options.password, "pw");
    EXPECT_EQ(r.options.commands, "ls; ls Corp");

    cvadmin::ParseResult defaults = ParseCommandLine({"--memory"});
    ASSERT_EQ(defaults.error, "");
    EXPECT_TRUE(defaults.options.memory);
    EXPECT_EQ(defaults.options.loginName, "Admin");
    EXPECT_FALSE(defaults.options.password.has_value());

    cvadmin::ParseResult sample = ParseCommandLine({"sample", "x.db"});
    ASSERT_EQ(sample.error, "");
    EXPECT_TRUE(sample.options.sample);
    EXPECT_EQ(sample.options.sampleFile, "x.db");
}

TEST(OptionsTest, RefusesBadCommandLines) {
    std::vector<std::vector<std::string>> bad = {
        {"--store"}, {"--store", "a", "--memory"}, {"--script", "s", "-c", "ls"}, {"--bogus"},
        {"sample"},  {"sample", "a", "b"},         {"--lang", "../etc"},          {"--lang", ".."},
    };
    for (const auto& args : bad)
        EXPECT_NE(ParseCommandLine(args).error, "") << args[0];
}

} // namespace
