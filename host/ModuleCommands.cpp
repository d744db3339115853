#include "host/ModuleCommands.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "host/services/Host.h"
#include "host/services/HostServices.h"
#include "platform/winapi/Prompter.h"

namespace cvadmin {

namespace {

using Args = Interpreter::Args;

CommandResult Usage(const char* form) {
    return CommandResult::Error(std::string("usage: ") + form);
}

} // namespace

std::string DefaultModulePath() {
    if (const char* path = std::getenv("KELNT_MODULE"); path != nullptr && path[0] != '\0')
        return path;
    // The module lies beside the host's own libraries (the build's lib/, or the installed private library
    // folder that the program's run path names), so the folder the host services were loaded from finds
    // it wherever the program was installed and from whatever folder it runs.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&HostFindResourceLibrary), &info) != 0 && info.dli_fname != nullptr) {
        std::string library = info.dli_fname;
        if (std::size_t slash = library.rfind('/'); slash != std::string::npos)
            return library.substr(0, slash) + "/KELNT.so";
    }
    char self[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string("./cvadmin");
    std::string folder = program.substr(0, program.find_last_of('/'));
    return folder + "/../lib/KELNT.so";
}

void ConnectPrompter(Interpreter& interpreter) {
    Prompter& prompter = Prompter::Instance();
    prompter.SetMessageObserver([&interpreter](const MessageBoxRecord& box) {
        interpreter.NoteShown();
        interpreter.Out() << FormatMessageLine(box) << "\n";
    });
    prompter.SetHelpObserver(
        [&interpreter](const HelpCallRecord& call) { interpreter.Out() << FormatHelpLine(call) << "\n"; });
    // A box that nobody could answer is an error of the command that caused it.
    interpreter.AddAfterCommandCheck([]() -> std::string {
        MessageBoxRecord failed;
        if (!Prompter::Instance().TakeFailure(&failed))
            return {};
        return "message box " +
               (failed.stringId == kNoStringId ? std::string("-") : std::to_string(failed.stringId)) +
               " could not be answered: " + failed.error;
    });
}

void RegisterModuleCommands(Interpreter& interpreter) {
    interpreter.Register("classes", [&interpreter](const Args& args) {
        if (!args.empty())
            return Usage("classes");
        for (const ClassListing& line : HostServices::Instance().ListClasses())
            interpreter.Out() << FormatClassLine(line) << "\n";
        return CommandResult::Ok();
    });
    interpreter.Register("tools", [&interpreter](const Args& args) {
        if (!args.empty())
            return Usage("tools");
        for (const ToolListing& line : HostServices::Instance().ListTools())
            interpreter.Out() << FormatToolLine(line) << "\n";
        return CommandResult::Ok();
    });
    interpreter.Register("tool", [](const Args& args) {
        if (args.size() != 1)
            return Usage("tool NAME");
        HostServices& host = HostServices::Instance();
        for (const ToolListing& line : host.ListTools()) {
            if (line.text == args[0] || MenuTextForDisplay(line.text) == args[0]) {
                if (!line.menuEnabled)
                    return CommandResult::Error("the Tools command " + args[0] + " is grayed");
                break;
            }
        }
        if (!host.RunTool(args[0]))
            return CommandResult::Error("no Tools command " + args[0] + " can run");
        return CommandResult::Ok();
    });
    interpreter.Register("answer", [](const Args& args) {
        if (args.size() != 1)
            return Usage("answer yes|no|ok|cancel");
        int answer = AnswerFromName(args[0]);
        if (answer == 0)
            return CommandResult::Error("answer takes yes, no, ok or cancel, not " + args[0]);
        Prompter::Instance().QueueAnswer(answer);
        return CommandResult::Ok();
    });
}

} // namespace cvadmin
