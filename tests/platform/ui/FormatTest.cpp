#include "platform/ui/MessageBox.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatResourceText, FillsConversionsAndSurvivesMistakes) {
    struct Case {
        const char* format;
        std::initializer_list<FormatArg> args;
        const char* expected;
    };
    const Case cases[] = {
        {"\"%s\" answered %d.",
         {std::string_view("/usr/bin/tool"), int64_t{2}},
         "\"/usr/bin/tool\" answered 2."},
        {"100%% of %s", {std::string_view("it")}, "100% of it"},
        {"[%5s|%-3d]", {std::string_view("ab"), int64_t{7}}, "[   ab|7  ]"},
        {"%u %x %lu", {int64_t{-1}, int64_t{255}, int64_t{-1}}, "4294967295 ff 18446744073709551615"},
        // A translated format with more conversions than values, or values of the other kind, still
        // gives text: nothing is read from where no value was given.
        {"%s and %s and %d", {std::string_view("one")}, "one and  and "},
        {"%d items", {std::string_view("seven")}, "seven items"},
        {"%s", {int64_t{12}}, "12"},
        {"%n %p trailing %", {std::string_view("x")}, "%n %p trailing %"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatResourceText(c.format, c.args), c.expected) << c.format;
    }
}

} // namespace
