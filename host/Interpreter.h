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
// module, sheets) registers its own.
class Interpreter {
public:
    using Args = std::vector<std::string>;
    using Handler = std::function<CommandResult(const Args& args)>;

    Interpreter(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    void Register(const std::string& name, Handler handler) { m_commands[name] = std::move(handler); }

    // Work the host does before it reads each next line (posted messages, for one).
    void SetIdleHook(std::function<void()> hook) { m_idle = std::move(hook); }
    // Asked after every command: a non-empty answer turns the command into an error with that text.
    void SetAfterCommandCheck(std::function<std::string()> check) { m_afterCommand = std::move(check); }

    // Runs the commands in order. With `stopOnError` the first error ends the run; the answer is the
    // process exit status: 0 when every command succeeded, 1 otherwise.
    int Run(const std::vector<ScriptCommand>& commands, bool stopOnError);

    CommandResult Execute(const ScriptCommand& command);

    // Prints `error | LINE | TEXT` on the error stream.
    void ReportError(int line, const std::string& text);

    std::ostream& Out() { return m_out; }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::map<std::string, Handler> m_commands;
    std::function<void()> m_idle;
    std::function<std::string()> m_afterCommand;
};

// One field of an output line: line breaks are written `\n` so that every record stays on one line.
std::string OutputField(const std::string& text);

} // namespace cvadmin
