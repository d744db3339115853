#include "host/PromptSession.h"

#include <signal.h>

#include <clocale>
#include <deque>
#include <filesystem>
#include <iostream>
#include <optional>

#include "host/DirectoryOps.h"
#include "host/LineCompletion.h"
#include "host/PasswordEntry.h"
#include "host/PromptHistory.h"
#include "host/ScriptReader.h"
#include "host/TerminalPrompt.h"
#include "host/services/HostSheet.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/ui/window/WindowRecord.h"

namespace cvadmin {

namespace {

// What a person acts on now: the innermost modal window's page, else the open details sheet's page.
HWND ActiveWindow() {
    ModalContext modal = CurrentModal();
    if (modal.window != nullptr)
        return modal.ActivePage();
    HostSheet* sheet = HostSheet::Current();
    return sheet != nullptr && sheet->IsOpen() ? sheet->CurrentPageWindow() : nullptr;
}

bool IsPasswordField(int id) {
    HWND window = ActiveWindow();
    HWND control = window != nullptr ? FindUiControl(window, id) : nullptr;
    return control != nullptr && (GetControlStyles(control) & kRcStylePassword) != 0;
}

// Between lines an interrupt must not end the session: what is open stays open. The command that runs goes
// on to its end (a directory request is done whole or not at all); each system call it makes is resumed.
void IgnoreInterrupt(int) {}

class InterruptKeepsSession {
public:
    InterruptKeepsSession() {
        struct sigaction action {};
        action.sa_handler = IgnoreInterrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        (void)sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptKeepsSession() { (void)sigaction(SIGINT, &m_previous, nullptr); }
    InterruptKeepsSession(const InterruptKeepsSession&) = delete;
    InterruptKeepsSession& operator=(const InterruptKeepsSession&) = delete;

private:
    struct sigaction m_previous {};
};

} // namespace

std::string FirstRunGreeting(const std::string& storeFile) {
    std::error_code ignored;
    const std::filesystem::path where = std::filesystem::absolute(storeFile, ignored);
    return "A new, empty directory was made in " + (where.empty() ? storeFile : where.string()) +
           ".\nIts supervisor Admin has no password yet; give it one with: dir password Admin NEW-PASSWORD\n"
           "Type help for the commands, help COMMAND for one of them, quit to leave.\n";
}

std::optional<std::string> AskLoginPassword(const std::string& name, std::string& why) {
    std::string password;
    switch (AskPasswordAtPrompt(name, password)) {
    case PasswordAnswer::Typed:
        break;
    case PasswordAnswer::Cancelled:
        why = "cancelled; the sign-in is as it was";
        return std::nullopt;
    case PasswordAnswer::Ended:
        why = "no password was typed; the sign-in is as it was";
        return std::nullopt;
    }
    if (std::string problem = PasswordTextProblem(password); !problem.empty()) {
        WipeSecret(password);
        why = problem;
        return std::nullopt;
    }
    return password;
}

std::string PromptText() {
    ModalContext modal = CurrentModal();
    if (modal.window != nullptr) {
        std::string where = GetWindowTextString(modal.window);
        if (modal.kind != ModalKind::Dialog) {
            HWND page = modal.ActivePage();
            if (page != nullptr && page != modal.window)
                where += ": " + GetWindowTextString(page);
        }
        return "cvadmin [" + where + "]> ";
    }
    if (HostSheet* sheet = HostSheet::Current(); sheet != nullptr && sheet->IsOpen())
        return "cvadmin [" + sheet->ObjectName() + ": " + sheet->PageTitle(sheet->CurrentPage()) + "]> ";
    return "cvadmin> ";
}

int RunPromptSession(Interpreter& interpreter) {
    // The script language is UTF-8 whatever the person's locale, and libedit must know it to move over whole
    // characters. C.UTF-8 classifies single bytes as "C" does, so the module's case folding stays the same;
    // dates and numbers keep their forms, since only the character type changes.
    (void)std::setlocale(LC_CTYPE, "C.UTF-8");

    PromptHistory kept;
    if (std::string why = kept.Open(PromptHistory::DefaultPath()); !why.empty())
        std::cerr << "cvadmin: the history is not kept: " << why << "\n";

    const std::vector<std::string> commandNames = interpreter.CommandNames();
    auto listChildren = [](const std::string& container, std::vector<std::string>& names) {
        std::vector<ListedObject> objects;
        if (!DirectoryOps::List(container, objects).Ok())
            return false;
        for (ListedObject& object : objects)
            names.push_back(std::move(object.name));
        return true;
    };
    auto completer = [&](const std::string& before) {
        return CompleteWord(FindWordAtCursor(before), commandNames, listChildren);
    };
    TerminalPrompt prompt("cvadmin", completer, kept);
    InterruptKeepsSession keep;
    // A person reads what a command did; the record of each module answer is shown after `verbose on`.
    interpreter.ShowRecord(false);

    int number = 0;
    bool ended = false;
    bool historyFailed = false;
    std::deque<ScriptCommand> pending;
    // Lines are read only when a command is wanted, so a dialog opened by one line takes the next ones
    // (and the prompt can say so).
    auto source = [&](ScriptCommand& next) {
        while (pending.empty()) {
            // Once the input has ended, every dialog still waiting closes with Cancel.
            if (ended)
                return false;
            std::cout.flush();
            PromptInput input = prompt.ReadLine(PromptText());
            if (input.kind == PromptInput::Kind::End) {
                ended = true;
                return false;
            }
            if (input.kind == PromptInput::Kind::Cancelled)
                continue;
            ++number;
            if (input.kind == PromptInput::Kind::KeyF1) {
                pending.push_back({{"key", "f1"}, number});
                continue;
            }
            const std::string line = std::move(input.text);
            if (!IsSecretLine(line, IsPasswordField)) {
                prompt.Remember(line);
                if (!kept.Add(line) && !historyFailed) {
                    historyFailed = true;
                    std::cerr << "cvadmin: the history file could not take the line; it is kept for this run "
                                 "only\n";
                }
            }
            SplitResult split = SplitScript(line, number);
            if (!split.error.empty()) {
                interpreter.ReportError(number, split.error);
                continue;
            }
            pending.insert(pending.end(), split.commands.begin(), split.commands.end());
        }
        next = std::move(pending.front());
        pending.pop_front();
        return true;
    };
    (void)interpreter.Run(source, /*stopOnError=*/false);
    if (ended)
        std::cout << "\n";
    return 0;
}

} // namespace cvadmin
