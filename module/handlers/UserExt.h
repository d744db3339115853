// The extension of the directory's "User" class. Its NT accounts page and the account rules it forwards
// to plug in here as they are written; until then every message gets the base answer.
#pragma once

#include "module/core/SnapinClass.h"

class CUserExt : public CSnapinClass {
public:
    CUserExt();
    ~CUserExt() override;

    LONG OnInitClass() override;
    LONG OnCloseClass() override;
    // A user the host made from a template gets an NT account in every NT system the template lists.
    LONG OnApplyTemplate(const char* name, unsigned long param1) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);
};
