// What the policy and agent page tests share: stored values set and read as the directory's administrator,
// and a page of a domain or workgroup system opened as the host opens it.
#pragma once

#include "ModuleWorld.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <cstdint>
#include <string>

class SystemPagesWorld : public ModuleWorld {
protected:
    // A 32-bit value of an Integer, Interval or Boolean attribute.
    static void SetWord(const char* object, const char* attr, uint32_t syntax, uint32_t value) {
        CDirContext dir;
        ASSERT_EQ(SetAttrValue(dir.Get(), object, attr, syntax, &value), 1) << GetLastAttrError();
    }
    // -1 when the attribute holds no value.
    static int64_t Word(const char* object, const char* attr, uint32_t syntax) {
        CDirContext dir;
        DirValuePtr value = ReadAttrValueOwned(dir.Get(), object, attr, syntax);
        return value == nullptr ? int64_t{-1} : int64_t{*static_cast<const uint32_t*>(value.get())};
    }
    HWND OpenPage(const char* className, const char* object, const char* title) {
        OpenDetails(className, object);
        const int index = m_sheet->FindPage(title);
        EXPECT_GE(index, 0) << title;
        m_sheet->SetCurrentPage(index);
        return m_sheet->Page(index);
    }
    static std::string Text(HWND page, int id) { return GetWindowTextString(GetDlgItem(page, id)); }
    static bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
};
