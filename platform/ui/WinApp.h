// The application object and the process-wide state the framework keeps beside it: the current resource
// library, from which every string, template and bitmap lookup is made.
#pragma once

#include "platform/ui/Object.h"
#include "platform/ui/UiTypes.h"

#include <string>

class CWinApp : public CObject {
public:
    // The first application object constructed becomes AfxGetApp() until it is destroyed.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up work; an answer of 0 refuses the load.
    virtual BOOL InitInstance();
    virtual int ExitInstance();

    [[nodiscard]] const char* GetAppName() const { return m_appName.c_str(); }
    // The help file of every help call; "" until set.
    [[nodiscard]] const char* GetHelpFilePath() const { return m_helpFilePath.c_str(); }
    void SetHelpFilePath(const char* path) { m_helpFilePath = path ? path : ""; }
    // The file that profile writes of the application go to; "" until set.
    [[nodiscard]] const char* GetProfileName() const { return m_profileName.c_str(); }
    void SetProfileName(const char* path) { m_profileName = path ? path : ""; }

    // Help with the application's help file (HELP_CONTEXT: data is the context number).
    void WinHelp(ULONG_PTR data, UINT command = HELP_CONTEXT);

private:
    std::string m_appName;
    std::string m_helpFilePath;
    std::string m_profileName;
};

// Null when no application object exists.
CWinApp* AfxGetApp();
// The library that resource lookups use; null until set.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);
