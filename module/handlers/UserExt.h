// The extension of the directory's "User" class: the user's NT accounts page, to which it hands the user's
// apply, end of details, and the delete, copy, move and rename questions, and the NT accounts a user made
// from a template gets.
#pragma once

#include "module/core/SnapinClass.h"

#include <memory>

class CForeignAccount;

class CUserExt : public CSnapinClass {
public:
    CUserExt();
    ~CUserExt() override;

    LONG OnInitClass() override;
    LONG OnCloseClass() override;
    LONG OnApplyPages(const char* name) override;
    LONG OnEndPages(unsigned long param1) override;
    LONG OnQueryDelete(const char* name) override;
    LONG OnQueryCopy(const char* name) override;
    LONG OnQueryMove(const char* name) override;
    LONG OnNotifyRename(const char* name, unsigned long param1) override;
    // A user the host made from a template gets an NT account in every NT system the template lists.
    LONG OnApplyTemplate(const char* name, unsigned long param1) override;
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

private:
    // Made on SNAP_INIT_CLASS and deleted on SNAP_CLOSE_CLASS; a message in between finds no page and gets
    // the base answer.
    std::unique_ptr<CForeignAccount> m_page;
};
