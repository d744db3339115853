// The handler of Hybrid users (NT accounts of a directory user). Its pages are made identification, groups,
// workstations, profile, and applied identification, workstations, profile, groups.
#pragma once

#include "module/handlers/KelNTClass.h"

class CHybridUserPage_ID;
class CHybridUserPage_Groups;
class CHybridUserPage_Workstations;
class CHybridUserPage_Profile;

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

private:
    // One a page, in creation order.
    CHybridUserPage_ID* m_idPage = nullptr;
    CHybridUserPage_Groups* m_groupsPage = nullptr;
    CHybridUserPage_Workstations* m_workstationsPage = nullptr;
    CHybridUserPage_Profile* m_profilePage = nullptr;
};
