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
    EXPECT_EQ(r.options.commands, std::vector<std::string>{"ls; ls Corp"});

    cvadmin::ParseResult defaults = ParseCommandLine({"--memory"});
    ASSERT_EQ(defaults.error, "");
    EXPECT_TRUE(defaults.options.memory);
    EXPECT_EQ(defaults.options.loginName, "Admin");
    EXPECT_FALSE(defaults.options.password.has_value());
    EXPECT_FALSE(defaults.options.passwordStdin);

    cvadmin::ParseResult fromStdin =
        ParseCommandLine({"--login", "Op.Corp", "--password-stdin", "--script", "s"});
    ASSERT_EQ(fromStdin.error, "");
    EXPECT_TRUE(fromStdin.options.passwordStdin);
    EXPECT_FALSE(fromStdin.options.password.has_value());

    cvadmin::ParseResult sample = ParseCommandLine({"sample", "x.db"});
    ASSERT_EQ(sample.error, "");
    EXPECT_TRUE(sample.options.sample);
    EXPECT_EQ(sample.options.sampleFile, "x.db");
    for (const char* help : {"--help", "-h"}) {
        cvadmin::ParseResult asked = ParseCommandLine({"sample", help});
        EXPECT_EQ(asked.error, "") << help;
        EXPECT_TRUE(asked.options.help) << help;
        EXPECT_FALSE(asked.options.sample) << help << " is never a file name";
    }
}

// GNU-style forms: what the long form with its value as the next word means, the attached forms mean too.
TEST(OptionsTest, ReadsGnuStyleForms) {
    cvadmin::ParseResult r =
        ParseCommandLine({"--store=d.db", "--registry=r.reg", "--lang=German", "--login=Op.Corp",
                          "--password=a=b", "-c", "ls", "-cdump Corp", "-c", "check"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.options.storeFile, "d.db");
    EXPECT_EQ(r.options.registryFile, "r.reg");
    EXPECT_EQ(r.options.language, "German");
    EXPECT_EQ(r.options.loginName, "Op.Corp");
    EXPECT_EQ(r.options.password, "a=b"); // only the first = separates
    // Several -c run in order, as one script.
    EXPECT_EQ(r.options.commands, (std::vector<std::string>{"ls", "dump Corp", "check"}));

    cvadmin::ParseResult script = ParseCommandLine({"--script=-"});
    ASSERT_EQ(script.error, "");
    EXPECT_EQ(script.options.scriptFile, "-"); // standard input
    EXPECT_EQ(ParseCommandLine({"--script", "-"}).options.scriptFile, "-");
    EXPECT_EQ(ParseCommandLine({"--password="}).options.password, ""); // an empty password, given

    for (const char* help : {"-h", "--help"}) {
        cvadmin::ParseResult asked = ParseCommandLine({"--memory", help, "--bogus"});
        EXPECT_EQ(asked.error, "") << help;
        EXPECT_TRUE(asked.options.help) << help;
    }
    cvadmin::ParseResult helpForm = ParseCommandLine({"help", "--lang=German", "--registry=r.reg", "11"});
    ASSERT_EQ(helpForm.error, "");
    EXPECT_EQ(helpForm.options.language, "German");
    EXPECT_EQ(helpForm.options.registryFile, "r.reg");
    EXPECT_EQ(helpForm.options.helpContext, "11");
}

TEST(OptionsTest, RefusesBadCommandLines) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--store"}, "--store needs a value"},
        {{"--store", ""}, "--store needs a file name"},
        {{"--script", ""}, "--script needs a file name (or - for standard input)"},
        {{"--store="}, "--store needs a file name"},
        {{"--script="}, "--script needs a file name (or - for standard input)"},
        {{"--memory=yes"}, "--memory takes no value"},
        {{"--password-stdin=x"}, "--password-stdin takes no value"},
        {{"--help=x"}, "--help takes no value"},
        {{"--bogus=1"}, "unknown argument --bogus=1"},
        {{"--script", "-", "-c", "ls"}, "--script and -c exclude each other"},
        {{"--store", "a", "--memory"}, "--store and --memory exclude each other"},
        {{"--script", "s", "-c", "ls"}, "--script and -c exclude each other"},
        {{"--password", "pw", "--password-stdin"}, "--password and --password-stdin exclude each other"},
        {{"--bogus"}, "unknown argument --bogus"},
        {{"sample"}, "sample takes one file name"},
        {{"sample", "a", "b"}, "sample takes one file name"},
        {{"sample", "--store"},
         "sample takes a file name, not the option --store (a file whose name begins "
         "with - is written ./--store)"},
        {{"sample", "-"},
         "sample takes a file name, not the option - (a file whose name begins with - is "
         "written ./-)"},
        {{"--lang", "../etc"}, "--lang takes a language name, not a path"},
        {{"--lang", ".."}, "--lang takes a language name, not a path"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseCommandLine(c.args).error, c.error) << c.args[0];
}

} // namespace
