// The handler of NT local groups. Pages: identification, then members; applied in that order.
#pragma once

#include "module/handlers/KelNTClass.h"

class CLocalGroupPage_ID;
class CLocalGroupPage_Members;

class CKelNTLocalGroup : public CKelNTClass {
public:
    CKelNTLocalGroup();
    ~CKelNTLocalGroup() override;

    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    // The creation dialog; name is the parent container, param1 the host's 514-byte buffer for the new
    // object's full name.
    LONG OnCreateObject(const char* name, unsigned long param1) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

protected:
    void CreatePages() override;

private:
    CLocalGroupPage_ID* m_idPage = nullptr;
    CLocalGroupPage_Members* m_membersPage = nullptr;
};
