// Renaming an NT user as the host asks for it (message 261 with a zeroed 514-byte buffer): the person works
// the rename dialog, and the module renames the object itself.
#include "AccountOpsWorld.h"

#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountOpsIds.h"
#include "module/handlers/NTUserRename.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <gmock/gmock.h>

#include <array>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class NTUserRenameTest : public AccountOpsWorld {
protected:
    void SetUp() override {
        AccountOpsWorld::SetUp();
        AddObject("Ann.DomA.Corp", kClassNtUser);
        AddValue("Ann.DomA.Corp", kAttrCN, "Ann");
        Link("Ann.DomA.Corp", "Domain Users.DomA.Corp");
        AddObject("Carl.DomA.Corp", kClassNtUser);
    }

    static std::string Text(HWND dialog, int id) { return GetWindowTextString(GetDlgItem(dialog, id)); }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

    std::array<char, kRenameBufferBytes> m_buffer{};
};

TEST_F(NTUserRenameTest, TheNewNameIsTypedOverTheOldOneAndTheObjectIsRenamedWithItsGroupsFollowing) {
    m_user->Expect(kIddRenameNTUser, [](ModalContext& modal) {
        EXPECT_EQ(Text(modal.window, kIdcRenameNewName), "Ann");
        EXPECT_FALSE(Enabled(modal.window, IDOK)) << "nothing to rename before a change";
        EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, "Bob"), UiActionError::None);
        EXPECT_TRUE(Enabled(modal.window, IDOK));
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });

    EXPECT_EQ(RenameNTUser("Ann.DomA.Corp", m_buffer.data()), 0);

    EXPECT_STREQ(m_buffer.data(), "Bob");
    EXPECT_FALSE(Exists("Ann.DomA.Corp"));
    EXPECT_THAT(Values("Bob.DomA.Corp", kAttrCN), ElementsAre("Bob"));
    EXPECT_THAT(Values("Domain Users.DomA.Corp", kAttrMember), ElementsAre("Bob.DomA.Corp"));
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(NTUserRenameTest, EveryChangeEnablesOkAndTheCommonNameKeepsTheOldNameOnlyWhenAsked) {
    AddValue("Carl.DomA.Corp", kAttrCN, "Carl");
    struct Case {
        const char* object;
        const char* newName;
        bool keepOldName;
        const char* commonName;
    } cases[] = {
        {"Ann.DomA.Corp", "Bob", false, "Bob"},
        {"Carl.DomA.Corp", "Dan", true, "Carl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        m_user->Expect(kIddRenameNTUser, [&c](ModalContext& modal) {
            // Taking the name away is a change as any other.
            EXPECT_EQ(ClearText(modal.window, kIdcRenameNewName), UiActionError::None);
            EXPECT_TRUE(Enabled(modal.window, IDOK));
            EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, c.newName), UiActionError::None);
            if (c.keepOldName) {
                EXPECT_EQ(Click(modal.window, kIdcRenameKeepOldName), UiActionError::None);
            }
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
        });
        m_buffer.fill(0);
        EXPECT_EQ(RenameNTUser(c.object, m_buffer.data()), 0);
        EXPECT_STREQ(m_buffer.data(), c.newName);
        EXPECT_THAT(Values(std::string(c.newName) + ".DomA.Corp", kAttrCN), ElementsAre(c.commonName));
    }
}

TEST_F(NTUserRenameTest, CancellingRenamesNothingAndLeavesTheBufferEmpty) {
    m_user->Expect(kIddRenameNTUser, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, "Bob"), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });

    EXPECT_EQ(RenameNTUser("Ann.DomA.Corp", m_buffer.data()), -1);

    EXPECT_EQ(m_buffer[0], '\0');
    EXPECT_TRUE(Exists("Ann.DomA.Corp"));
    EXPECT_FALSE(Exists("Bob.DomA.Corp"));
}

TEST_F(NTUserRenameTest, ANameTheDirectoryCannotTakeIsShownAndTheDialogStaysOpenForAnother) {
    struct Case {
        const char* typed;
        int message;
        const char* shown; // part of the message's text
    } cases[] = {
        {"", 57356, "\"\""},
        {"Bob.Smith", 57356, "Bob.Smith"},
        {"Bob\\", 57356, "Bob\\"},       // the backslash would escape the dot before the container
        {"Carl", 57355, "(error -709)"}, // another user has that name
    };
    m_user->Expect(kIddRenameNTUser, [&cases](ModalContext& modal) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.typed);
            Prompter::Instance().Reset();
            EXPECT_EQ(ClearText(modal.window, kIdcRenameNewName), UiActionError::None);
            EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, c.typed), UiActionError::None);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
            ASSERT_THAT(ShownIds(), ElementsAre(c.message));
            EXPECT_THAT(ShownTexts()[0], HasSubstr(c.shown));
            EXPECT_TRUE(IsWindow(modal.window)) << "the dialog stays open";
            EXPECT_EQ(Text(modal.window, kIdcRenameNewName), c.typed);
        }
        EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
    });

    EXPECT_EQ(RenameNTUser("Ann.DomA.Corp", m_buffer.data()), -1);

    EXPECT_EQ(m_buffer[0], '\0');
    EXPECT_TRUE(Exists("Ann.DomA.Corp"));
    EXPECT_TRUE(Exists("Carl.DomA.Corp"));
}

TEST_F(NTUserRenameTest, TheNameTakesTwentyCharactersAndAnEscapedDotStaysInTheLeaf) {
    m_user->Expect(kIddRenameNTUser, [](ModalContext& modal) {
        EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"),
                  UiActionError::None);
        EXPECT_EQ(Text(modal.window, kIdcRenameNewName), "ABCDEFGHIJKLMNOPQRST");
        EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, "A\\.Bond"), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });

    EXPECT_EQ(RenameNTUser("Ann.DomA.Corp", m_buffer.data()), 0);

    EXPECT_STREQ(m_buffer.data(), "A\\.Bond");
    EXPECT_TRUE(Exists("A\\.Bond.DomA.Corp"));
}

TEST_F(NTUserRenameTest, TheLimitCountsCharactersAsTheNtSideDoes) {
    struct Case {
        const char* typed;
        const char* kept; // what the edit holds after typing
        bool renamed;
    } cases[] = {
        {"ÀÉÎÕÜàéîõüÀÉÎÕÜàéîõüxyz", "ÀÉÎÕÜàéîõüÀÉÎÕÜàéîõü", true},   // 20 characters in 40 bytes
        {"ABCDEFGHIJKLMNOPQRS\\.T", "ABCDEFGHIJKLMNOPQRS\\.", true}, // the escaping backslash is free
        // A backslash typed last may still escape a dot; when it escapes none, OK refuses the 21st character.
        {"ABCDEFGHIJKLMNOPQRS\\xy", "ABCDEFGHIJKLMNOPQRS\\x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Prompter::Instance().Reset();
        m_user->Expect(kIddRenameNTUser, [&c](ModalContext& modal) {
            EXPECT_EQ(TypeText(modal.window, kIdcRenameNewName, c.typed), UiActionError::None);
            EXPECT_EQ(Text(modal.window, kIdcRenameNewName), c.kept);
            EXPECT_EQ(Click(modal.window, IDOK), UiActionError::None);
            if (!c.renamed) {
                EXPECT_TRUE(IsWindow(modal.window)) << "the dialog stays open";
                EXPECT_EQ(Click(modal.window, IDCANCEL), UiActionError::None);
            }
        });
        std::array<char, kRenameBufferBytes> buffer{};

        EXPECT_EQ(RenameNTUser("Carl.DomA.Corp", buffer.data()), c.renamed ? 0 : -1);

        if (c.renamed) {
            EXPECT_STREQ(buffer.data(), c.kept);
            EXPECT_TRUE(Exists(std::string(c.kept) + ".DomA.Corp"));
            EXPECT_THAT(ShownIds(), IsEmpty());
            CDirContext dir;
            const std::string renamed = std::string(c.kept) + ".DomA.Corp";
            ASSERT_EQ(DirRenameObject(dir.Get(), renamed.c_str(), "Carl", 1), kDirOk);
        } else {
            EXPECT_TRUE(Exists("Carl.DomA.Corp"));
            ASSERT_THAT(ShownIds(), ElementsAre(kFmtRenameTooLong));
            EXPECT_THAT(ShownTexts()[0], HasSubstr("more than 20 characters"));
        }
    }
}

TEST_F(NTUserRenameTest, F1AndTheHelpButtonOpenTheRenameHelp) {
    m_user->Expect(kIddRenameNTUser, [](ModalContext& modal) {
        EXPECT_EQ(PressKey(modal.window, UiKey::F1), UiActionError::None);
        EXPECT_EQ(Click(modal.window, kIdcRenameHelp), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });

    EXPECT_EQ(RenameNTUser("Ann.DomA.Corp", m_buffer.data()), -1);

    const auto& calls = Prompter::Instance().HelpCalls();
    ASSERT_EQ(calls.size(), 2u);
    for (const HelpCallRecord& call : calls) {
        EXPECT_EQ(call.command, static_cast<UINT>(HELP_CONTEXT));
        EXPECT_EQ(call.data, 64u);
        EXPECT_EQ(call.file, "qor.hlp");
    }
}

} // namespace
