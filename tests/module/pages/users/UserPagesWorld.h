// What the NT user page tests share: an NT user in the domain of the module world, its details opened as
// the host opens them with the page of a given title current, and reads of many-valued attributes as the
// directory's administrator.
#pragma once

#include "ModuleWorld.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <string>
#include <vector>

inline constexpr char kUser[] = "Ann.NTD.Corp";
inline constexpr char kWorkgroupUser[] = "Bob.WS1.Corp";

class UserPagesWorld : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        AddObject(kUser, kClassNtUser);
        AddObject(kWorkgroupUser, kClassNtUser);
    }

    // Opens the user's details and makes the page titled `title` current; answers its window.
    HWND OpenPage(const std::string& user, const std::string& title) {
        return OpenPageOf(kClassNtUser, user, title);
    }

    // Opens the details of `object` (of `className`) and makes the page titled `title` current.
    HWND OpenPageOf(const std::string& className, const std::string& object, const std::string& title) {
        OpenDetails(className, object);
        if (!m_sheet || !m_sheet->IsOpen()) {
            ADD_FAILURE() << "no sheet";
            return nullptr;
        }
        const int index = m_sheet->FindPage(title);
        EXPECT_GE(index, 0) << title;
        EXPECT_TRUE(m_sheet->SetCurrentPage(index));
        return m_sheet->Page(index);
    }

    // Every value of attr, read as the administrator whoever is signed in.
    static std::vector<std::string> Values(const std::string& object, const char* attr, uint32_t syntax) {
        char identity[kDirMaxNameBytes + 1] = {};
        {
            CDirContext dir;
            static_cast<void>(DirWhoAmI(dir.Get(), identity));
        }
        const bool other = std::string(identity) != "Admin";
        if (other) {
            EXPECT_EQ(DirLogin("Admin", ""), kDirOk);
        }
        CStringArray values;
        {
            CDirContext dir;
            static_cast<void>(ReadAttrValues(dir.Get(), object.c_str(), attr, syntax, &values));
        }
        if (other) {
            EXPECT_EQ(DirLogin(identity, ""), kDirOk);
        }
        std::vector<std::string> out;
        for (INT_PTR i = 0; i < values.GetSize(); ++i) {
            out.emplace_back(static_cast<const char*>(values[i]));
        }
        return out;
    }

    static void Put(const std::string& object, const char* attr, uint32_t syntax, const std::string& value) {
        CDirContext dir;
        ASSERT_EQ(AddAttrValue(dir.Get(), object.c_str(), attr, syntax, value.c_str()), 1)
            << object << " " << attr << " " << value << ": " << GetLastAttrError();
    }

    // A text attribute of the NT user; "" removes it.
    static void SetAttr(const char* attr, const std::string& text) {
        CDirContext dir;
        ASSERT_EQ(SetAttrValue(dir.Get(), kUser, attr, kSyntaxCaseIgnoreString, text.c_str()), 1)
            << attr << ": " << GetLastAttrError();
    }

    static std::string Text(HWND page, int id) { return GetWindowTextString(GetDlgItem(page, id)); }
    static bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
    static bool Visible(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != FALSE; }
    static bool Checked(HWND page, int id) {
        return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // As `show` prints it: the control's states include "readonly".
    static bool ReadOnly(HWND page, int id) {
        const std::string head = std::to_string(id) + " | ";
        for (const std::string& line : DescribeControls(page)) {
            if (line.rfind(head, 0) == 0) {
                const size_t states = line.find(" | ", head.size());
                return line.substr(states).find("readonly") != std::string::npos;
            }
        }
        return false;
    }
    // The rows a person sees in a list.
    static std::vector<std::string> Rows(HWND page, int id) {
        std::vector<std::string> rows;
        HWND list = GetDlgItem(page, id);
        const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            rows.push_back(ListRowText(list, row));
        }
        return rows;
    }
};
