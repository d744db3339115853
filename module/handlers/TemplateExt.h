// The extension of the directory's "Template" class: the pages of the NT accounts that users made from the
// template get, applied in the order shown; a template may always be deleted.
#pragma once

#include "module/core/SnapinClass.h"

#include <memory>

class CTemplatePage_NTAccount;
class CTemplatePage_Servers;

class CTemplateExt : public CSnapinClass {
public:
    CTemplateExt();
    ~CTemplateExt() override;

    LONG OnInitClass() override;
    LONG OnCloseClass() override;
    LONG OnApplyPages(const char* name) override;
    LONG OnQueryDelete(const char* /*name*/) override { return 0; }
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);

private:
    // Made on SNAP_INIT_CLASS and deleted on SNAP_CLOSE_CLASS.
    std::unique_ptr<CTemplatePage_Servers> m_servers;
    std::unique_ptr<CTemplatePage_NTAccount> m_account;
};
