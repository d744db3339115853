// The page interface every property page carries beside its dialog: what a class handler needs to describe
// the page to the host (its dialog procedure, template, title and parameter) and the host's validate and
// help requests.
#pragma once

#include "platform/ui/String.h"
#include "platform/ui/UiTypes.h"

class CSnapinPage {
public:
    // titleId is a string of the current resource library; the page parameter is the page object itself,
    // handed back to the dialog procedure when the host creates the page's dialog.
    CSnapinPage(UINT titleId, UINT templateId, void* pageParam);
    CSnapinPage(const char* title, UINT templateId, void* pageParam);
    virtual ~CSnapinPage() = default;
    CSnapinPage(const CSnapinPage&) = delete;
    CSnapinPage& operator=(const CSnapinPage&) = delete;

    // The page class's own static dialog procedure.
    virtual DLGPROC GetDialogProc() = 0;
    // Answers of the host's validate (1313) and help (1337) requests; 1 by default.
    virtual BOOL Validate() { return TRUE; }
    virtual BOOL Help() { return TRUE; }

    [[nodiscard]] const char* GetTitle() const { return m_title; }
    [[nodiscard]] UINT GetTemplateId() const { return m_templateId; }
    [[nodiscard]] void* GetPageParam() const { return m_pageParam; }

private:
    CString m_title;
    UINT m_templateId;
    void* m_pageParam;
};
