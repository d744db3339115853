// CDialog: a dialog built from a template of the current resource library, modeless (Create) or modal
// (DoModal, which asks the UI driver for each action of the person until EndDialog), with data exchange
// between members and controls.
#pragma once

#include "platform/ui/window/DataExchange.h"
#include "platform/ui/window/Wnd.h"

class CDialog : public CWnd {
public:
    // No template: the host or a sheet creates the window (pages), or Create names one later.
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}
    ~CDialog() override;

    // A modeless dialog from template `templateId` under `parent`.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Runs the dialog modally and answers what EndDialog was given: IDOK, IDCANCEL ...; -1 when the
    // template is missing or the driver had no action for it (the window is then destroyed).
    virtual INT_PTR DoModal();
    void EndDialog(int result);
    [[nodiscard]] UINT GetTemplateId() const { return m_templateId; }

    // Members to controls (FALSE) or controls to members (TRUE). Taking values in stops at the first field
    // that refuses, after telling the person why; answers FALSE then.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnHelp() {}
    void NextDlgCtrl() const {}
    void GotoDlgCtrl(CWnd* control);

protected:
    virtual void DoDataExchange(CDataExchange* /*dx*/) {}
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    UINT m_templateId = 0;
    CWnd* m_parent = nullptr;
};
