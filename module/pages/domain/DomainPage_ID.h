// The identification pages of an NT domain and an NT workgroup system: the object's name for reference and
// its "Description", which an identity with the Write right may edit.
#pragma once

#include "module/core/SnapinPage.h"
#include "platform/ui/window/Dialog.h"

// Dialog templates, controls and help contexts of the two pages.
constexpr UINT kIddDomainId = 112;
constexpr int kIdcDomainDescription = 1030;
constexpr int kIdcDomainName = 1027;
constexpr UINT kHelpDomainId = 14;
constexpr UINT kIddWsId = 116;
constexpr int kIdcWsDescription = 1044;
constexpr int kIdcWsName = 1042;
constexpr UINT kHelpWsId = 18;
// Tab title of every identification page.
constexpr UINT kIdsIdentificationTitle = 57382;
// A description the directory did not take: the object's name and the directory's code.
constexpr UINT kFmtDescriptionNotStored = 57501;
// WriteChanges of an identification page whose write the directory refused: the handler stops there and the
// host keeps the sheet open with the text the person typed.
constexpr LONG kDescriptionNotStored = -1;

// What the domain and workstation pages share; they differ in template, controls, help and the domain's
// colour handler.
class CSystemPage_ID : public CDialog, public CSnapinPage {
public:
    // Writes the description to `objectName` when the person changed it. Answers 0, or, when the directory
    // refuses the write, shows why and answers kDescriptionNotStored (the page stays modified).
    LONG WriteChanges(const char* objectName);
    BOOL OnInitDialog() override;
    BOOL Help() override { return ShowHelp(m_helpContext); }

    [[nodiscard]] BOOL IsModified() const { return m_modified; }

protected:
    CSystemPage_ID(UINT templateId, int descriptionId, int nameId, UINT helpContext);
    void DoDataExchange(CDataExchange* dx) override;
    // A page stays open on Enter and Escape; the sheet's buttons decide.
    void OnOK() override { DefWindowProc(WM_COMMAND, IDOK, 0); }
    void OnCancel() override { DefWindowProc(WM_COMMAND, IDCANCEL, 0); }
    void OnDescriptionChange();

private:
    BOOL m_modified = FALSE;
    CString m_description;
    CString m_objectName;
    int m_descriptionId;
    int m_nameId;
    UINT m_helpContext;
};

class CDomainPage_ID : public CSystemPage_ID {
public:
    CDomainPage_ID();
    DLGPROC GetDialogProc() override;

protected:
    // Disabled fields stay legible: light grey behind window-text letters.
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT ctlColor) override;
    DECLARE_MESSAGE_MAP()
};

class CWSPage_ID : public CSystemPage_ID {
public:
    CWSPage_ID();
    DLGPROC GetDialogProc() override;

protected:
    DECLARE_MESSAGE_MAP()
};
