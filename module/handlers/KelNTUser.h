// The handler of NT users. Its pages (identification, groups, profile, hours, workstations, expiration) plug
// in here as they are written; applied identification, groups, hours, workstations, profile, expiration.
#pragma once

#include "module/handlers/KelNTClass.h"

class CNTUserPage_ID;
class CNTUserPage_Groups;
class CNTUserPage_Profile;
class CNTUserPage_Hours;
class CNTUserPage_Workstations;
class CNTUserPage_Expiration;

class CKelNTUser : public CKelNTClass {
public:
    CKelNTUser();
    ~CKelNTUser() override;

    LONG GetClassFlags(const char* name) override;
    LONG OnApplyPages(const char* name) override;
    // The creation dialog; name is the parent container, param1 the host's 514-byte buffer for the new
    // object's full name.
    LONG OnCreateObject(const char* name, unsigned long param1) override;
    // The rename dialog; param1 is the host's 514-byte buffer for the new leaf.
    LONG OnRenameObject(const char* name, unsigned long param1) override;
    // A move to another NT system takes the account's group memberships along where they exist there.
    LONG OnNotifyMove(const char* name, unsigned long from, unsigned long to) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

protected:
    void CreatePages() override;

private:
    // One a page, in creation order.
    CNTUserPage_ID* m_idPage = nullptr;
    CNTUserPage_Groups* m_groupsPage = nullptr;
    CNTUserPage_Profile* m_profilePage = nullptr;
    CNTUserPage_Hours* m_hoursPage = nullptr;
    CNTUserPage_Workstations* m_workstationsPage = nullptr;
    CNTUserPage_Expiration* m_expirationPage = nullptr;
};
