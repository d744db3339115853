// The member selection dialog as an administrator uses it: the objects of one container that the caller's
// classes allow, picked with the mouse, OK only with a selection, and the names, relative to the container,
// handed back last row first.
#include "module/core/SelectionDialog.h"
#include "module/core/KelNTApp.h"

#include "host/services/HostServices.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/FullName.h"
#include "module/directory/Schema.h"
#include "tests/platform/dirclient/TestStore.h"
#include "platform/dirclient/DirClient.h"
#include "platform/locale/Locale.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr char kDomain[] = "NTD.Corp";

class SelectionDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegistryUseMemory();
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        LocResetTestHooks();
        ASSERT_EQ(dirtest::OpenTestStore(), kDirOk);
        ASSERT_EQ(DirSetPasswordHashCost(1, 8192), kDirOk);
        ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
        Add("Corp", "Organization");
        Add(kDomain, kClassNtDomain);
        Add("Gamma.NTD.Corp", kClassNtGlobalGroup);
        Add("Alpha.NTD.Corp", kClassNtGlobalGroup);
        Add("Beta.NTD.Corp", kClassNtGlobalGroup);
        Add("Locals.NTD.Corp", kClassNtLocalGroup);
        Add("Ann.NTD.Corp", kClassNtUser);
        m_app = std::make_unique<CKelNTApp>();
        ASSERT_TRUE(m_app->InitInstance());
        m_user = std::make_unique<ScriptedUser>();
    }
    void TearDown() override {
        EXPECT_TRUE(m_user->Failures().empty()) << m_user->Failures().front();
        EXPECT_EQ(m_user->PendingSteps(), 0u);
        m_user.reset();
        EXPECT_TRUE(GetTopLevelWindows().empty());
        m_app.reset();
        static_cast<void>(DirCloseStore());
        HostServices::Instance().Reset();
        Prompter::Instance().Reset();
        AfxSetResourceHandle(nullptr);
    }

    static void Add(const char* object, const char* objectClass) {
        CDirContext dir;
        DirBuffer* buffer = nullptr;
        ASSERT_EQ(DirAllocBuffer(kDirBufferSmall, &buffer), kDirOk);
        int32_t rc = DirInitBuffer(dir.Get(), kDirOpAdd, buffer);
        if (rc == kDirOk) {
            rc = DirPutAttrName(dir.Get(), buffer, kAttrObjectClass);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(dir.Get(), buffer, kSyntaxClassName, objectClass);
        }
        if (rc == kDirOk) {
            rc = DirAddObject(dir.Get(), object, 0, 0, buffer);
        }
        static_cast<void>(DirFreeBuffer(buffer));
        ASSERT_EQ(rc, kDirOk) << object;
    }

    // A dialog offering the domain's global and local groups, each with its class bitmap.
    void Prepare(CSelectionDialog& dialog) {
        dialog.m_container = kDomain;
        ASSERT_TRUE(dialog.m_bitmaps[0].LoadBitmap("CKelNTGlobalGroupBitmap"));
        ASSERT_TRUE(dialog.m_bitmaps[1].LoadBitmap("CKelNTLocalGroupBitmap"));
        dialog.AddClassEntry(kClassNtGlobalGroup, dialog.m_bitmaps[0], kListItemGlobalGroup);
        dialog.AddClassEntry(kClassNtLocalGroup, dialog.m_bitmaps[1], kListItemLocalGroup);
    }

    static std::vector<std::string> Rows(HWND dialog) {
        std::vector<std::string> rows;
        HWND list = GetDlgItem(dialog, kIdcSelectionList);
        int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            rows.push_back(ListRowText(list, row));
        }
        return rows;
    }

    static bool OkEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; }

    std::unique_ptr<CKelNTApp> m_app;
    std::unique_ptr<ScriptedUser> m_user;
};

} // namespace

TEST_F(SelectionDialogTest, ThreeRowsPickedGiveThreeNamesLastRowFirst) {
    CSelectionDialog dialog;
    Prepare(dialog);
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_EQ(GetWindowTextString(GetDlgItem(modal.window, kIdcSelectionCaption)),
                  "Objects in NTD.Corp:");
        // Sorted by name; the NT user matches no class entry and is not listed.
        EXPECT_EQ(Rows(modal.window), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Locals"}));
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Locals", "Alpha", "Gamma"}),
                  UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    ASSERT_EQ(dialog.m_result.GetSize(), 3);
    EXPECT_STREQ(dialog.m_result[0], "Locals");
    EXPECT_STREQ(dialog.m_result[1], "Gamma");
    EXPECT_STREQ(dialog.m_result[2], "Alpha");
}

TEST_F(SelectionDialogTest, RowsAndResultNameEachObjectRelativeToTheListedContainer) {
    struct NameCase {
        const char* container;
        const char* object;
        const char* objectClass;
        const char* row;
    };
    const NameCase cases[] = {
        {kDomain, "Dot\\.Ted.NTD.Corp", kClassNtGlobalGroup, "Dot\\.Ted"}, // an escaped dot stays in the leaf
        {"[Root]", "Other", "Organization", "Other"},                      // below the root: the leaf alone
    };
    for (const NameCase& nameCase : cases) {
        SCOPED_TRACE(nameCase.object);
        Add(nameCase.object, nameCase.objectClass);
        CSelectionDialog dialog;
        dialog.m_container = nameCase.container;
        dialog.AddClassEntry(nameCase.objectClass, nullptr, kListItemGlobalGroup);
        m_user->Expect(kIddSelection, [&nameCase](ModalContext& modal) {
            EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {nameCase.row}), UiActionError::None);
            EXPECT_EQ(PressKey(modal.window, UiKey::Enter), UiActionError::None);
        });
        ASSERT_EQ(dialog.DoModal(), IDOK);
        ASSERT_EQ(dialog.m_result.GetSize(), 1);
        EXPECT_STREQ(dialog.m_result[0], nameCase.row);
        // Completed with the container, the result names the object the directory lists.
        EXPECT_STREQ(MakeFullName(dialog.m_result[0], dialog.m_container), nameCase.object);
    }
}

TEST_F(SelectionDialogTest, OkIsEnabledOnlyWhileARowIsSelected) {
    CSelectionDialog dialog;
    Prepare(dialog);
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_FALSE(OkEnabled(modal.window));
        EXPECT_EQ(Click(modal.window, IDOK), UiActionError::Disabled);
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {"Beta"}), UiActionError::None);
        EXPECT_TRUE(OkEnabled(modal.window));
        EXPECT_EQ(SelectItems(modal.window, kIdcSelectionList, {}), UiActionError::None);
        EXPECT_FALSE(OkEnabled(modal.window));
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_result.GetSize(), 0);
}

TEST_F(SelectionDialogTest, OnlyTheClassesTheCallerNamesAreListed) {
    CSelectionDialog dialog;
    dialog.m_container = kDomain;
    dialog.AddClassEntry(kClassNtLocalGroup, nullptr, kListItemLocalGroup);
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_EQ(Rows(modal.window), (std::vector<std::string>{"Locals"}));
        EXPECT_EQ(PressKey(modal.window, UiKey::F1), UiActionError::None);
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, kHelpSelection);
}

TEST_F(SelectionDialogTest, AContainerThatCannotBeListedLeavesTheListEmpty) {
    CSelectionDialog dialog;
    Prepare(dialog);
    dialog.m_container = "Nowhere.Corp";
    m_user->Expect(kIddSelection, [](ModalContext& modal) {
        EXPECT_TRUE(Rows(modal.window).empty());
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(SelectionDialogTest, RowBitmapsLeaveTheirTransparentColourOut) {
    CSelectionDialog dialog;
    Prepare(dialog);
    m_user->Expect(kIddSelection, [&dialog](ModalContext& modal) {
        int width = 0;
        int height = 0;
        std::vector<uint32_t> pixels = RenderWindowPixels(modal.window, &width, &height);
        auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; };
        COLORREF window = GetSysColor(COLOR_WINDOW);
        uint32_t background = (static_cast<uint32_t>(GetRValue(window)) << 16) |
                              (static_cast<uint32_t>(GetGValue(window)) << 8) | GetBValue(window);
        // The list's client area starts 1 pixel inside its place in the template (10, 26); rows are 19
        // pixels high; the bitmap sits 2 right and 1 below the row's corner.
        const CBitmap& bitmap = dialog.m_bitmaps[0];
        int transparent = 0;
        for (int row = 0; row < 3; ++row) { // the three global groups
            int left = 10 + 1 + 2;
            int top = 26 + 1 + row * static_cast<int>(kListRowHeight) + 1;
            for (int y = 0; y < bitmap.GetHeight(); ++y) {
                for (int x = 0; x < bitmap.GetWidth(); ++x) {
                    uint32_t source = bitmap.GetPixel(x, y);
                    uint32_t shown = at(left + x, top + y);
                    if (source == 0x800080u) {
                        ++transparent;
                        ASSERT_EQ(shown, background) << row << ": " << x << "," << y;
                    } else {
                        ASSERT_EQ(shown, source) << row << ": " << x << "," << y;
                    }
                }
            }
        }
        EXPECT_GT(transparent, 0) << "the bitmap has transparent pixels to test";
        EXPECT_EQ(PressKey(modal.window, UiKey::Escape), UiActionError::None);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(SelectionDialogTest, ARowIsHighlightedOnlyWhenItsStateIsSelectedAndNothingElse) {
    struct DrawCase {
        UINT action;
        UINT state;
        int background; // system colour of the row's background, -1: the row is not repainted
    };
    const DrawCase cases[] = {
        {ODA_DRAWENTIRE, 0, COLOR_WINDOW},
        {ODA_DRAWENTIRE, ODS_SELECTED, COLOR_HIGHLIGHT},
        {ODA_SELECT, ODS_SELECTED, COLOR_HIGHLIGHT},
        {ODA_SELECT, ODS_SELECTED | ODS_FOCUS, COLOR_WINDOW},
        {ODA_FOCUS, ODS_FOCUS, -1},
    };
    CListItem item("Alpha");
    for (const DrawCase& drawCase : cases) {
        SCOPED_TRACE(drawCase.state);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP canvas = CreateCompatibleBitmap(dc, 120, kListRowHeight);
        HGDIOBJ old = SelectObject(dc, canvas);
        RECT all{0, 0, 120, static_cast<LONG>(kListRowHeight)};
        FillRect(dc, &all, CreateSolidBrush(RGB(1, 2, 3)));
        DRAWITEMSTRUCT draw{};
        draw.itemAction = drawCase.action;
        draw.itemState = drawCase.state;
        draw.hDC = dc;
        draw.rcItem = all;
        draw.itemData = reinterpret_cast<ULONG_PTR>(&item);
        DrawListItemRow(&draw);
        COLORREF corner = GetPixel(dc, 119, 1);
        if (drawCase.background >= 0) {
            EXPECT_EQ(corner, GetSysColor(drawCase.background));
            std::vector<std::string> texts = GetDrawnTexts(dc);
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0], "Alpha");
        } else {
            EXPECT_NE(GetPixel(dc, 0, 0), RGB(1, 2, 3)) << "the focus rectangle is drawn on the row's edge";
            EXPECT_EQ(GetPixel(dc, 60, 9), RGB(1, 2, 3)) << "and nothing else";
        }
        SelectObject(dc, old);
        DeleteObject(canvas);
        DeleteDC(dc);
    }
}
