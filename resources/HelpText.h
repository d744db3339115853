// A language's help file (qor.hlp) and the list of help contexts that the module opens, as the build checks
// them. Help file form: '#' lines are comments; a line "@CONTEXT Title" starts a section, whose text runs to
// the next such line.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kelnt::rc {

struct HelpTextSection {
    std::string title;
    std::string text; // lines joined with '\n', without trailing empty lines
    int line = 0;     // of the "@CONTEXT" line
};

struct HelpText {
    std::map<uint32_t, HelpTextSection> sections;
    std::vector<std::string> errors; // "line N: ..." for every malformed or repeated section
};

// Reads a whole help file. A section without a title or without text, a repeated context and a context
// that is not a decimal number are errors: the host would show an empty or the wrong section.
HelpText ParseHelpText(std::string_view source);

// The whole of a source file the checks read; false when it cannot be read.
bool ReadWhole(const std::filesystem::path& path, std::string& text);

// One context of the list that the build keeps: its number and the page or dialog that opens it.
struct HelpContext {
    uint32_t number = 0;
    std::string opener;
    int line = 0;
};

// Reads the list, lines "NUMBER  WHAT OPENS IT" ('#' comment lines and empty lines skipped). A malformed or
// repeated line is reported in `errors`.
std::vector<HelpContext> ParseHelpContexts(std::string_view source, std::vector<std::string>& errors);

// A help context number found in the module's source: a help context constant (kHelp... = N) or a help call
// with a literal number.
struct HelpContextUse {
    uint32_t number = 0;
    std::string where; // FILE:LINE
};

// Scans one source file's text for help context numbers; `file` names it in `where`.
std::vector<HelpContextUse> FindHelpContextUses(std::string_view source, const std::string& file);

} // namespace kelnt::rc
