// The creation dialogs of the six KEL: classes (host message 258): the administrator names the new object,
// and OK adds it to the directory below the parent container the host gave. The family shares check
// boxes 1002 ("define additional properties") and 1003 ("create another"), which exclude each other, and an
// OK button that stays disabled while the name is empty. This file holds the family and the four members
// that are only a name; the NT user and the hybrid user have files of their own.
#pragma once

#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/Dialog.h"

// Ids every member of the family shares.
constexpr int kIdcCreateDefineMore = 1002;
constexpr int kIdcCreateAnother = 1003;

class CCreateObjectDlg : public CDialog {
public:
    ~CCreateObjectDlg() override;

    void SetParentContainer(const char* parent) { m_parent = parent; }

    // Member order as the family keeps it: the two check boxes, the name, (the member's own fields), the
    // parent container, the full name (name "." parent, built on OK).
    int m_defineMore = 0;
    int m_createAnother = 0;
    CString m_name;

    [[nodiscard]] const CString& ParentContainer() const { return m_parent; }
    [[nodiscard]] const CString& FullName() const { return m_fullName; }

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnHelp() override;

protected:
    // helpContext 0: the dialog has no help section and says so in a message box.
    CCreateObjectDlg(UINT templateId, const char* className, int nameId, int nameMaxChars,
                     unsigned helpContext, CWnd* parent);

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // The member's attributes of the add request, after "Object Class"; the client's code.
    virtual int32_t PutAttributes(int32_t /*ctx*/, DirBuffer* /*request*/) { return kDirOk; }
    // The member's work once the object exists; failures are shown and the object stays.
    virtual void AfterAdd(int32_t /*ctx*/) {}

    // OK follows the name: enabled only while it is not empty.
    void EnableOkByName();

    void OnDefineMoreClicked();
    void OnCreateAnotherClicked();
    DECLARE_MESSAGE_MAP()

    CString m_parent;
    CString m_fullName;

private:
    // Each box, while set, keeps the other one cleared and disabled.
    void ExcludeBoxes();

    const char* m_className;
    int m_nameId;
    int m_nameMaxChars;
    unsigned m_helpContext;
};

class CCreateDomainDlg : public CCreateObjectDlg {
public:
    explicit CCreateDomainDlg(CWnd* parent = nullptr);
};

class CCreateWSDlg : public CCreateObjectDlg {
public:
    explicit CCreateWSDlg(CWnd* parent = nullptr);
};

class CCreateGlobalGroupDlg : public CCreateObjectDlg {
public:
    explicit CCreateGlobalGroupDlg(CWnd* parent = nullptr);
};

class CCreateLocalGroupDlg : public CCreateObjectDlg {
public:
    explicit CCreateLocalGroupDlg(CWnd* parent = nullptr);
};

// The handler's side of a creation, shared by the six handlers. offerUploadSwitch names the registry
// switch ("CreateNTUser" ...) of the classes that first offer to upload an NT system that holds no objects
// yet, or is null. outName is the host's 514-byte buffer. Answers -1 (cancelled or refused, buffer left
// alone), 3 (created, 1003 set), 2 (created, 1002 set) or 0 (created).
LONG RunCreation(CCreateObjectDlg& dialog, const char* parent, const char* offerUploadSwitch, char* outName);

// The registry switch in HKEY_CURRENT_USER "Software\Corvane\Parameters\KelNTSnapIn" that lets objects be
// created in an NT system that was not uploaded: a 32-bit value that is not 0.
bool CreationSwitchOn(const char* valueName);
