#include "CoreFixture.h"

#include "host/services/HostServices.h"
#include "platform/locale/Locale.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/Prompter.h"

#include <cstring>

std::vector<std::string> CTestHandler::calls;
std::vector<std::string> CTestHandler::destroyed;

void CoreTest::SetUp() {
    RegistryUseMemory();
    HostServices::Instance().Reset();
    Prompter::Instance().Reset();
    LocResetTestHooks();
    CTestHandler::calls.clear();
    CTestHandler::destroyed.clear();
    for (size_t i = 0; i < kSnapinClassCount; ++i) {
        SetSnapinClassFactory(static_cast<SnapinClassSlot>(i), nullptr);
    }
    SetSnapinToolFactory(nullptr);
}

void CoreTest::TearDown() {
    for (size_t i = 0; i < kSnapinClassCount; ++i) {
        SetSnapinClassFactory(static_cast<SnapinClassSlot>(i), nullptr);
    }
    SetSnapinToolFactory(nullptr);
    HostServices::Instance().Reset();
    Prompter::Instance().Reset();
    LocResetTestHooks();
    AfxSetResourceHandle(nullptr);
    RegistryUseMemory();
}

void MakeRegistryKey(HKEY root, const char* keyPath) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRegistryString(HKEY root, const char* keyPath, const char* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetRegistryDword(HKEY root, const char* keyPath, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

CTestHandler::CTestHandler(const char* className, const char* displayName)
    : CSnapinClass("DS", className, displayName, nullptr, nullptr, nullptr) {}

CTestHandler::~CTestHandler() {
    destroyed.push_back(m_className);
}

LONG CTestHandler::Record(const std::string& what, LONG answer) {
    calls.push_back(m_className + "|" + what);
    return answer;
}

static std::string N(const char* name) {
    return name ? name : "(null)";
}

LONG CTestHandler::OnInitClass() {
    return Record("OnInitClass", 1);
}
LONG CTestHandler::OnCloseClass() {
    return Record("OnCloseClass", 2);
}
LONG CTestHandler::GetPage(const char* name, unsigned long index, SnapPageRecord* record) {
    Record("GetPage|" + N(name) + "|" + std::to_string(index), 0);
    return CSnapinClass::GetPage(name, index, record);
}
LONG CTestHandler::GetPageCount() {
    nameAtPageCount = GetCurrentObjectName();
    return Record("GetPageCount", CSnapinClass::GetPageCount());
}
LONG CTestHandler::OnCreateObject(const char* name, unsigned long p1) {
    return Record("OnCreateObject|" + N(name) + "|" + std::to_string(p1), 5);
}
LONG CTestHandler::GetClassFlags(const char* name) {
    return Record("GetClassFlags|" + N(name), 6);
}
LONG CTestHandler::OnApplyPages(const char* name) {
    return Record("OnApplyPages|" + N(name), 7);
}
LONG CTestHandler::OnRenameObject(const char* name, unsigned long p1) {
    return Record("OnRenameObject|" + N(name) + "|" + std::to_string(p1), 8);
}
LONG CTestHandler::OnQueryDelete(const char* name) {
    return Record("OnQueryDelete|" + N(name), 9);
}
LONG CTestHandler::OnQueryCopy(const char* name) {
    return Record("OnQueryCopy|" + N(name), 10);
}
LONG CTestHandler::OnQueryMove(const char* name) {
    return Record("OnQueryMove|" + N(name), 11);
}
LONG CTestHandler::OnEndPages(unsigned long p1) {
    return Record("OnEndPages|" + std::to_string(p1), 12);
}
LONG CTestHandler::OnIgnored274(const char* name) {
    return Record("OnIgnored274|" + N(name), 13);
}
LONG CTestHandler::OnNotifyMove(const char* name, unsigned long from, unsigned long to) {
    return Record("OnNotifyMove|" + N(name) + "|" + std::to_string(from) + "|" + std::to_string(to), 14);
}
LONG CTestHandler::OnNotifyRename(const char* name, unsigned long p1) {
    return Record("OnNotifyRename|" + N(name) + "|" + std::to_string(p1), 15);
}
LONG CTestHandler::OnIgnored277(const char* name) {
    return Record("OnIgnored277|" + N(name), 16);
}
LONG CTestHandler::OnApplyTemplate(const char* name, unsigned long p1) {
    return Record("OnApplyTemplate|" + N(name) + "|" + std::to_string(p1), 17);
}

long __stdcall DomainLatchCallBack(char* name, unsigned short message, unsigned long param1,
                                   unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTDomain, name, message, param1, param2);
}

long __stdcall UserLatchCallBack(char* name, unsigned short message, unsigned long param1,
                                 unsigned long param2) {
    return SnapinCallBack(SnapinClassSlot::KelNTUser, name, message, param1, param2);
}
