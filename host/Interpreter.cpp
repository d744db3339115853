#include "host/Interpreter.h"

#include "host/NearWords.h"

namespace cvadmin {

std::string OutputField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        if (c == '\n' || c == '\r')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

Interpreter::Interpreter(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {
    // Leaving ends the run where it stands: what is still open closes with Cancel, as at the end of a script.
    auto leave = [this](const Args& args) {
        if (!args.empty())
            return CommandResult::Error("quit and exit take no arguments");
        m_stopped = true;
        return CommandResult::Ok();
    };
    Register("quit", leave);
    Register("exit", leave);
    Register("verbose", [this](const Args& args) {
        if (args.size() != 1 || (args[0] != "on" && args[0] != "off"))
            return CommandResult::Error("usage: verbose on|off");
        m_showRecord = args[0] == "on";
        return CommandResult::Ok();
    });
}

std::vector<std::string> Interpreter::CommandNames() const {
    std::vector<std::string> names;
    names.reserve(m_commands.size());
    for (const auto& [name, handler] : m_commands)
        names.push_back(name);
    return names;
}

CommandResult Interpreter::Execute(const ScriptCommand& command) {
    if (command.words.empty())
        return CommandResult::Ok();
    auto it = m_commands.find(command.words[0]);
    if (it == m_commands.end()) {
        std::vector<std::string> near = NearestWords(command.words[0], CommandNames());
        if (near.empty())
            return CommandResult::Error("unknown command " + command.words[0]);
        return CommandResult::Error("unknown command " + command.words[0] + " (did you mean " + near[0] +
                                    "?)");
    }
    Args args(command.words.begin() + 1, command.words.end());
    CommandResult result = it->second(args);
    for (const auto& check : m_afterCommand) {
        std::string problem = check();
        if (result.ok && !problem.empty())
            result = CommandResult::Error(problem);
    }
    return result;
}

void Interpreter::ReportError(int line, const std::string& text) {
    m_out.flush();
    m_err << "error | " << line << " | " << OutputField(text) << "\n";
    m_err.flush();
}

bool Interpreter::RunNextCommand() {
    if (m_stopped || !m_source)
        return false;
    if (m_idle)
        m_idle();
    ScriptCommand command;
    if (!m_source(command))
        return false;
    CommandResult result = Execute(command);
    m_out.flush();
    if (!result.ok) {
        ReportError(command.line, result.error);
        m_status = 1;
        if (m_stopOnError)
            m_stopped = true;
    }
    return true;
}

int Interpreter::Run(Source source, bool stopOnError) {
    Source outer = std::move(m_source);
    bool outerStop = m_stopOnError;
    m_source = std::move(source);
    m_stopOnError = stopOnError;
    m_stopped = false;
    m_status = 0;
    while (RunNextCommand()) {
    }
    if (m_idle)
        m_idle();
    int status = m_status;
    m_source = std::move(outer);
    m_stopOnError = outerStop;
    return status;
}

int Interpreter::Run(const std::vector<ScriptCommand>& commands, bool stopOnError) {
    std::size_t next = 0;
    return Run(
        [&commands, &next](ScriptCommand& out) {
            if (next >= commands.size())
                return false;
            out = commands[next++];
            return true;
        },
        stopOnError);
}

} // namespace cvadmin
