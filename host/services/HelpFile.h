// The help files of the resource libraries: one section a context number, a line "@CONTEXT Title" and the
// text up to the next such line ('#' lines are comments).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct HelpSection {
    std::string title;
    std::string text; // lines joined with '\n', without the trailing empty lines
};

// The section for `context`; empty when the file cannot be read or holds no such section.
std::optional<HelpSection> ReadHelpSection(const std::string& path, uint32_t context);

// The context numbers of the file's sections in file order; empty when the file cannot be read.
std::vector<uint32_t> ReadHelpContexts(const std::string& path);
