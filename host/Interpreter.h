#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "host/ScriptReader.h"

namespace cvadmin {

// The outcome of one script command. Errors stop a script; refusals that a person meets in the
// program (a validation that says no, a host message answered -1) are not errors.
struct [[nodiscard]] CommandResult {
    bool ok = true;
    std::string error;

    static CommandResult Ok() { return {}; }
    static CommandResult Error(std::string text) { return {false, std::move(text)}; }
};

// Runs script commands against a table of named commands. Each family of commands (directory,
// module, sheets) registers its own. Commands come from a source that a modal dialog may also draw
// from: the lines after the one that opened a dialog act inside it until it closes.
class Interpreter {
public:
    using Args = std::vector<std::string>;
    using Handler = std::function<CommandResult(const Args& args)>;
    // Fills the next command; false when the source is used up.
    using Source = std::function<bool(ScriptCommand& next)>;

    // `quit`, `exit` and `verbose` belong to the language itself, so every interpreter knows them.
    Interpreter(std::ostream& out, std::ostream& err);

    void Register(const std::string& name, Handler handler) { m_commands[name] = std::move(handler); }
    // Every registered command word, in order (for completion at the prompt).
    [[nodiscard]] std::vector<std::string> CommandNames() const;

    // Work the host does before it reads each next line (posted messages, for one).
    void SetIdleHook(std::function<void()> hook) { m_idle = std::move(hook); }
    // Asked after every command: a non-empty answer turns the command into an error with that text.
    void AddAfterCommandCheck(std::function<std::string()> check) {
        m_afterCommand.push_back(std::move(check));
    }

    // Runs every command of the source. With `stopOnError` the first error ends the run (a person at the
    // keyboard goes on instead). Answers the exit status: 0 when every command succeeded, 1 otherwise.
    int Run(Source source, bool stopOnError);
    int Run(const std::vector<ScriptCommand>& commands, bool stopOnError);

    // Runs the next command of the running source, if any, as part of whatever the current command is
    // doing (a modal dialog's loop). Answers false when there is none left or the run has stopped.
    bool RunNextCommand();
    // True once an error or `quit` ended the run; everything still open should close with Cancel.
    [[nodiscard]] bool Stopped() const { return m_stopped; }

    CommandResult Execute(const ScriptCommand& command);

    // Prints `error | LINE | TEXT` on the error stream.
    void ReportError(int line, const std::string& text);

    std::ostream& Out() { return m_out; }
    // The host's record of what the module answered (`-> MESSAGE | ANSWER`, `changed | PAGE`): scripts and
    // piped input read it as part of the output; `verbose off` sends it nowhere.
    std::ostream& Record() { return m_showRecord ? m_out : m_hidden; }
    void ShowRecord(bool show) { m_showRecord = show; }

    // What a person met during the run: message boxes, modal dialogs that took the script's lines, the
    // browser. A command compares the count before and after it, to tell a refusal the person saw (and so
    // answered or cancelled) from one that showed nothing at all.
    void NoteShown() { ++m_shown; }
    [[nodiscard]] unsigned long ShownCount() const { return m_shown; }
    // A modal dialog that was still open when the script ran out of lines, and so closed with Cancel
    // without the script having acted on it.
    void NoteLeftOpen() { ++m_leftOpen; }
    [[nodiscard]] unsigned long LeftOpenCount() const { return m_leftOpen; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::ostream m_hidden{nullptr}; // takes what is written and keeps nothing
    bool m_showRecord = true;
    std::map<std::string, Handler> m_commands;
    std::function<void()> m_idle;
    std::vector<std::function<std::string()>> m_afterCommand;
    Source m_source;
    bool m_stopOnError = true;
    bool m_stopped = false;
    int m_status = 0;
    unsigned long m_shown = 0;
    unsigned long m_leftOpen = 0;
};

// One field of an output line: line breaks are written `\n` so that every record stays on one line.
std::string OutputField(const std::string& text);

} // namespace cvadmin
