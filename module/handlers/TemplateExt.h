// The extension of the directory's "Template" class. Its two pages (servers, then NT account) plug in
// here as they are written and are applied in that order; a template may always be deleted.
#pragma once

#include "module/core/SnapinClass.h"

class CTemplateExt : public CSnapinClass {
public:
    CTemplateExt();
    ~CTemplateExt() override;

    LONG OnInitClass() override;
    LONG OnCloseClass() override;
    LONG OnQueryDelete(const char* /*name*/) override { return 0; }
    SnapCallBack GetCallBack() override { return &CallBack; }

    static long __stdcall CallBack(char* objectName, unsigned short message, unsigned long param1,
                                   unsigned long param2);
};
