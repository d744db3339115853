// The identification pages of an NT global group and an NT local group: the group's name for reference and
// its "Description", which an identity with the Write right may edit.
#pragma once

#include "module/core/SnapinPage.h"
#include "platform/ui/window/Dialog.h"

constexpr UINT kIddGlobalGroupId = 123;
constexpr int kIdcGlobalGroupDescription = 1060;
constexpr int kIdcGlobalGroupName = 1058;
constexpr UINT kHelpGlobalGroupId = 22;
constexpr UINT kIddLocalGroupId = 126;
constexpr int kIdcLocalGroupDescription = 1220;
constexpr int kIdcLocalGroupName = 1221;
constexpr UINT kHelpLocalGroupId = 25;

// What the two group pages share; they differ in template, controls and help.
class CGroupPage_ID : public CDialog, public CSnapinPage {
public:
    // Writes the description to the group the page loaded, when the person changed it and may write it.
    // Answers 0, or, when the directory refuses the write, shows why and answers kDescriptionNotStored (the
    // page stays modified).
    LONG WriteChanges(const char* objectName);
    BOOL OnInitDialog() override;
    BOOL Help() override { return ShowHelp(m_helpContext); }

    [[nodiscard]] BOOL IsModified() const { return m_modified; }

protected:
    CGroupPage_ID(UINT templateId, int descriptionId, int nameId, UINT helpContext);
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override { DefWindowProc(WM_COMMAND, IDOK, 0); }
    void OnCancel() override { DefWindowProc(WM_COMMAND, IDCANCEL, 0); }
    void OnDescriptionChange();

private:
    void SetDescriptionWritable(BOOL writable);

    BOOL m_modified = FALSE;
    BOOL m_descriptionWritable = FALSE;
    CString m_description;
    CString m_objectName;
    int m_descriptionId;
    int m_nameId;
    UINT m_helpContext;
};

class CGlobalGroupPage_ID : public CGroupPage_ID {
public:
    CGlobalGroupPage_ID();
    DLGPROC GetDialogProc() override;

protected:
    DECLARE_MESSAGE_MAP()
};

class CLocalGroupPage_ID : public CGroupPage_ID {
public:
    CLocalGroupPage_ID();
    DLGPROC GetDialogProc() override;

protected:
    DECLARE_MESSAGE_MAP()
};
