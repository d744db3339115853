#include "platform/ui/WinApp.h"

namespace {
CWinApp* g_app = nullptr;
HINSTANCE g_resourceHandle = nullptr;
} // namespace

CWinApp::CWinApp(const char* appName) : m_appName(appName ? appName : "") {
    if (g_app == nullptr) {
        g_app = this;
    }
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

void CWinApp::WinHelp(ULONG_PTR data, UINT command) {
    WinHelpA(nullptr, m_helpFilePath.c_str(), command, data);
}

CWinApp* AfxGetApp() {
    return g_app;
}

HINSTANCE AfxGetResourceHandle() {
    return g_resourceHandle;
}

void AfxSetResourceHandle(HINSTANCE instance) {
    g_resourceHandle = instance;
}
