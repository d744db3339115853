// cvadmin: the host program. It opens a directory store and a registry, signs in, and runs script
// commands from a file, from -c, or from standard input.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "host/DirectoryCommands.h"
#include "host/DirectoryOps.h"
#include "host/HelpCommand.h"
#include "host/HostCommands.h"
#include "host/Interpreter.h"
#include "host/Languages.h"
#include "host/ModuleCommands.h"
#include "host/Options.h"
#include "host/PasswordEntry.h"
#include "host/PromptSession.h"
#include "host/Sample.h"
#include "host/UiCommands.h"
#include "host/services/HostServices.h"
#include "host/services/SnapinLoader.h"
#include "module/core/Language.h"
#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirStore.h"
#include "platform/ui/window/FrameTexts.h"
#include "platform/winapi/WinApi.h"

namespace {

constexpr int kExitUsage = 2;

int Fail(const std::string& text) {
    std::cerr << "error | 0 | " << cvadmin::OutputField(text) << "\n";
    return kExitUsage;
}

int RunInteractive(cvadmin::Interpreter& interpreter) {
    if (isatty(STDIN_FILENO) != 0)
        return cvadmin::RunPromptSession(interpreter);
    int number = 0;
    bool splitFailed = false;
    std::deque<cvadmin::ScriptCommand> pending;
    // Lines are read only when a command is wanted, so a dialog opened by one line takes the next ones.
    auto source = [&](cvadmin::ScriptCommand& next) {
        while (pending.empty()) {
            std::string line;
            if (!std::getline(std::cin, line))
                return false;
            cvadmin::SplitResult split = cvadmin::SplitScript(line, ++number);
            if (!split.error.empty()) {
                interpreter.ReportError(number, split.error);
                splitFailed = true;
                return false;
            }
            pending.insert(pending.end(), split.commands.begin(), split.commands.end());
        }
        next = std::move(pending.front());
        pending.pop_front();
        return true;
    };
    // Piped commands stop at the first error, like a script.
    int status = interpreter.Run(source, /*stopOnError=*/true);
    return splitFailed ? 1 : status;
}

// Reads the whole script file ("-": what standard input still holds), or says why it cannot.
bool ReadScriptFile(const std::string& path, std::string& text, std::string& error) {
    if (path == "-") {
        std::stringstream content;
        content << std::cin.rdbuf();
        text = content.str();
        // At a terminal the person ended the script with Ctrl-D; a password may still be asked there.
        std::cin.clear();
        return true;
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        error = "the script " + path + " is a folder, not a file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read the script " + path + ": " + std::strerror(errno);
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        error = "cannot read the script " + path + ": " + std::strerror(errno);
        return false;
    }
    text = content.str();
    return true;
}

// The password to sign in with: from the command line, the line read from standard input, asked at a
// terminal, or none. A store this run made has no password to ask for. Empty when it could not be had,
// with the reason in `error`.
std::optional<std::string> TakePassword(const cvadmin::Options& options, std::string& stdinPassword,
                                        bool storeIsNew, std::string& error) {
    std::string password;
    if (options.password) {
        password = *options.password;
    } else if (options.passwordStdin) {
        password = stdinPassword;
        cvadmin::WipeSecret(stdinPassword);
    } else if (isatty(STDIN_FILENO) != 0 && !storeIsNew) {
        if (!cvadmin::AskPasswordOnTerminal(options.loginName, password)) {
            error = "no password was typed for " + options.loginName;
            return std::nullopt;
        }
    }
    if (std::string problem = cvadmin::PasswordTextProblem(password); !problem.empty()) {
        cvadmin::WipeSecret(password);
        error = problem;
        return std::nullopt;
    }
    return password;
}

// The folder a store file is to be in, when that folder is missing or is no folder: the store itself can
// only say that it found no such object, which points nowhere near the mistake.
std::string MissingFolderProblem(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty())
        return {};
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(folder, error);
    if (std::filesystem::is_directory(status))
        return {};
    if (std::filesystem::exists(status))
        return folder.string() + " is not a folder";
    return "there is no folder " + folder.string();
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    cvadmin::ParseResult parsed = cvadmin::ParseCommandLine(args);
    if (!parsed.error.empty()) {
        std::cerr << "cvadmin: " << parsed.error << "\n" << cvadmin::UsageText();
        return kExitUsage;
    }
    cvadmin::Options& options = parsed.options;
    if (options.help || options.version) {
        std::cout << (options.help ? cvadmin::HelpText() : cvadmin::VersionText());
        return 0;
    }

    if (options.sample) {
        if (std::string problem = MissingFolderProblem(options.sampleFile);
            !dirclient::IsLdapUrl(options.sampleFile) && !problem.empty())
            return Fail("cannot make the store " + options.sampleFile + ": " + problem);
        std::string error = cvadmin::MakeSampleDirectory(options.sampleFile);
        if (!error.empty())
            return Fail(error);
        std::cout << "sample directory made in " << options.sampleFile << "\n"
                  << "sign in as Admin (password " << cvadmin::kSampleAdminPassword << "), "
                  << cvadmin::kSampleOperator << " (" << cvadmin::kSampleOperatorPassword << ") or "
                  << cvadmin::kSampleUser << " (" << cvadmin::kSampleUserPassword << ")\n"
                  << "open it: cvadmin --store " << options.sampleFile << " --login Admin\n";
        return 0;
    }
    // A language that is not installed would run the whole script without the module: nothing runs.
    if (!options.language.empty()) {
        std::string error;
        std::optional<std::string> language = cvadmin::ResolveLanguage(options.language, error);
        if (!language)
            return Fail("--lang: " + error);
        options.language = *language;
    }
    if (options.helpSection)
        return cvadmin::RunHelpCommand(options, std::cout, std::cerr);

    // The password's line comes first on standard input, before a script read from there (--script -).
    std::string stdinPassword;
    struct WipeWhenDone {
        std::string& secret;
        ~WipeWhenDone() { cvadmin::WipeSecret(secret); }
    } wipeStdinPassword{stdinPassword};
    if (options.passwordStdin && !cvadmin::ReadPasswordLine(std::cin, stdinPassword))
        return Fail("--password-stdin: standard input holds no password");

    // A script that cannot be read stops the program before it opens or changes anything.
    std::string scriptText;
    if (!options.scriptFile.empty()) {
        if (std::string error; !ReadScriptFile(options.scriptFile, scriptText, error))
            return Fail(error);
    }

    std::string registryFile =
        options.registryFile.empty() ? RegistryDefaultFilePath() : options.registryFile;
    if (RegistryResult registry = RegistryUseFile(registryFile); !registry.Ok())
        return Fail("cannot use the registry file: " + registry.message);

    // The interactive prompt: a person types the commands (everything else keeps the script's output).
    const bool atPrompt = isatty(STDIN_FILENO) != 0 && options.commands.empty() && options.scriptFile.empty();
    int32_t opened = 0;
    std::string storeFile;
    bool storeIsNew = false;
    if (options.memory) {
        opened = DirOpenMemoryStore();
    } else {
        storeFile = options.storeFile;
        if (storeFile.empty()) {
            // The default place is the host's own: make its folder on first use.
            storeFile = cvadmin::DefaultStorePath();
            const std::filesystem::path folder = std::filesystem::path(storeFile).parent_path();
            std::error_code ignored;
            std::filesystem::create_directories(folder.parent_path(), ignored);
            // The store holds password hashes: the host's own folder for it is its owner's alone, whatever
            // the umask (the folders above it belong to the user's other programs).
            if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
                return Fail("cannot make the folder " + folder.string() + ": " + std::strerror(errno));
        }
        if (!dirclient::IsLdapUrl(storeFile)) {
            if (std::string problem = MissingFolderProblem(storeFile); !problem.empty())
                return Fail("cannot open the directory store " + storeFile + ": " + problem);
            std::error_code ignored;
            storeIsNew = !std::filesystem::exists(storeFile, ignored);
        }
        opened = DirOpenStore(storeFile.c_str(), 1);
    }
    if (opened != 0) {
        const std::string problem = DirStoreProblem();
        return Fail("cannot open the directory store " + storeFile + ": " +
                    (problem.empty() ? std::string(DirErrorText(opened)) : problem));
    }

    std::string passwordError;
    std::optional<std::string> password = TakePassword(options, stdinPassword, storeIsNew, passwordError);
    if (!password) {
        (void)DirCloseStore();
        return Fail(passwordError);
    }
    // Without a terminal to ask at, and with no password given, the sign-in is tried without one: a new
    // store's Admin has none.
    const bool passwordGiven =
        options.password || options.passwordStdin || (isatty(STDIN_FILENO) != 0 && !storeIsNew);
    cvadmin::DirOutcome login = cvadmin::DirectoryOps::Login(options.loginName, *password);
    cvadmin::WipeSecret(*password);
    if (!login.Ok()) {
        (void)DirCloseStore();
        return Fail(login.error +
                    (passwordGiven ? "" : " (give the password with --password or --password-stdin)"));
    }

    cvadmin::Interpreter interpreter(std::cout, std::cerr);
    // A person at the prompt is asked for the password `login NAME` leaves out; a script signs in without.
    cvadmin::RegisterDirectoryCommands(
        interpreter, atPrompt ? cvadmin::PasswordQuestion(cvadmin::AskLoginPassword) : nullptr);
    cvadmin::RegisterModuleCommands(interpreter);
    cvadmin::RegisterHostCommands(interpreter);
    cvadmin::RegisterUiCommands(interpreter, cvadmin::CurrentSheetPage, cvadmin::SheetOk,
                                cvadmin::SheetCancel, cvadmin::SheetKey);
    cvadmin::InstallScriptDriver(interpreter);
    cvadmin::ConnectPrompter(interpreter);
    interpreter.AddAfterCommandCheck(cvadmin::TakeBrowseError);

    // The module's start-up reads the language from the registry; --lang answers for this run only.
    if (!options.language.empty())
        (void)RegistrySetSessionString(HKEY_LOCAL_MACHINE, "Software\\Tandry\\SessionSettings", "CVLANGUAGE",
                                       options.language.c_str());
    // The frames the host draws around pages speak the module's language.
    SetFrameLanguage(options.language.empty() ? ReadLanguageName() : options.language);
    char treeName[64] = {};
    if (DirGetTreeName(treeName, sizeof treeName) == 0)
        HostServices::Instance().SetTreeName(treeName);

    int status = 0;
    SnapinLoader module;
    if (SnapinLoader::Result loaded = module.Load(cvadmin::DefaultModulePath()); !loaded.ok) {
        // The directory commands still work without the module; the run reports the failure.
        interpreter.ReportError(0, loaded.error);
        status = 1;
    }

    if (!options.commands.empty() || !options.scriptFile.empty()) {
        std::vector<cvadmin::ScriptCommand> script;
        cvadmin::SplitResult split;
        if (options.commands.empty()) {
            split = cvadmin::SplitScript(scriptText);
            script = std::move(split.commands);
        }
        // Several -c are one script: their commands are numbered on from one argument to the next.
        for (const std::string& text : options.commands) {
            split = cvadmin::SplitScript(text, static_cast<int>(script.size()) + 1, /*commandsAsLines=*/true);
            if (!split.error.empty())
                break;
            script.insert(script.end(), split.commands.begin(), split.commands.end());
        }
        if (!split.error.empty()) {
            interpreter.ReportError(split.errorLine, split.error);
            status = 1;
        } else {
            status = std::max(status, interpreter.Run(script, /*stopOnError=*/true));
        }
    } else {
        // A person at the prompt reads the section a help call opens; piped commands keep the script's
        // output, which other programs read.
        if (atPrompt) {
            cvadmin::ShowHelpSections(interpreter);
            if (storeIsNew)
                std::cout << cvadmin::FirstRunGreeting(storeFile);
        }
        status = std::max(status, RunInteractive(interpreter));
    }
    cvadmin::CloseOpenSheet();
    (void)module.Unload();
    (void)DirCloseStore();
    return status;
}
