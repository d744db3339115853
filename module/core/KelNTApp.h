// The module's application object: it exists from the module's load to its unload, finds and loads the
// resource library of the user's language when the module starts, and is the module object the host talks to.
#pragma once

#include "module/core/SnapinModule.h"
#include "platform/ui/WinApp.h"

#include <cstdint>

constexpr size_t kLocaleRecordSize = 128;

class CKelNTApp : public CWinApp, public CSnapinModule {
public:
    CKelNTApp();
    ~CKelNTApp() override;

    // Chooses the language, loads its resource library (or one by plain name from the library search path),
    // makes it the current resource library, checks the locale library and sets the help file. Answers 0
    // only when no resource library could be loaded: the module does not start.
    BOOL InitInstance() override;

    [[nodiscard]] HINSTANCE GetResourceLibraryHandle() const { return m_resourceLibrary; }
    [[nodiscard]] const unsigned char* GetLocaleRecord() const { return m_localeRecord; }

protected:
    HINSTANCE ResourceLibrary() const override { return m_resourceLibrary; }
    LONG FreeResourceLibrary() override;

private:
    unsigned char m_localeRecord[kLocaleRecordSize] = {};
    HINSTANCE m_resourceLibrary = nullptr;
};

// The message shown when no resource library can be found.
constexpr const char* kNoResourceLibraryText = "The resource library \"rckelnt.so\" could not be found.";
