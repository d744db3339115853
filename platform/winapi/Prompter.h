// The prompter answers message boxes and records help calls in place of a screen. The host prints each
// box and takes the answer from what the script queued; tests queue answers and read the log.
#pragma once

#include "platform/winapi/WinApi.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A box whose text does not come from the string table.
constexpr int kNoStringId = -1;

struct MessageBoxRecord {
    int stringId = kNoStringId;
    std::string text; // as shown, after formatting
    std::string caption;
    UINT type = MB_OK;    // as passed
    UINT buttons = MB_OK; // type & MB_TYPEMASK
    UINT icon = 0;        // type & MB_ICONMASK
    int answer = 0;       // IDOK ... IDNO, 0 when it could not be answered
    std::string error;    // why it could not be answered; empty otherwise
};

struct HelpCallRecord {
    std::string file;
    UINT command = HELP_CONTEXT;
    ULONG_PTR data = 0; // the context number for HELP_CONTEXT
};

class Prompter {
public:
    // Answers a box; returning 0 means "cannot answer" (the box then fails and records the error).
    using Answerer = std::function<int(const MessageBoxRecord& box)>;
    using MessageObserver = std::function<void(const MessageBoxRecord& box)>;
    using HelpObserver = std::function<void(const HelpCallRecord& call)>;

    // The one prompter of the process (shared by host, module and resource library).
    static Prompter& Instance();

    // Shows a box and answers it. Without an answerer: the next queued answer; with none queued a box with
    // an OK button is answered IDOK and any other fails (answer 0, error set). A queued answer that is not
    // one of the box's buttons fails the box too (and is used up).
    int ShowMessage(int stringId, std::string_view text, std::string_view caption, UINT type);
    void Help(std::string_view file, UINT command, ULONG_PTR data);
    void Beep() { ++m_beeps; }

    void QueueAnswer(int answer);
    [[nodiscard]] size_t PendingAnswers() const;
    void SetAnswerer(Answerer answerer); // an empty function goes back to the queue
    void SetMessageObserver(MessageObserver observer);
    void SetHelpObserver(HelpObserver observer);

    [[nodiscard]] const std::vector<MessageBoxRecord>& Messages() const { return m_messages; }
    [[nodiscard]] const std::vector<HelpCallRecord>& HelpCalls() const { return m_helpCalls; }
    [[nodiscard]] size_t BeepCount() const { return m_beeps; }
    // The first box that could not be answered since the last call, taken out (empty record otherwise).
    [[nodiscard]] bool TakeFailure(MessageBoxRecord* failed);

    // Clears log, queue, failures, observers and answerer: a fresh prompter for the next test.
    void Reset();

private:
    Prompter() = default;
    int Answer(MessageBoxRecord& box);

    std::vector<int> m_queue; // front is next
    Answerer m_answerer;
    MessageObserver m_messageObserver;
    HelpObserver m_helpObserver;
    std::vector<MessageBoxRecord> m_messages;
    std::vector<HelpCallRecord> m_helpCalls;
    std::vector<MessageBoxRecord> m_failures;
    size_t m_beeps = 0;
};

// The box call that carries the string id (AfxMessageBox(id) of the window framework); MessageBoxA uses
// kNoStringId.
int PrompterShowMessage(int stringId, LPCSTR text, LPCSTR caption, UINT type);

// "ok", "cancel", "yes", "no", "abort", "retry", "ignore"; "none" for 0.
std::string AnswerName(int answer);
// The answer id of a name as AnswerName writes it; 0 for an unknown name.
int AnswerFromName(std::string_view name);
// The host's output line: "message ID | TEXT | ANSWER", ID "-" for kNoStringId, line breaks as "\n".
std::string FormatMessageLine(const MessageBoxRecord& box);
// "help CONTEXT" for HELP_CONTEXT; other commands "help finder", "help index", "help quit", "help key".
std::string FormatHelpLine(const HelpCallRecord& call);
