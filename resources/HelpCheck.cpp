// helpcheck CONTEXTS MODULE_DIR HELPFILE...: stops the build when a help context that the module opens has no
// section in a language's help file, since F1 on that page would then show nothing.
//
// CONTEXTS is the one list of the contexts the module opens. It is held against the module's source both
// ways, so that a new page's context cannot be left off the list and a context that no page opens any more
// does not linger in it.
#include "resources/HelpText.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace kelnt::rc;

namespace {

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: helpcheck CONTEXTS MODULE_DIR HELPFILE...\n";
        return 2;
    }
    const std::string listPath = argv[1];
    int problems = 0;
    auto report = [&problems](const std::string& text) {
        std::cerr << text << "\n";
        ++problems;
    };

    std::string listText;
    if (!ReadWhole(listPath, listText)) {
        std::cerr << listPath << ": cannot be read\n";
        return 1;
    }
    std::vector<std::string> listErrors;
    std::vector<HelpContext> contexts = ParseHelpContexts(listText, listErrors);
    for (const std::string& error : listErrors) {
        report(listPath + ": " + error);
    }

    std::error_code walkError;
    fs::recursive_directory_iterator walk(argv[2], walkError);
    if (walkError) {
        std::cerr << argv[2] << ": cannot be read: " << walkError.message() << "\n";
        return 1;
    }
    std::set<uint32_t> opened;
    for (const fs::directory_entry& entry : walk) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) {
            continue;
        }
        std::string source;
        if (!ReadWhole(entry.path(), source)) {
            report(entry.path().string() + ": cannot be read");
            continue;
        }
        for (const HelpContextUse& use : FindHelpContextUses(source, entry.path().string())) {
            opened.insert(use.number);
            bool listed = false;
            for (const HelpContext& context : contexts) {
                listed = listed || context.number == use.number;
            }
            if (!listed) {
                report(use.where + ": help context " + std::to_string(use.number) + " is not in " + listPath);
            }
        }
    }
    for (const HelpContext& context : contexts) {
        if (opened.count(context.number) == 0) {
            report(listPath + ":" + std::to_string(context.line) + ": help context " +
                   std::to_string(context.number) + " (" + context.opener + ") is opened nowhere in " +
                   argv[2]);
        }
    }

    for (int i = 3; i < argc; ++i) {
        const std::string helpPath = argv[i];
        std::string helpSource;
        if (!ReadWhole(helpPath, helpSource)) {
            report(helpPath + ": cannot be read");
            continue;
        }
        HelpText help = ParseHelpText(helpSource);
        for (const std::string& error : help.errors) {
            report(helpPath + ": " + error);
        }
        for (const HelpContext& context : contexts) {
            if (help.sections.count(context.number) == 0) {
                report(helpPath + ": help context " + std::to_string(context.number) + " (" + context.opener +
                       ") has no section");
            }
        }
    }
    return problems == 0 ? 0 : 1;
}
