#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cvadmin {

// What the command line asked for. Exactly one of the run forms applies: `sample FILE`, a script
// file, `-c` commands, or commands from standard input.
struct Options {
    // --help (-h) and --version answer at once: whatever else the command line holds is not looked at.
    bool help = false;
    bool version = false;

    bool sample = false;
    std::string sampleFile;

    bool helpSection = false; // `help CONTEXT`: print that section of the language's help file
    std::string helpContext; // as typed; checked when it is read

    bool memory = false;
    std::string storeFile;    // empty: the default store
    std::string registryFile; // empty: the default registry file
    std::string language;     // empty: the registry's choice
    std::string loginName = "Admin";
    std::optional<std::string> password;
    bool passwordStdin = false; // the password is the first line of standard input

    std::string scriptFile; // "-": standard input
    // Each -c, in order; together they run as one script.
    std::vector<std::string> commands;
};

struct ParseResult {
    Options options;
    std::string error; // empty when the command line is good
};

[[nodiscard]] ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The usage text printed for a bad command line.
const char* UsageText();
// --help: the usage, then every option, command-line form and script command with one line each.
const char* HelpText();
// --version: the program, its package and the package's version, one line.
const char* VersionText();

// Default places for files the host keeps between runs (XDG base directories).
std::string DefaultStorePath();
std::string DefaultRegistryPath();

} // namespace cvadmin
