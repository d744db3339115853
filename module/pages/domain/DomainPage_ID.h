// The identification pages of an NT domain and an NT workgroup system: the object's name for reference and
// its "Description", which an identity with the Write right may edit.
#pragma once

#include "module/pages/IdentificationPage.h"

// Dialog templates, controls and help contexts of the two pages.
constexpr UINT kIddDomainId = 112;
constexpr int kIdcDomainDescription = 1030;
constexpr int kIdcDomainName = 1027;
constexpr UINT kHelpDomainId = 14;
constexpr UINT kIddWsId = 116;
constexpr int kIdcWsDescription = 1044;
constexpr int kIdcWsName = 1042;
constexpr UINT kHelpWsId = 18;
// What the domain and workstation pages share; they differ in template, controls, help and the domain's
// colour handler.
class CSystemPage_ID : public CIdentificationPage {
public:
    // Writes the description to `objectName` when the person changed it. Answers 0, or, when the directory
    // refuses the write, shows why and answers kDescriptionNotStored (the page stays modified).
    LONG WriteChanges(const char* objectName);
    BOOL OnInitDialog() override;

protected:
    using CIdentificationPage::CIdentificationPage;
    void OnDescriptionChange();
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
