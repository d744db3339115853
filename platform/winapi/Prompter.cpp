#include "platform/winapi/Prompter.h"

#include <algorithm>

namespace {

// The buttons a box of each type offers, in the order they appear.
std::vector<int> ButtonsOf(UINT buttons) {
    switch (buttons) {
    case MB_OK:
        return {IDOK};
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {};
    }
}

std::string ButtonList(UINT buttons) {
    std::string out;
    for (int id : ButtonsOf(buttons)) {
        if (!out.empty())
            out += '/';
        out += AnswerName(id);
    }
    return out.empty() ? "none" : out;
}

} // namespace

Prompter& Prompter::Instance() {
    static Prompter prompter;
    return prompter;
}

int Prompter::Answer(MessageBoxRecord& box) {
    const std::vector<int> offered = ButtonsOf(box.buttons);
    if (offered.empty()) {
        box.error = "message box with an unknown button set " + std::to_string(box.buttons);
        return 0;
    }
    int answer = 0;
    if (m_answerer) {
        answer = m_answerer(box);
        if (answer == 0) {
            box.error = "no answer for a message box with " + ButtonList(box.buttons);
            return 0;
        }
    } else if (!m_queue.empty()) {
        answer = m_queue.front();
        m_queue.erase(m_queue.begin());
    } else if (std::find(offered.begin(), offered.end(), IDOK) != offered.end()) {
        return IDOK;
    } else {
        box.error = "no answer queued for a message box with " + ButtonList(box.buttons);
        return 0;
    }
    if (std::find(offered.begin(), offered.end(), answer) == offered.end()) {
        box.error =
            "answer " + AnswerName(answer) + " does not fit a message box with " + ButtonList(box.buttons);
        return 0;
    }
    return answer;
}

int Prompter::ShowMessage(int stringId, std::string_view text, std::string_view caption, UINT type) {
    MessageBoxRecord box;
    box.stringId = stringId;
    box.text = std::string(text);
    box.caption = std::string(caption);
    box.type = type;
    box.buttons = type & MB_TYPEMASK;
    box.icon = type & MB_ICONMASK;
    box.answer = Answer(box);
    m_messages.push_back(box);
    if (!box.error.empty())
        m_failures.push_back(box);
    if (m_messageObserver)
        m_messageObserver(box);
    return box.answer;
}

void Prompter::Help(std::string_view file, UINT command, ULONG_PTR data) {
    HelpCallRecord call{std::string(file), command, data};
    m_helpCalls.push_back(call);
    if (m_helpObserver)
        m_helpObserver(call);
}

void Prompter::QueueAnswer(int answer) {
    m_queue.push_back(answer);
}

size_t Prompter::PendingAnswers() const {
    return m_queue.size();
}

void Prompter::SetAnswerer(Answerer answerer) {
    m_answerer = std::move(answerer);
}

void Prompter::SetMessageObserver(MessageObserver observer) {
    m_messageObserver = std::move(observer);
}

void Prompter::SetHelpObserver(HelpObserver observer) {
    m_helpObserver = std::move(observer);
}

bool Prompter::TakeFailure(MessageBoxRecord* failed) {
    if (m_failures.empty()) {
        if (failed != nullptr)
            *failed = MessageBoxRecord();
        return false;
    }
    if (failed != nullptr)
        *failed = m_failures.front();
    m_failures.clear();
    return true;
}

void Prompter::Reset() {
    m_queue.clear();
    m_answerer = nullptr;
    m_messageObserver = nullptr;
    m_helpObserver = nullptr;
    m_messages.clear();
    m_helpCalls.clear();
    m_failures.clear();
    m_beeps = 0;
}

int PrompterShowMessage(int stringId, LPCSTR text, LPCSTR caption, UINT type) {
    return Prompter::Instance().ShowMessage(stringId, text == nullptr ? "" : text,
                                            caption == nullptr ? "Error" : caption, type);
}

int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT type) {
    return PrompterShowMessage(kNoStringId, text, caption, type);
}

BOOL WinHelpA(HWND /*owner*/, LPCSTR helpFile, UINT command, ULONG_PTR data) {
    Prompter::Instance().Help(helpFile == nullptr ? "" : helpFile, command, data);
    return TRUE;
}

BOOL MessageBeep(UINT /*type*/) {
    Prompter::Instance().Beep();
    return TRUE;
}

std::string AnswerName(int answer) {
    switch (answer) {
    case IDOK:
        return "ok";
    case IDCANCEL:
        return "cancel";
    case IDABORT:
        return "abort";
    case IDRETRY:
        return "retry";
    case IDIGNORE:
        return "ignore";
    case IDYES:
        return "yes";
    case IDNO:
        return "no";
    default:
        return "none";
    }
}

int AnswerFromName(std::string_view name) {
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO})
        if (AnswerName(id) == name)
            return id;
    return 0;
}

std::string FormatMessageLine(const MessageBoxRecord& box) {
    std::string line = "message ";
    line += box.stringId == kNoStringId ? std::string("-") : std::to_string(box.stringId);
    line += " | ";
    const std::string& text = box.text;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            line += "\\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            line += "\\n";
        } else {
            line += text[i];
        }
    }
    line += " | ";
    line += AnswerName(box.answer);
    return line;
}

std::string FormatHelpLine(const HelpCallRecord& call) {
    switch (call.command) {
    case HELP_CONTEXT:
    case HELP_CONTEXTPOPUP:
        return "help " + std::to_string(call.data);
    case HELP_FINDER:
        return "help finder";
    case HELP_INDEX:
        return "help index";
    case HELP_QUIT:
        return "help quit";
    case HELP_KEY:
        return "help key";
    default:
        return "help command " + std::to_string(call.command);
    }
}
