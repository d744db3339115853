#include "host/Interpreter.h"

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

CommandResult Interpreter::Execute(const ScriptCommand& command) {
    if (command.words.empty())
        return CommandResult::Ok();
    auto it = m_commands.find(command.words[0]);
    if (it == m_commands.end())
        return CommandResult::Error("unknown command " + command.words[0]);
    Args args(command.words.begin() + 1, command.words.end());
    CommandResult result = it->second(args);
    if (m_afterCommand) {
        std::string problem = m_afterCommand();
        if (result.ok && !problem.empty())
            return CommandResult::Error(problem);
    }
    return result;
}

void Interpreter::ReportError(int line, const std::string& text) {
    m_out.flush();
    m_err << "error | " << line << " | " << OutputField(text) << "\n";
    m_err.flush();
}

int Interpreter::Run(const std::vector<ScriptCommand>& commands, bool stopOnError) {
    int status = 0;
    for (const ScriptCommand& command : commands) {
        if (m_idle)
            m_idle();
        CommandResult result = Execute(command);
        m_out.flush();
        if (!result.ok) {
            ReportError(command.line, result.error);
            status = 1;
            if (stopOnError)
                break;
        }
    }
    if (m_idle)
        m_idle();
    return status;
}

} // namespace cvadmin
