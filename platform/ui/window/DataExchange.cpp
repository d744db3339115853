#include "platform/ui/window/DataExchange.h"

#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "platform/ui/window/Wnd.h"
#include "platform/winapi/Prompter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

const char* BuiltInText(UINT id) {
    switch (id) {
    case kIdsParseInt:
        return "Please enter an integer.";
    case kIdsParseReal:
        return "Please enter a number.";
    case kIdsParseIntRange:
        return "Please enter an integer between %1 and %2.";
    case kIdsParseStringSize:
        return "Please enter no more than %1 characters.";
    case kIdsParseUint:
        return "Please enter a positive integer.";
    default:
        return "";
    }
}

// The platform's refusal box: its text from the resource library (or the built-in one) with %1 and %2
// filled, an exclamation icon and an OK button.
void ShowRefusal(UINT id, const std::string& first = {}, const std::string& second = {}) {
    CString format;
    if (!format.LoadString(id)) {
        format = BuiltInText(id);
    }
    std::string text;
    const std::string& source = format.Str();
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '%' && i + 1 < source.size() && (source[i + 1] == '1' || source[i + 1] == '2')) {
            text += source[i + 1] == '1' ? first : second;
            ++i;
        } else {
            text += source[i];
        }
    }
    CWinApp* app = AfxGetApp();
    PrompterShowMessage(static_cast<int>(id), text.c_str(),
                        app && app->GetAppName()[0] ? app->GetAppName() : "KELNT",
                        MB_OK | MB_ICONEXCLAMATION);
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A signed number in range, or nothing: an empty field, trailing letters and overflow all refuse.
bool ParseSigned(const std::string& raw, long long minimum, long long maximum, long long* value) {
    std::string text = Trimmed(raw);
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < minimum || parsed > maximum) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseUnsigned(const std::string& raw, unsigned long long maximum, unsigned long long* value) {
    std::string text = Trimmed(raw);
    // strtoull would take "-1" as a huge positive number.
    if (text.empty() || text[0] == '-') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed > maximum) {
        return false;
    }
    *value = parsed;
    return true;
}

template <typename T>
void ExchangeSigned(CDataExchange* dx, int id, T& value, long long minimum, long long maximum) {
    if (dx->Failed()) {
        return;
    }
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        SetWindowTextA(control, std::to_string(static_cast<long long>(value)).c_str());
        return;
    }
    long long parsed = 0;
    if (!ParseSigned(GetWindowTextString(control), minimum, maximum, &parsed)) {
        ShowRefusal(kIdsParseInt);
        dx->Fail();
        return;
    }
    value = static_cast<T>(parsed);
}

template <typename T> void ExchangeUnsigned(CDataExchange* dx, int id, T& value, unsigned long long maximum) {
    if (dx->Failed()) {
        return;
    }
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        SetWindowTextA(control, std::to_string(static_cast<unsigned long long>(value)).c_str());
        return;
    }
    unsigned long long parsed = 0;
    if (!ParseUnsigned(GetWindowTextString(control), maximum, &parsed)) {
        ShowRefusal(kIdsParseUint);
        dx->Fail();
        return;
    }
    value = static_cast<T>(parsed);
}

size_t CountCharacters(const std::string& text) {
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

} // namespace

HWND CDataExchange::PrepareCtrl(int id) {
    m_lastControl = GetDlgItem(m_pDlgWnd ? m_pDlgWnd->m_hWnd : nullptr, id);
    m_lastIsEdit = false;
    return m_lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    PrepareCtrl(id);
    m_lastIsEdit = true;
    return m_lastControl;
}

void CDataExchange::Fail() {
    m_failed = true;
    if (m_bSaveAndValidate && m_lastControl != nullptr) {
        SetFocus(m_lastControl);
        if (m_lastIsEdit) {
            SendMessageA(m_lastControl, EM_SETSEL, 0, -1);
        }
    }
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
    if (dx->Failed()) {
        return;
    }
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = CString(GetWindowTextString(control));
    } else {
        SetWindowTextA(control, value);
    }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
    ExchangeSigned(dx, id, value, INT_MIN, INT_MAX);
}
void DDX_Text(CDataExchange* dx, int id, long& value) {
    ExchangeSigned(dx, id, value, LONG_MIN, LONG_MAX);
}
void DDX_Text(CDataExchange* dx, int id, short& value) {
    ExchangeSigned(dx, id, value, SHRT_MIN, SHRT_MAX);
}
void DDX_Text(CDataExchange* dx, int id, UINT& value) {
    ExchangeUnsigned(dx, id, value, UINT_MAX);
}
void DDX_Text(CDataExchange* dx, int id, unsigned long& value) {
    ExchangeUnsigned(dx, id, value, ULONG_MAX);
}
void DDX_Text(CDataExchange* dx, int id, BYTE& value) {
    ExchangeUnsigned(dx, id, value, UCHAR_MAX);
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) {
        return;
    }
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        SendMessageA(control, BM_SETCHECK,
                     static_cast<WPARAM>(value == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED), 0);
    }
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
    if (dx->Failed()) {
        return;
    }
    HWND first = dx->PrepareCtrl(id);
    HWND dialog = GetParent(first);
    if (first == nullptr) {
        return;
    }
    // The group runs from `id` to the control before the next one that starts a group; only radio buttons
    // count, so a label inside the group does not shift the indices.
    std::vector<HWND> siblings = GetChildWindows(dialog);
    auto at = std::find(siblings.begin(), siblings.end(), first);
    std::vector<HWND> group;
    for (auto it = at; it != siblings.end(); ++it) {
        if (it != at && (GetControlStyles(*it) & kRcStyleGroup) != 0) {
            break;
        }
        if (GetControlKind(*it) == kRcRadio) {
            group.push_back(*it);
        }
    }
    if (dx->m_bSaveAndValidate) {
        value = -1;
        for (size_t i = 0; i < group.size(); ++i) {
            if (SendMessageA(group[i], BM_GETCHECK, 0, 0) == BST_CHECKED) {
                value = static_cast<int>(i);
                break;
            }
        }
    } else {
        for (size_t i = 0; i < group.size(); ++i) {
            SendMessageA(group[i], BM_SETCHECK, static_cast<int>(i) == value ? BST_CHECKED : BST_UNCHECKED,
                         0);
        }
    }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx->Failed() || control.m_hWnd != nullptr) {
        return;
    }
    HWND window = dx->PrepareCtrl(id);
    control.SubclassWindow(window);
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int count) {
    if (dx->Failed()) {
        return;
    }
    if (!dx->m_bSaveAndValidate) {
        // Putting the value in also limits what can be typed into the field just exchanged.
        if (dx->LastControl() != nullptr && GetControlKind(dx->LastControl()) == kRcEdit) {
            SendMessageA(dx->LastControl(), EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
        }
        return;
    }
    if (static_cast<int>(CountCharacters(value.Str())) > count) {
        ShowRefusal(kIdsParseStringSize, std::to_string(count));
        dx->Fail();
    }
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum) {
    if (dx->Failed() || !dx->m_bSaveAndValidate) {
        return;
    }
    if (value < minimum || value > maximum) {
        ShowRefusal(kIdsParseIntRange, std::to_string(minimum), std::to_string(maximum));
        dx->Fail();
    }
}
