// The handler of NT local groups. Pages: identification (then members, once it exists); applied in that
// order.
#pragma once

#include "module/handlers/KelNTClass.h"

class CLocalGroupPage_ID;

class CKelNTLocalGroup : public CKelNTClass {
public:
    CKelNTLocalGroup();
    ~CKelNTLocalGroup() override;

    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

protected:
    void CreatePages() override;

private:
    CLocalGroupPage_ID* m_idPage = nullptr;
};
