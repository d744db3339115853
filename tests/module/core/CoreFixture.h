// A fresh world for each module-core test: an empty in-memory registry, a fresh host and prompter, the
// locale library's defaults, and no handler or tool factories.
#pragma once

#include "module/core/SnapinClass.h"
#include "module/core/SnapinModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

void SetRegistryString(HKEY root, const char* keyPath, const char* name, const std::string& value);
void SetRegistryDword(HKEY root, const char* keyPath, const char* name, DWORD value);
void MakeRegistryKey(HKEY root, const char* keyPath);

// A page with nothing but what a handler hands to the host.
class CTestPage : public CSnapinPage {
public:
    CTestPage(const char* title, UINT templateId) : CSnapinPage(title, templateId, this) {}
    DLGPROC GetDialogProc() override { return &DialogProc; }
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
};

// A handler that records each operation it is asked for ("name|op|arg|arg") and answers 100 + its slot.
class CTestHandler : public CSnapinClass {
public:
    explicit CTestHandler(const char* className, const char* displayName = nullptr);
    ~CTestHandler() override;

    LONG OnInitClass() override;
    LONG OnCloseClass() override;
    LONG GetPage(const char* name, unsigned long index, SnapPageRecord* record) override;
    LONG GetPageCount() override;
    LONG OnCreateObject(const char* name, unsigned long param1) override;
    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    LONG OnRenameObject(const char* name, unsigned long param1) override;
    LONG OnQueryDelete(const char* name) override;
    LONG OnQueryCopy(const char* name) override;
    LONG OnQueryMove(const char* name) override;
    LONG OnEndPages(unsigned long param1) override;
    LONG OnIgnored274(const char* name) override;
    LONG OnNotifyMove(const char* name, unsigned long from, unsigned long to) override;
    LONG OnNotifyRename(const char* name, unsigned long param1) override;
    LONG OnIgnored277(const char* name) override;
    LONG OnApplyTemplate(const char* name, unsigned long param1) override;
    SnapCallBack GetCallBack() override { return m_callBack; }

    void SetCallBack(SnapCallBack callBack) { m_callBack = callBack; }
    // What the handler saw as the current object name when it answered SNAP_GET_PAGE_COUNT.
    std::string nameAtPageCount;

    static std::vector<std::string> calls;
    static std::vector<std::string> destroyed;

private:
    LONG Record(const std::string& what, LONG answer);
    SnapCallBack m_callBack = nullptr;
};

// Exported CallBacks of two test classes, on the domain's and the user's latch.
long __stdcall DomainLatchCallBack(char* name, unsigned short message, unsigned long param1,
                                   unsigned long param2);
long __stdcall UserLatchCallBack(char* name, unsigned short message, unsigned long param1,
                                 unsigned long param2);
