#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/LineCompletion.h"
#include "host/PromptHistory.h"

namespace cvadmin {

// What the person gave at the prompt.
struct PromptInput {
    enum class Kind {
        Line,      // a line ended with Enter: `text`, without its line end
        Cancelled, // Ctrl-C: the line being typed is dropped
        KeyF1,     // the F1 key; the line being typed comes back at the next prompt
        End,       // Ctrl-D on an empty line: the end of input
    };
    Kind kind = Kind::End;
    std::string text;
};

// Reads lines from the terminal that standard input is, with libedit's line editing (emacs keys, or what
// the person's ~/.editrc binds), the history (the up and down arrows), and Tab completion. Ctrl-C and F1
// are keys of the editor, not signals: the terminal sends no interrupt while a line is typed.
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

    // Shows `prompt` and answers what the person gave there.
    PromptInput ReadLine(const std::string& prompt);

    // Offers a line to the arrows from now on.
    void Remember(const std::string& line);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace cvadmin
