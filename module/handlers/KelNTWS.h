// The handler of NT workgroup systems. Pages: identification, policy, agent connection;
// applied identification, agent connection, policy.
#pragma once

#include "module/handlers/KelNTClass.h"

class CWSPage_ID;
class CWSPage_Policy;
class CWSPage_Agent;

class CKelNTWS : public CKelNTClass {
public:
    CKelNTWS();
    ~CKelNTWS() override;

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
    CWSPage_ID* m_idPage = nullptr;
    CWSPage_Policy* m_policyPage = nullptr;
    CWSPage_Agent* m_agentPage = nullptr;
};
