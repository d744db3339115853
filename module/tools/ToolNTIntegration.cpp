#include "module/tools/ToolNTIntegration.h"

#include "host/services/Host.h"
#include "module/core/IntegrationSettings.h"
#include "module/core/SnapinIds.h"
#include "module/core/SnapinModule.h"
#include "module/tools/ToolIds.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"

namespace {

CToolNTIntegration* g_tool = nullptr;

constexpr const char* kSection = "Integration";
constexpr const char* kRequestPrefix = "~AI";
constexpr UINT kStartedThreshold = 32;

CSnapinTool* MakeTool() {
    return new CToolNTIntegration();
}
const SnapinToolRegistrar kRegistrar(&MakeTool);

} // namespace

CToolNTIntegration::CToolNTIntegration() : CSnapinTool("ListMenu", kIdsToolMenuText, kIdsToolStatusText) {}

CToolNTIntegration::~CToolNTIntegration() {
    if (g_tool == this) {
        g_tool = nullptr;
    }
}

CToolNTIntegration* CToolNTIntegration::Current() {
    return g_tool;
}

void CToolNTIntegration::Attach() {
    g_tool = this;
    m_menuValid = &CToolNTIntegration::MenuValid;
    m_menuAction = &CToolNTIntegration::MenuAction;
}

unsigned int CToolNTIntegration::IsUnavailable() {
    return ReadIntegrationSettings(kProgramNameMenuSize).Usable() ? kMenuEnabled : kMenuGrayed;
}

void __stdcall CToolNTIntegration::MenuValid(unsigned int* state) {
    if (state == nullptr) {
        return;
    }
    *state = g_tool == nullptr ? kMenuGrayedDisabled : g_tool->IsUnavailable();
}

void __stdcall CToolNTIntegration::MenuAction() {
    if (g_tool != nullptr) {
        g_tool->RunRequest("");
    }
}

std::string BuildIntegrationCommandLine(const std::string& program, const std::string& requestFile) {
    std::string line = QuoteCommandLineArg(program) + " ";
    if (program.find("Note") != std::string::npos) {
        return line + QuoteCommandLineArg(requestFile);
    }
    return line + QuoteCommandLineArg("/f:" + requestFile);
}

unsigned StartFailureFormat(UINT answer) {
    switch (answer) {
    case 0:
        return kIdsStartOutOfResources;
    case ERROR_FILE_NOT_FOUND:
        return kIdsStartFileNotFound;
    case ERROR_PATH_NOT_FOUND:
        return kIdsStartPathNotFound;
    case ERROR_BAD_FORMAT:
        return kIdsStartBadFormat;
    default:
        return kIdsStartFailed;
    }
}

bool FitsRequestFile(const char* name) {
    for (const char* c = name; c != nullptr && *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

LONG CToolNTIntegration::RunRequest(const char* objectName) {
    return Request(objectName) == RequestOutcome::Started ? 1 : 0;
}

LONG CToolNTIntegration::Upload(const char* container) {
    switch (Request(container)) {
    case RequestOutcome::Started:
        return 1;
    case RequestOutcome::NotSetUp:
        AfxMessageBox(kIdsUploadNotSetUp, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    case RequestOutcome::Refused:
        break;
    }
    return 0;
}

CToolNTIntegration::RequestOutcome CToolNTIntegration::Request(const char* objectName) {
    HostSelectionRecord selection{};
    char selectionBuffer[kSelectionBufferSize] = {};
    (void)HostGetSelection(&selection, selectionBuffer);
    selection.treeName[sizeof selection.treeName - 1] = '\0';
    for (const char* name : {static_cast<const char*>(selection.treeName), objectName}) {
        if (!FitsRequestFile(name)) {
            FormatMessageBox(kIdsRequestNameRefused, MB_OK | MB_ICONEXCLAMATION, {std::string_view(name)});
            return RequestOutcome::Refused;
        }
    }

    char tempPath[MAX_PATH + 1] = {};
    char requestFile[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, tempPath);
    if (length == 0 || length > MAX_PATH) {
        tempPath[0] = '\0';
    }
    // Without a request file the utility would be started with nothing to read: the administrator is told
    // instead, and nothing is started.
    if (tempPath[0] == '\0' || GetTempFileNameA(tempPath, kRequestPrefix, 0, requestFile) == 0) {
        FormatMessageBox(kIdsRequestFileFailed, MB_OK | MB_ICONEXCLAMATION, {std::string_view(tempPath)});
        return RequestOutcome::Refused;
    }

    // The request file stays the application's profile file while the module is loaded.
    if (CWinApp* app = AfxGetApp()) {
        app->SetProfileName(requestFile);
    }
    bool written =
        WritePrivateProfileStringA(kSection, "TreeName", selection.treeName, requestFile) &&
        WritePrivateProfileStringA(kSection, "Context", "[Root]", requestFile) &&
        WritePrivateProfileStringA(kSection, "ObjectName", objectName ? objectName : "", requestFile) &&
        WritePrivateProfileStringA(kSection, "Request", "Upload", requestFile) &&
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, requestFile);
    if (!written) {
        FormatMessageBox(kIdsRequestFileFailed, MB_OK | MB_ICONEXCLAMATION, {std::string_view(tempPath)});
        return RequestOutcome::Refused;
    }

    IntegrationSettings settings = ReadIntegrationSettings(kProgramNameRequestSize);
    // An empty program name is no set-up either: starting "" could only fail with a message naming nothing.
    if (!settings.Usable()) {
        return RequestOutcome::NotSetUp;
    }

    std::string commandLine = BuildIntegrationCommandLine(settings.programName, requestFile);
    UINT answer = WinExec(commandLine.c_str(), settings.showWindow);
    if (answer < kStartedThreshold) {
        FormatMessageBox(StartFailureFormat(answer), MB_OK | MB_ICONEXCLAMATION,
                         {std::string_view(settings.programName), static_cast<int64_t>(answer)});
    }
    return RequestOutcome::Started;
}
