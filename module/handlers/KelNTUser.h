// The handler of NT users. Its pages (identification, groups, profile, hours, workstations, expiration) plug
// in here as they are written; applied identification, groups, hours, workstations, profile, expiration.
#pragma once

#include "module/handlers/KelNTClass.h"

class CKelNTUser : public CKelNTClass {
public:
    CKelNTUser();
    ~CKelNTUser() override;

    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

protected:
    void CreatePages() override;
};
