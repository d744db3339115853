#include "host/Options.h"

#include <cstdlib>
#include <optional>

#include "CvadminUsage.h"

namespace cvadmin {

namespace {

std::string XdgPath(const char* variable, const char* fallbackBelowHome, const char* leaf) {
    std::string base;
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/')
        base = value;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        base = std::string(home) + "/" + fallbackBelowHome;
    else
        base = "/tmp";
    return base + "/cvadmin/" + leaf;
}

} // namespace

const char* UsageText() {
    return usage_text::kUsage;
}
const char* HelpText() {
    return usage_text::kHelp;
}
const char* VersionText() {
    return usage_text::kVersion;
}

std::string DefaultStorePath() {
    return XdgPath("XDG_DATA_HOME", ".local/share", "directory.db");
}
std::string DefaultRegistryPath() {
    return XdgPath("XDG_CONFIG_HOME", ".config", "registry.reg");
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    Options& o = result.options;
    if (!args.empty() && args[0] == "sample") {
        if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
            o.help = true;
            return result;
        }
        if (args.size() != 2) {
            result.error = "sample takes one file name";
            return result;
        }
        // A word that looks like an option is never taken for the file to make.
        if (!args[1].empty() && args[1][0] == '-') {
            result.error = "sample takes a file name, not the option " + args[1] +
                           " (a file whose name begins with - is written ./" + args[1] + ")";
            return result;
        }
        o.sample = true;
        o.sampleFile = args[1];
        return result;
    }
    if (!args.empty() && args[0] == "help") {
        o.helpSection = true;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            const std::string name = a.substr(0, a.find('='));
            if ((name == "--lang" || name == "--registry") && name.size() < a.size()) {
                (name == "--lang" ? o.language : o.registryFile) = a.substr(name.size() + 1);
            } else if ((a == "--lang" || a == "--registry") && i + 1 < args.size()) {
                (a == "--lang" ? o.language : o.registryFile) = args[++i];
            } else if (a == "--lang" || a == "--registry") {
                result.error = a + " needs a value";
                return result;
            } else if (o.helpContext.empty() && !a.empty() && a[0] != '-') {
                o.helpContext = a;
            } else {
                result.error = "help takes one context number (and --lang NAME, --registry FILE), not " + a;
                return result;
            }
        }
        if (o.helpContext.empty())
            result.error = "help needs a context number";
        else if (o.language.find('/') != std::string::npos || o.language == "." || o.language == "..")
            result.error = "--lang takes a language name, not a path";
        return result;
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        // GNU style: --name=VALUE is --name VALUE, and -cCOMMANDS is -c COMMANDS.
        std::string a = args[i];
        std::optional<std::string> attached;
        if (a.rfind("--", 0) == 0 && a.find('=') != std::string::npos) {
            attached = a.substr(a.find('=') + 1);
            a.resize(a.find('='));
        } else if (a.size() > 2 && a.rfind("-c", 0) == 0) {
            attached = a.substr(2);
            a = "-c";
        }
        auto value = [&](std::string& into) {
            if (attached) {
                into = *attached;
                return true;
            }
            if (i + 1 >= args.size()) {
                result.error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        // A switch never takes a value: --memory=no must not quietly mean --memory.
        auto isSwitch = [&] {
            if (!attached)
                return true;
            result.error = a + " takes no value";
            return false;
        };
        std::string text;
        if (a == "--help" || a == "-h" || a == "--version") {
            if (!isSwitch())
                return result;
            o.help = a != "--version";
            o.version = a == "--version";
            return result;
        }
        if (a == "--store") {
            if (!value(o.storeFile))
                return result;
            // An empty word would otherwise read as no --store at all and open the default store.
            if (o.storeFile.empty()) {
                result.error = "--store needs a file name";
                return result;
            }
        } else if (a == "--memory") {
            if (!isSwitch())
                return result;
            o.memory = true;
        } else if (a == "--registry") {
            if (!value(o.registryFile))
                return result;
        } else if (a == "--lang") {
            if (!value(o.language))
                return result;
        } else if (a == "--login") {
            if (!value(o.loginName))
                return result;
        } else if (a == "--password") {
            if (!value(text))
                return result;
            o.password = text;
        } else if (a == "--password-stdin") {
            if (!isSwitch())
                return result;
            o.passwordStdin = true;
        } else if (a == "--script") {
            if (!value(o.scriptFile))
                return result;
            // An empty word would otherwise read as no --script and take commands from standard input.
            if (o.scriptFile.empty()) {
                result.error = "--script needs a file name (or - for standard input)";
                return result;
            }
        } else if (a == "-c") {
            if (!value(text))
                return result;
            o.commands.push_back(text);
        } else {
            result.error = "unknown argument " + args[i];
            return result;
        }
    }
    if (o.memory && !o.storeFile.empty())
        result.error = "--store and --memory exclude each other";
    else if (o.password && o.passwordStdin)
        result.error = "--password and --password-stdin exclude each other";
    else if (!o.scriptFile.empty() && !o.commands.empty())
        result.error = "--script and -c exclude each other";
    else if (o.language.find('/') != std::string::npos || o.language == "." || o.language == "..")
        result.error = "--lang takes a language name, not a path";
    return result;
}

} // namespace cvadmin
