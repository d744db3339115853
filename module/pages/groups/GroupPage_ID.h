// The identification pages of an NT global group and an NT local group: the group's name for reference and
// its "Description", which an identity with the Write right may edit.
#pragma once

#include "module/pages/IdentificationPage.h"

constexpr UINT kIddGlobalGroupId = 123;
constexpr int kIdcGlobalGroupDescription = 1060;
constexpr int kIdcGlobalGroupName = 1058;
constexpr UINT kHelpGlobalGroupId = 22;
constexpr UINT kIddLocalGroupId = 126;
constexpr int kIdcLocalGroupDescription = 1220;
constexpr int kIdcLocalGroupName = 1221;
constexpr UINT kHelpLocalGroupId = 25;

// What the two group pages share; they differ in template, controls and help.
class CGroupPage_ID : public CIdentificationPage {
public:
    // Writes the description to the group the page loaded, when the person changed it and may write it.
    // Answers 0, or, when the directory refuses the write, shows why and answers kDescriptionNotStored (the
    // page stays modified).
    LONG WriteChanges(const char* objectName);
    BOOL OnInitDialog() override;

protected:
    using CIdentificationPage::CIdentificationPage;
    void OnDescriptionChange();

private:
    void SetDescriptionWritable(BOOL writable);

    BOOL m_descriptionWritable = FALSE;
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
