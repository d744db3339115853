// The handler of NT domains. Pages: identification, policy, agent connection; applied identification,
// agent connection, policy.
#pragma once

#include "module/handlers/KelNTClass.h"

class CDomainPage_ID;
class CDomainPage_Policy;
class CDomainPage_Agent;

class CKelNTDomain : public CKelNTClass {
public:
    CKelNTDomain();
    ~CKelNTDomain() override;

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
    CDomainPage_ID* m_idPage = nullptr;
    CDomainPage_Policy* m_policyPage = nullptr;
    CDomainPage_Agent* m_agentPage = nullptr;
};
