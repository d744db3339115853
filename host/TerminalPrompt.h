#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/LineCompletion.h"
#include "host/PromptHistory.h"

namespace cvadmin {

// Reads lines from the terminal that standard input is, with libedit's line editing (emacs keys, or what
// the person's ~/.editrc binds), the history (the up and down arrows), and Tab completion.
// Precondition: standard input is a terminal. Only one may exist at a time (libedit keeps the terminal).
class TerminalPrompt {
public:
    // Completes the word that ends at the cursor; `textBeforeCursor` is what the line holds up to it.
    using Completer = std::function<CompletionResult(const std::string& textBeforeCursor)>;

    // The lines `kept` holds now are offered to the arrows.
    TerminalPrompt(const char* programName, Completer completer, const PromptHistory& kept);
    ~TerminalPrompt();
    TerminalPrompt(const TerminalPrompt&) = delete;
    TerminalPrompt& operator=(const TerminalPrompt&) = delete;

    // Shows `prompt` and answers the line typed, without its line end; empty at the end of input (Ctrl-D
    // on an empty line).
    std::optional<std::string> ReadLine(const std::string& prompt);

    // Offers a line to the arrows from now on.
    void Remember(const std::string& line);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace cvadmin
