// The creation dialogs of the two account classes that carry more than a name: the NT user (full name and
// an optional template) and the hybrid user (the directory user it belongs to).
#pragma once

#include "module/handlers/CreateObjectDlg.h"

// Template 131. After the add the user joins the NT system's default group, which becomes its primary
// group, and with "use template" (110) set and a template named takes the template's NT settings, groups
// and logon hours.
class CCreateNTUserDlg : public CCreateObjectDlg {
public:
    explicit CCreateNTUserDlg(CWnd* parent = nullptr);

    CString m_userFullName;
    int m_useTemplate = 0;
    CString m_template;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    int32_t PutAttributes(int32_t ctx, DirBuffer* request) override;
    void AfterAdd(int32_t ctx) override;
    void OnBrowseTemplate();
    DECLARE_MESSAGE_MAP()

private:
    void JoinDefaultGroup(int32_t ctx);
    void ApplyTemplate(int32_t ctx);
};

// Template 145. The account names its directory user in its add request; the user's NT accounts list the
// account once it exists.
class CCreateHybridUserDlg : public CCreateObjectDlg {
public:
    explicit CCreateHybridUserDlg(CWnd* parent = nullptr);

    CString m_user;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    int32_t PutAttributes(int32_t ctx, DirBuffer* request) override;
    void AfterAdd(int32_t ctx) override;
    void OnBrowseUser();
    DECLARE_MESSAGE_MAP()
};

// The surname an NT user's full name gives: the text after its last space, or all of it.
CString SurnameOf(const CString& fullName);
