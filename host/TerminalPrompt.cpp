#include "host/TerminalPrompt.h"

#include <histedit.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace cvadmin {

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kColumnGap = 2;

// The escape sequences terminals send for F1: xterm's and VT100's, and the Linux console's and rxvt's.
constexpr const char* kF1Sequences[] = {"\033OP", "\033[11~"};

} // namespace

struct TerminalPrompt::State {
    EditLine* editor = nullptr;
    History* history = nullptr;
    Completer completer;
    std::string prompt;
    PromptInput::Kind ending = PromptInput::Kind::Line; // what a key other than Enter made of the line
    std::string held;                                   // the line F1 interrupted, typed again next time

    static State& Of(EditLine* editor) {
        void* data = nullptr;
        el_get(editor, EL_CLIENTDATA, &data);
        return *static_cast<State*>(data);
    }

    static char* PromptOf(EditLine* editor) { return Of(editor).prompt.data(); }

    // Ends the line as Enter would (the editor moves below it), remembering what ended it.
    static unsigned char EndLine(EditLine* editor, PromptInput::Kind kind) {
        State& s = Of(editor);
        s.ending = kind;
        if (kind == PromptInput::Kind::KeyF1) {
            const LineInfo* line = el_line(editor);
            s.held.assign(line->buffer, line->lastchar);
        } else {
            std::fputs("^C", stdout);
        }
        el_push(editor, "\r");
        return CC_NORM;
    }

    static unsigned char Cancel(EditLine* editor, int /*key*/) {
        return EndLine(editor, PromptInput::Kind::Cancelled);
    }

    static unsigned char PressF1(EditLine* editor, int /*key*/) {
        return EndLine(editor, PromptInput::Kind::KeyF1);
    }

    static unsigned char Complete(EditLine* editor, int /*key*/) { return Of(editor).CompleteHere(); }

    unsigned char CompleteHere() {
        const LineInfo* line = el_line(editor);
        const std::string before(line->buffer, line->cursor);
        const WordAtCursor word = FindWordAtCursor(before);
        CompletionResult result = completer(before);
        if (result.candidates.empty())
            return CC_ERROR;
        std::string text = QuoteWord(result.replacement, /*closed=*/result.finished);
        if (result.finished)
            text += ' ';
        if (text != before.substr(word.start)) {
            el_deletestr(editor, static_cast<int>(before.size() - word.start));
            if (el_insertstr(editor, text.c_str()) != 0)
                return CC_ERROR;
        }
        if (result.candidates.size() > 1 || !result.finished) {
            if (result.candidates.size() == 1 && result.candidates[0] == result.replacement)
                return CC_REFRESH;
            ShowCandidates(result.candidates);
            return CC_REDISPLAY;
        }
        return CC_REFRESH;
    }

    // The candidates in columns across the terminal's width, below the line being typed.
    static void ShowCandidates(const std::vector<std::string>& candidates) {
        int columns = kDefaultColumns;
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            columns = size.ws_col;
        std::size_t widest = 0;
        for (const std::string& c : candidates)
            widest = std::max(widest, c.size());
        const std::size_t cell = widest + kColumnGap;
        const std::size_t perRow = std::max<std::size_t>(1, static_cast<std::size_t>(columns) / cell);
        const std::size_t rows = (candidates.size() + perRow - 1) / perRow;
        std::fputs("\n", stdout);
        for (std::size_t r = 0; r < rows; ++r) {
            std::string row;
            for (std::size_t k = r; k < candidates.size(); k += rows) {
                row += candidates[k];
                if (k + rows < candidates.size())
                    row.append(cell - candidates[k].size(), ' ');
            }
            std::fputs((row + "\n").c_str(), stdout);
        }
        std::fflush(stdout);
    }
};

TerminalPrompt::TerminalPrompt(const char* programName, Completer completer, const PromptHistory& kept)
    : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.completer = std::move(completer);
    s.history = history_init();
    HistEvent event;
    history(s.history, &event, H_SETSIZE, static_cast<int>(PromptHistory::kKeptLines));
    history(s.history, &event, H_SETUNIQUE, 1);
    for (const std::string& line : kept.Lines())
        history(s.history, &event, H_ENTER, line.c_str());

    s.editor = el_init(programName, stdin, stdout, stderr);
    el_set(s.editor, EL_CLIENTDATA, &s);
    el_set(s.editor, EL_EDITOR, "emacs");
    // The terminal is given back as it was also when a signal ends the program at the prompt.
    el_set(s.editor, EL_SIGNAL, 1);
    el_set(s.editor, EL_PROMPT, &State::PromptOf);
    el_set(s.editor, EL_HIST, history, s.history);
    // The wide call keeps these names as given: the narrow one copies them and never frees the copies.
    el_wset(s.editor, EL_ADDFN, L"cvadmin-complete", L"complete a command word or an object name",
            &State::Complete);
    el_set(s.editor, EL_BIND, "^I", "cvadmin-complete", nullptr);
    // Ctrl-C reaches the editor as a key while a line is typed, so that it drops the line and never ends
    // the session (with its open sheet); between lines the terminal sends the interrupt as usual.
    el_set(s.editor, EL_SETTY, "-d", "-isig", nullptr);
    el_wset(s.editor, EL_ADDFN, L"cvadmin-cancel", L"drop the line being typed", &State::Cancel);
    el_set(s.editor, EL_BIND, "^C", "cvadmin-cancel", nullptr);
    el_wset(s.editor, EL_ADDFN, L"cvadmin-f1", L"press F1 in the current page or dialog", &State::PressF1);
    for (const char* sequence : kF1Sequences)
        el_set(s.editor, EL_BIND, sequence, "cvadmin-f1", nullptr);
    // The person's own ~/.editrc may bind other keys, as in every program that uses libedit.
    el_source(s.editor, nullptr);
}

TerminalPrompt::~TerminalPrompt() {
    el_end(m_state->editor);
    history_end(m_state->history);
}

PromptInput TerminalPrompt::ReadLine(const std::string& prompt) {
    State& s = *m_state;
    s.prompt = prompt;
    s.ending = PromptInput::Kind::Line;
    if (!s.held.empty()) {
        el_push(s.editor, s.held.c_str());
        s.held.clear();
    }
    int count = 0;
    errno = 0;
    const char* line = el_gets(s.editor, &count);
    if (s.ending != PromptInput::Kind::Line)
        return {s.ending, {}};
    // An interrupt sent from outside (kill -INT) breaks the editor's read: it drops the line, as Ctrl-C does.
    if (line == nullptr && count < 0 && errno == EINTR) {
        std::fputs("\n", stdout);
        return {PromptInput::Kind::Cancelled, {}};
    }
    if (line == nullptr || count <= 0)
        return {PromptInput::Kind::End, {}};
    std::string text(line, static_cast<std::size_t>(count));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return {PromptInput::Kind::Line, std::move(text)};
}

void TerminalPrompt::Remember(const std::string& line) {
    HistEvent event;
    if (!line.empty())
        history(m_state->history, &event, H_ENTER, line.c_str());
}

} // namespace cvadmin
