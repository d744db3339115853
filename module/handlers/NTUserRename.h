// Renaming an NT user: a dialog asks for the new name, and the module renames the object itself so that
// the NT name limit is kept.
#pragma once

#include "platform/ui/window/Dialog.h"

// The host's buffer for the new name of a rename (message 261).
constexpr size_t kRenameBufferBytes = 514;

// The rename dialog (template 1090): the new leaf name (edit 1005, at most 20 NT characters) and whether the
// user's "CN" keeps the old name (check box 1009). OK renames the object; a name the directory refuses is
// shown and the dialog stays open, so the person can correct it or cancel.
class CRenameNTUserDlg : public CDialog {
public:
    // objectName is the user's full name; the dialog starts with its leaf.
    CRenameNTUserDlg(int32_t ctx, const char* objectName, CWnd* parent = nullptr);

    // The new leaf as typed (after IDOK: as the directory now names the object).
    CString m_newName;
    // 1: the "CN" value keeps the old name; 0: it takes the new one.
    int m_keepOldName = 0;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnHelp() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnNameChange();
    void OnHelpButton();
    // At most the NT limit of characters can be typed, escaping backslashes not counted.
    void LimitToNtName();
    DECLARE_MESSAGE_MAP()

private:
    int32_t m_ctx;
    CString m_objectName;
};

// The work of CKelNTUser::OnRenameObject (host message 261). name is the user's full name; outNewLeaf the
// host's zeroed buffer of kRenameBufferBytes bytes. Answers 0 with the new leaf in outNewLeaf when the
// object was renamed, -1 (buffer left empty) when the person cancelled.
long RenameNTUser(const char* name, char* outNewLeaf);
