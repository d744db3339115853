// The handler of Hybrid users (NT accounts of a directory user). Its pages (identification, groups,
// workstations, profile) plug in here as they are written; applied identification, workstations, profile,
// groups.
#pragma once

#include "module/handlers/KelNTClass.h"

class CKelNTHybridUser : public CKelNTClass {
public:
    CKelNTHybridUser();
    ~CKelNTHybridUser() override;

    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    // The creation dialog; name is the parent container, param1 the host's 514-byte buffer for the new
    // object's full name.
    LONG OnCreateObject(const char* name, unsigned long param1) override;
    LONG OnNotifyMove(const char* name, unsigned long from, unsigned long to) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

protected:
    void CreatePages() override;
};
