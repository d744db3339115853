#include "host/HelpCommand.h"

#include "host/Interpreter.h"
#include "host/services/HelpFile.h"
#include "host/services/HostServices.h"
#include "module/core/Language.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cvadmin {

namespace {

constexpr int kExitHelpRefused = 2;

int Refuse(std::ostream& err, const std::string& text) {
    err << "error | 0 | " << OutputField(text) << "\n";
    return kExitHelpRefused;
}

// The section's lines, each after `indent`.
void PrintSection(std::ostream& out, const HelpSection& section, const std::string& indent) {
    out << indent << section.title << "\n";
    std::istringstream lines(section.text);
    for (std::string line; std::getline(lines, line);)
        out << (line.empty() ? std::string() : indent + line) << "\n";
}

// "1-12, 14, 20-31": the numbers in order, runs of consecutive ones as one range.
std::string ContextRanges(std::vector<uint32_t> contexts) {
    std::sort(contexts.begin(), contexts.end());
    contexts.erase(std::unique(contexts.begin(), contexts.end()), contexts.end());
    std::string out;
    for (std::size_t first = 0; first < contexts.size();) {
        std::size_t last = first;
        while (last + 1 < contexts.size() && contexts[last + 1] == contexts[last] + 1)
            ++last;
        out += (out.empty() ? "" : ", ") + std::to_string(contexts[first]);
        if (last > first)
            out += (last == first + 1 ? ", " : "-") + std::to_string(contexts[last]);
        first = last + 1;
    }
    return out;
}

} // namespace

std::string LanguageHelpFile(const std::string& language) {
    return HostServices::Instance().ResourceRoot() + "/" + language + "/" + kHelpFileName;
}

std::optional<uint32_t> ParseHelpContext(const std::string& text) {
    uint32_t number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || text[0] == '+' || text[0] == '-' || ec != std::errc() ||
        end != text.data() + text.size())
        return std::nullopt;
    return number;
}

int RunHelpCommand(const Options& options, std::ostream& out, std::ostream& err) {
    std::optional<uint32_t> context = ParseHelpContext(options.helpContext);
    if (!context)
        return Refuse(err, "help: \"" + options.helpContext + "\" is not a help context number");

    std::string language = options.language;
    if (language.empty()) {
        std::string registryFile =
            options.registryFile.empty() ? RegistryDefaultFilePath() : options.registryFile;
        if (RegistryResult registry = RegistryUseFile(registryFile); !registry.Ok())
            return Refuse(err, "cannot use the registry file: " + registry.message);
        language = ReadLanguageName();
        if (!IsUsableLanguageName(language))
            return Refuse(err, "help: the registry's language \"" + language + "\" is not a folder name");
    }

    const std::string path = LanguageHelpFile(language);
    if (!std::ifstream(path).is_open())
        return Refuse(err, "help: there is no help file for the language " + language + " (" + path + ")");
    std::optional<HelpSection> section = ReadHelpSection(path, *context);
    if (!section) {
        // The person mistyped a number or guessed one: the numbers that would work are the way on.
        const std::string valid = ContextRanges(ReadHelpContexts(path));
        return Refuse(err, "help: " + path + " has no section for help context " + std::to_string(*context) +
                               (valid.empty() ? std::string() : "; its sections are " + valid));
    }
    PrintSection(out, *section, "");
    return 0;
}

void ShowHelpSections(Interpreter& interpreter) {
    Prompter::Instance().SetHelpObserver([&interpreter](const HelpCallRecord& call) {
        std::ostream& out = interpreter.Out();
        out << FormatHelpLine(call) << "\n";
        if (call.command != HELP_CONTEXT && call.command != HELP_CONTEXTPOPUP)
            return;
        // A page's help names a 32-bit context; a larger number cannot be one.
        std::optional<HelpSection> section =
            call.data <= UINT32_MAX ? ReadHelpSection(call.file, static_cast<uint32_t>(call.data))
                                    : std::nullopt;
        if (section)
            PrintSection(out, *section, "  ");
        else
            out << "  (" << (call.file.empty() ? std::string("the module named no help file") : call.file)
                << " has no section for help context " << call.data << ")\n";
    });
}

} // namespace cvadmin
