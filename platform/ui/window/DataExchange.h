// Data exchange between a dialog's members and its controls. Putting members into controls notifies
// nobody; taking values in refuses what does not parse, tells the person with the platform's message and
// leaves the focus in the field (the member keeps its earlier value).
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/window/Messages.h"

class CWnd;

// The platform's texts for a refused field, by string id in the resource library. When a library lacks
// one, a built-in text of the same meaning is shown under the same id.
constexpr UINT kIdsParseInt = 61712;        // "Please enter an integer."
constexpr UINT kIdsParseReal = 61713;       // "Please enter a number."
constexpr UINT kIdsParseIntRange = 61714;   // "Please enter an integer between %1 and %2."
constexpr UINT kIdsParseStringSize = 61715; // "Please enter no more than %1 characters."
constexpr UINT kIdsParseUint = 61718;       // "Please enter a positive integer."

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

    // Makes control `id` the one that a following refusal points at; answers its handle.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Puts the focus back into the last prepared control and ends the exchange: every later call on this
    // exchange does nothing, and UpdateData answers FALSE.
    void Fail();
    [[nodiscard]] bool Failed() const { return m_failed; }
    [[nodiscard]] HWND LastControl() const { return m_lastControl; }

private:
    bool m_failed = false;
    HWND m_lastControl = nullptr;
    bool m_lastIsEdit = false;
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, unsigned long& value);
void DDX_Text(CDataExchange* dx, int id, short& value);
void DDX_Text(CDataExchange* dx, int id, BYTE& value);
// The check state: 0, 1 (or 2 for an indeterminate box).
void DDX_Check(CDataExchange* dx, int id, int& value);
// `id` is the first radio button of a group: value is the index of the checked one in the group, -1 none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
// Binds `control` to the dialog's control `id` (subclassing it) the first time.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// Taking values in: a text longer than `count` characters is refused. Putting members in: limits typing.
void DDV_MaxChars(CDataExchange* dx, const CString& value, int count);
void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum);
