// The logon hours page as an administrator meets it: open an NT user's details as the host does, look at
// the grid, click and drag on it with the mouse, apply, and find the hours in the directory, in the
// directory's time base whatever time zone the administrator's machine is in.
#include "ModuleWorld.h"
#include "SheetPicture.h"

#include "host/services/HostServices.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"
#include "platform/winapi/WinApi.h"

#include <optional>
#include <string>

namespace {

constexpr char kUser[] = "jdoe.NTD.Corp";
constexpr char kOtherUser[] = "asmith.NTD.Corp";
constexpr char kWorkgroupUser[] = "local.WS1.Corp";
constexpr int kGrid = 1113;
// Template 159 lays the grid out at (40, 22), 292 x 116 pixels; it shrinks to whole cells of 12 x 16.
constexpr int kGridLeft = 40;
constexpr int kGridTop = 22;
constexpr int kCellWidth = 12;
constexpr int kCellHeight = 16;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kBlack = 0x000000;

using Bytes = std::string;

// 21 bytes, every hour allowed but the stored cells named.
Bytes Hours(std::initializer_list<int> forbidden) {
    Bytes bytes(21, '\xFF');
    for (int cell : forbidden) {
        bytes[static_cast<size_t>(cell / 8)] =
            static_cast<char>(bytes[static_cast<size_t>(cell / 8)] & ~(0x80 >> (cell % 8)));
    }
    return bytes;
}

void StoreHours(const std::string& object, const Bytes& bytes) {
    CDirContext dir;
    Bytes copy = bytes;
    DirOctetString value{static_cast<uint32_t>(copy.size()), reinterpret_cast<uint8_t*>(copy.data())};
    ASSERT_EQ(SetAttrValue(dir.Get(), object.c_str(), kAttrLogonHours, kSyntaxOctetString, &value), 1)
        << GetLastAttrError();
}

// What the directory holds, read as its administrator; none when the attribute has no value.
std::optional<Bytes> StoredHours(const std::string& object) {
    char identity[kDirMaxNameBytes + 1] = {};
    CDirContext who;
    static_cast<void>(DirWhoAmI(who.Get(), identity));
    EXPECT_EQ(DirLogin("Admin", ""), kDirOk);
    std::optional<Bytes> bytes;
    {
        CDirContext dir;
        if (DirValuePtr value =
                ReadAttrValueOwned(dir.Get(), object.c_str(), kAttrLogonHours, kSyntaxOctetString)) {
            const auto* hours = static_cast<const DirOctetString*>(value.get());
            bytes = Bytes(reinterpret_cast<const char*>(hours->data), hours->length);
        }
    }
    EXPECT_EQ(DirLogin(identity, ""), kDirOk);
    return bytes;
}

// The grid as the person sees it: a row a day, '1' for a white (allowed) hour, '0' for a grey one, '?' for
// anything else.
std::vector<std::string> ShownGrid(HWND page) {
    const SheetPicture picture(page);
    std::vector<std::string> rows;
    for (int row = 0; row < 7; ++row) {
        std::string line;
        for (int col = 0; col < 24; ++col) {
            const uint32_t shown = picture.At(kGridLeft + col * kCellWidth + kCellWidth / 2,
                                              kGridTop + row * kCellHeight + kCellHeight / 2);
            line += shown == kWhite ? '1' : shown == kShadow ? '0' : '?';
        }
        rows.push_back(line);
    }
    return rows;
}

// Every hour allowed but the shown cells named.
std::vector<std::string> Shown(std::initializer_list<std::pair<int, int>> forbidden) {
    std::vector<std::string> rows(7, std::string(24, '1'));
    for (auto [row, col] : forbidden) {
        rows[static_cast<size_t>(row)][static_cast<size_t>(col)] = '0';
    }
    return rows;
}

int MiddleX(int col) {
    return col * kCellWidth + kCellWidth / 2;
}
int MiddleY(int row) {
    return row * kCellHeight + kCellHeight / 2;
}

UiActionError ClickCell(HWND page, int row, int col) {
    UiActionError error = MouseAction(page, kGrid, UiMouse::Down, MiddleX(col), MiddleY(row));
    if (error == UiActionError::None) {
        error = MouseAction(page, kGrid, UiMouse::Up, MiddleX(col), MiddleY(row));
    }
    return error;
}

UiActionError DragCells(HWND page, int row1, int col1, int row2, int col2) {
    for (auto [action, x, y] : {std::tuple{UiMouse::Down, MiddleX(col1), MiddleY(row1)},
                                std::tuple{UiMouse::Move, MiddleX(col2), MiddleY(row2)},
                                std::tuple{UiMouse::Up, MiddleX(col2), MiddleY(row2)}}) {
        if (UiActionError error = MouseAction(page, kGrid, action, x, y); error != UiActionError::None) {
            return error;
        }
    }
    return UiActionError::None;
}

bool Visible(HWND page, int id) {
    return IsWindowVisible(GetDlgItem(page, id)) != FALSE;
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

} // namespace

class NTUserPageHoursTest : public ModuleWorld {
protected:
    void SetUp() override {
        ModuleWorld::SetUp();
        AddObject(kUser, kClassNtUser);
        AddObject(kOtherUser, kClassNtUser);
        AddObject(kWorkgroupUser, kClassNtUser);
        TimeZoneInjectBias(0);
    }
    void TearDown() override {
        TimeZoneClearInjection();
        ModuleWorld::TearDown();
    }

    // Opens the user's details on the logon hours page.
    HWND OpenHours(const std::string& user) {
        OpenDetails(kClassNtUser, user);
        const int index = m_sheet->FindPage("Logon Hours");
        EXPECT_GE(index, 0);
        EXPECT_TRUE(m_sheet->SetCurrentPage(index));
        return m_sheet->Page(index);
    }
};

TEST_F(NTUserPageHoursTest, TheGridShowsStoredHoursInLocalTimeAndStoresClicksInTheDirectorysTime) {
    // Stored cell 38 is Monday 14:00 in the directory's time; cell 2 is Sunday 02:00, which some zones show
    // on the Saturday before.
    struct Case {
        const char* zone;
        std::optional<LONG> bias; // none: the time-zone query fails
        int storedCell;
        int shownRow;
        int shownCol;
    };
    const Case cases[] = {
        {"UTC-5", 300, 38, 1, 9},      // shift 5: byte 4, mask 0x02 shows at Monday 09:00
        {"UTC-3:30", 210, 38, 1, 10},  // a half hour west goes up to the next hour: shift 4
        {"UTC+5:30", -330, 38, 1, 19}, // a half hour east is cut down: shift -5
        {"UTC-1:30", 90, 38, 1, 12},   // shift 2
        {"UTC+1:30", -90, 38, 1, 15},  // shift -1
        {"UTC", 0, 38, 1, 14},         // no shift
        {"no zone", std::nullopt, 38, 1, 14},
        {"UTC-23:30", 1410, 38, 1, 14},   // 24 hours is a whole day: no shift
        {"UTC+23:30", -1410, 38, 2, 13},  // shift -23
        {"170 hours", 10200, 38, 1, 12},  // a whole week and more comes down to shift 2
        {"UTC-5, Sunday", 300, 2, 6, 21}, // Sunday 02:00 there is Saturday 21:00 here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        if (c.bias) {
            TimeZoneInjectBias(*c.bias);
        } else {
            TimeZoneInjectFailure();
        }
        const Bytes stored = Hours({c.storedCell});
        StoreHours(kUser, stored);
        HWND page = OpenHours(kUser);
        EXPECT_EQ(ShownGrid(page), Shown({{c.shownRow, c.shownCol}}));

        // Allowing that hour again allows the whole week; forbidding it again stores what was there.
        ASSERT_EQ(ClickCell(page, c.shownRow, c.shownCol), UiActionError::None);
        EXPECT_EQ(ShownGrid(page), Shown({}));
        ASSERT_EQ(m_sheet->Apply().answer, 0);
        EXPECT_EQ(StoredHours(kUser), Hours({}));
        ASSERT_EQ(ClickCell(page, c.shownRow, c.shownCol), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(StoredHours(kUser), stored);
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(NTUserPageHoursTest, StoredValuesOfEveryLengthShowAndAreWrittenBack) {
    struct Case {
        const char* what;
        std::optional<Bytes> stored;
        std::vector<std::string> shown;
        Bytes written; // after a click on Saturday 23:00 and one more to undo it
    };
    const Bytes longer = Hours({0, 167}) + Bytes("\x12\x00\x34", 3);
    const Case cases[] = {
        {"none", std::nullopt, Shown({}), Hours({})},
        {"empty", Bytes(), Shown({}), Hours({})},
        // A short value forbids only what its bits forbid; the hours past it stay allowed.
        {"two bytes", Bytes("\x00\x0F", 2),
         Shown({{0, 0},
                {0, 1},
                {0, 2},
                {0, 3},
                {0, 4},
                {0, 5},
                {0, 6},
                {0, 7},
                {0, 8},
                {0, 9},
                {0, 10},
                {0, 11}}),
         Bytes("\x00\x0F", 2) + Bytes(19, '\xFF')},
        {"21 bytes", Hours({5, 100}), Shown({{0, 5}, {4, 4}}), Hours({5, 100})},
        // What lies past the 21st byte has no hour on the grid and is kept as it was.
        {"24 bytes", longer, Shown({{0, 0}, {6, 23}}), longer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.stored) {
            StoreHours(kUser, *c.stored);
        } else {
            AddObject(std::string("fresh") + ".NTD.Corp", kClassNtUser);
        }
        const std::string user = c.stored ? kUser : "fresh.NTD.Corp";
        HWND page = OpenHours(user);
        EXPECT_EQ(ShownGrid(page), c.shown);
        ASSERT_EQ(ClickCell(page, 6, 23), UiActionError::None);
        ASSERT_EQ(ClickCell(page, 6, 23), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(StoredHours(user), c.written);
    }
}

TEST_F(NTUserPageHoursTest, ADragSetsTheRectangleToTheOppositeOfTheCellWhereItBegan) {
    TimeZoneInjectBias(-60);
    struct Case {
        const char* what;
        int row1, col1, row2, col2;
        std::vector<std::string> shown;
    };
    // Shown Tuesday 03:00 is forbidden before each drag; every other hour allowed.
    const Case cases[] = {
        {"down and right from an allowed hour", 1, 2, 3, 5,
         Shown({{1, 2},
                {1, 3},
                {1, 4},
                {1, 5},
                {2, 2},
                {2, 3},
                {2, 4},
                {2, 5},
                {3, 2},
                {3, 3},
                {3, 4},
                {3, 5}})},
        {"up and left from the forbidden hour", 2, 3, 0, 1, Shown({})},
        {"along one row", 2, 0, 2, 23,
         Shown({{2, 0},  {2, 1},  {2, 2},  {2, 3},  {2, 4},  {2, 5},  {2, 6},  {2, 7},
                {2, 8},  {2, 9},  {2, 10}, {2, 11}, {2, 12}, {2, 13}, {2, 14}, {2, 15},
                {2, 16}, {2, 17}, {2, 18}, {2, 19}, {2, 20}, {2, 21}, {2, 22}, {2, 23}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Shown Tuesday 03:00 with an hour's shift east is stored Tuesday 02:00: cell 50.
        StoreHours(kUser, Hours({50}));
        HWND page = OpenHours(kUser);
        ASSERT_EQ(ShownGrid(page), Shown({{2, 3}}));
        ASSERT_EQ(DragCells(page, c.row1, c.col1, c.row2, c.col2), UiActionError::None);
        EXPECT_EQ(ShownGrid(page), c.shown);
        EXPECT_EQ(m_sheet->Changes().size(), 1u);
        ASSERT_TRUE(m_sheet->Ok());
    }
    // The last drag forbade all of shown Tuesday, which is stored Monday 23:00 to Tuesday 22:00.
    Bytes tuesday = Hours({});
    tuesday[5] = '\xFE';
    tuesday[6] = '\x00';
    tuesday[7] = '\x00';
    tuesday[8] = '\x01';
    EXPECT_EQ(StoredHours(kUser), tuesday);
}

TEST_F(NTUserPageHoursTest, TheMouseCapturesAndConfinesOnlyBeyondTwoPixelsAndDrawsAnInvertedBand) {
    HWND page = OpenHours(kUser);
    HWND grid = GetDlgItem(page, kGrid);
    const int x = MiddleX(10);
    const int y = MiddleY(3);
    struct Case {
        int dx, dy;
        bool drags;
    };
    const Case cases[] = {{1, 1, false}, {-2, -2, false}, {1, -2, false},
                          {2, 0, true},  {0, 2, true},    {-3, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Down, x, y), UiActionError::None);
        ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, x + c.dx, y + c.dy), UiActionError::None);
        EXPECT_EQ(GetCapture() == grid, c.drags);
        RECT clip{};
        EXPECT_EQ(GetClipCursor(&clip) != FALSE, c.drags);
        if (c.drags) {
            RECT screen{};
            GetWindowRect(grid, &screen);
            EXPECT_EQ(clip.left, screen.left);
            EXPECT_EQ(clip.top, screen.top);
            EXPECT_EQ(clip.right, screen.right);
            EXPECT_EQ(clip.bottom, screen.bottom);
        }
        ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Up, x + c.dx, y + c.dy), UiActionError::None);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_FALSE(GetClipCursor(&clip));
        // Within one cell a drag and a click both toggle it; the second round puts it back.
        EXPECT_EQ(ShownGrid(page)[3][10], '0');
        ASSERT_EQ(ClickCell(page, 3, 10), UiActionError::None);
    }

    // The band is drawn on the screen with the inverting mix from the press to the pointer, and gone after
    // the release.
    const std::vector<std::string> before = ShownGrid(page);
    HDC screen = GetDC(page);
    const int pressX = kGridLeft + MiddleX(2);
    const int pressY = kGridTop + MiddleY(1);
    ASSERT_EQ(GetPixel(screen, pressX, pressY + 10), RGB(255, 255, 255));
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Down, MiddleX(2), MiddleY(1)), UiActionError::None);
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, MiddleX(4), MiddleY(3)), UiActionError::None);
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, MiddleX(5), MiddleY(4)), UiActionError::None);
    EXPECT_EQ(GetPixel(screen, pressX, pressY + 10), RGB(0, 0, 0)) << "the band's left side inverts white";
    EXPECT_EQ(GetPixel(screen, pressX + 1, pressY + 10), RGB(255, 255, 255)) << "the band is not filled";
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Up, MiddleX(5), MiddleY(4)), UiActionError::None);
    EXPECT_EQ(GetPixel(screen, pressX, pressY + 10), RGB(255, 255, 255));
    ReleaseDC(page, screen);
    std::vector<std::string> after = before;
    for (int row = 1; row <= 4; ++row) {
        for (int col = 2; col <= 5; ++col) {
            after[static_cast<size_t>(row)][static_cast<size_t>(col)] = '0';
        }
    }
    EXPECT_EQ(ShownGrid(page), after);
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(NTUserPageHoursTest, AMoveWithTheButtonDownStartsADragWhereItEntersAndADoubleClickTogglesTwice) {
    HWND page = OpenHours(kUser);
    // Pressed on the "Sun" label, then moved into the grid with the button held.
    ASSERT_EQ(MouseAction(page, 1114, UiMouse::Down, 2, 2), UiActionError::None);
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, MiddleX(0), MiddleY(0)), UiActionError::None);
    EXPECT_EQ(GetCapture(), nullptr);
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, MiddleX(1), MiddleY(1)), UiActionError::None);
    EXPECT_EQ(GetCapture(), GetDlgItem(page, kGrid));
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Up, MiddleX(1), MiddleY(1)), UiActionError::None);
    EXPECT_EQ(ShownGrid(page), Shown({{0, 0}, {0, 1}, {1, 0}, {1, 1}}));

    // A move without the button pressed is no drag.
    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::Move, MiddleX(9), MiddleY(5)), UiActionError::None);
    EXPECT_EQ(GetCapture(), nullptr);

    ASSERT_EQ(MouseAction(page, kGrid, UiMouse::DoubleClick, MiddleX(1), MiddleY(1)), UiActionError::None);
    EXPECT_EQ(ShownGrid(page), Shown({{0, 0}, {0, 1}, {1, 0}, {1, 1}}));
    EXPECT_EQ(m_sheet->Changes(), std::vector<int>(3, m_sheet->FindPage("Logon Hours")))
        << "every release is a change";
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(StoredHours(kUser), Hours({0, 1, 24, 25}));
}

TEST_F(NTUserPageHoursTest, TheGridIsPaintedAsCellsAndLinesEnabledAndHatchedWithoutHoursDisabled) {
    StoreHours(kUser, Hours({0}));
    struct Case {
        const char* who;
        bool enabled;
        uint32_t line; // the line between two hours
    };
    const Case cases[] = {
        {"Admin", true, kBlack},
        {kReader, false, kShadow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.who);
        SignIn(c.who);
        HWND page = OpenHours(kUser);
        HWND grid = GetDlgItem(page, kGrid);
        EXPECT_EQ(Enabled(page, kGrid), c.enabled);
        RECT rect{};
        GetWindowRect(grid, &rect);
        POINT corner{rect.left, rect.top};
        ScreenToClient(page, &corner);
        EXPECT_EQ(corner.x, kGridLeft);
        EXPECT_EQ(corner.y, kGridTop);
        EXPECT_EQ(rect.right - rect.left, 24 * kCellWidth) << "whole cells only";
        EXPECT_EQ(rect.bottom - rect.top, 7 * kCellHeight);

        const SheetPicture picture(page);
        EXPECT_GT(picture.left, kWindowBorder) << "the page lies inside the sheet's body";
        EXPECT_GT(picture.top, kWindowBorder + kCaptionHeight) << "the page lies below the tab row";
        auto at = [&](int x, int y) { return picture.At(kGridLeft + x, kGridTop + y); };
        if (c.enabled) {
            EXPECT_EQ(at(MiddleX(0), MiddleY(0)), kShadow) << "the forbidden hour, shown Sunday 00:00";
            EXPECT_EQ(at(MiddleX(1), MiddleY(0)), kWhite);
        } else {
            // No hour is shown, and none reads as allowed ("White: logon allowed"): every cell is hatched on
            // the button face, the forbidden one as the others, and nothing of the grid is white.
            for (int cell = 0; cell < 168; ++cell) {
                int face = 0;
                int shadow = 0;
                int white = 0;
                for (int y = (cell / 24) * kCellHeight + 1; y < (cell / 24 + 1) * kCellHeight; ++y)
                    for (int x = (cell % 24) * kCellWidth + 1; x < (cell % 24 + 1) * kCellWidth; ++x) {
                        face += at(x, y) == kFace ? 1 : 0;
                        shadow += at(x, y) == kShadow ? 1 : 0;
                        white += at(x, y) == kWhite ? 1 : 0;
                    }
                EXPECT_EQ(white, 0) << "cell " << cell;
                EXPECT_GT(face, 40) << "cell " << cell;
                EXPECT_GT(shadow, 5) << "cell " << cell << " is hatched";
            }
        }
        EXPECT_EQ(at(kCellWidth, MiddleY(2)), c.line);
        EXPECT_EQ(at(MiddleX(5), 3 * kCellHeight), c.line);
        EXPECT_EQ(at(0, MiddleY(3)), kBlack) << "the outer rectangle";
        EXPECT_EQ(at(MiddleX(3), 7 * kCellHeight - 1), kBlack) << "the outer rectangle";
        EXPECT_EQ(RenderCaptionedWindowToPng(GetParent(page), std::string(KELNT_BINARY_DIR) + "/hours-" +
                                                                  (c.enabled ? "enabled" : "disabled") +
                                                                  ".png"),
                  "");
        for (int label = 1114; label <= 1127; ++label) {
            EXPECT_TRUE(Visible(page, label)) << label;
        }
        EXPECT_EQ(ClickCell(page, 0, 0), c.enabled ? UiActionError::None : UiActionError::Disabled);
        m_sheet->Close(kEndPagesCancel);
        SignIn("Admin");
    }
}

TEST_F(NTUserPageHoursTest, OnlyTheWriteRightOnLoginAllowedTimeMapWithAReadableValueEnablesTheGrid) {
    const std::string who = "Clerk.Corp";
    AddObject(who, kClassUser);
    Grant(kCorp, who, kAclEntryRights, kDirEntryBrowse);
    StoreHours(kUser, Hours({30}));
    struct Case {
        const char* what;
        std::vector<std::pair<const char*, uint32_t>> grants; // on the user
        bool enabled;
    };
    const Case cases[] = {
        {"write the map, read the hours",
         {{kAttrLoginAllowedTimeMap, kDirRightWrite}, {kAttrLogonHours, kDirRightRead}},
         true},
        {"write the hours only", {{kAttrLogonHours, kDirRightRead | kDirRightWrite}}, false},
        // Enabled, the grid would show every hour allowed and a click would store that over hours never
        // shown.
        {"write the map, no read of the hours", {{kAttrLoginAllowedTimeMap, kDirRightWrite}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string user = std::string("u") + std::to_string(&c - cases) + ".NTD.Corp";
        AddObject(user, kClassNtUser);
        StoreHours(user, Hours({30}));
        for (auto [attr, rights] : c.grants) {
            Grant(user, who, attr, rights);
        }
        SignIn(who);
        HWND page = OpenHours(user);
        EXPECT_EQ(Enabled(page, kGrid), c.enabled);
        EXPECT_TRUE(Visible(page, kGrid));
        ASSERT_TRUE(m_sheet->Ok());
        SignIn("Admin");
        EXPECT_EQ(StoredHours(user), Hours({30}));
    }
}

TEST_F(NTUserPageHoursTest, HoursTheDirectoryRefusesAreShownAndKeptForTheNextApply) {
    // The right to the map without the right to the hours themselves: the grid is enabled, the write fails.
    const std::string who = "Clerk.Corp";
    AddObject(who, kClassUser);
    Grant(kCorp, who, kAclEntryRights, kDirEntryBrowse);
    Grant(kUser, who, kAttrLoginAllowedTimeMap, kDirRightWrite);
    Grant(kUser, who, kAttrLogonHours, kDirRightRead);
    StoreHours(kUser, Hours({}));
    SignIn(who);
    HWND page = OpenHours(kUser);
    ASSERT_EQ(ClickCell(page, 4, 4), UiActionError::None);
    m_hostLines.clear();
    EXPECT_FALSE(m_sheet->Ok()) << "the sheet stays open";
    EXPECT_EQ(m_hostLines, (std::vector<std::string>{"-> 262 | -1"}));
    EXPECT_EQ(ShownIds(), (std::vector<int>{57530}));
    EXPECT_NE(Prompter::Instance().Messages()[0].text.find(kUser), std::string::npos);
    EXPECT_EQ(StoredHours(kUser), Hours({}));

    // Once the right is there, the same apply stores what was painted.
    SignIn("Admin");
    Grant(kUser, who, kAttrLogonHours, kDirRightWrite);
    SignIn(who);
    EXPECT_TRUE(m_sheet->Ok());
    EXPECT_EQ(StoredHours(kUser), Hours({100}));
}

TEST_F(NTUserPageHoursTest, APageServesTheNextSheetWithoutWritingTheLastUsersHours) {
    struct Case {
        const char* what;
        bool applyFirst;       // the first sheet is applied (else cancelled)
        bool showPageOnSecond; // the host creates the page's window for the second object
    };
    const Case cases[] = {
        {"applied, next sheet shown untouched", true, true},
        {"applied, next applied without the page", true, false},
        {"cancelled, next applied without the page", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string other = std::string("o") + std::to_string(&c - cases) + ".NTD.Corp";
        AddObject(other, kClassNtUser);
        StoreHours(kUser, Hours({}));
        HWND page = OpenHours(kUser);
        ASSERT_EQ(DragCells(page, 0, 0, 6, 23), UiActionError::None);
        if (c.applyFirst) {
            ASSERT_TRUE(m_sheet->Ok());
        } else {
            EXPECT_EQ(m_sheet->Close(kEndPagesCancel), 0);
        }
        if (c.showPageOnSecond) {
            OpenHours(other);
            ASSERT_TRUE(m_sheet->Ok());
        } else {
            // A host that makes a page's window only when its tab is shown.
            HostServices& host = HostServices::Instance();
            EXPECT_TRUE(host.SendToClass(kClassNtUser, other, SNAP_GET_PAGE_COUNT).has_value());
            EXPECT_EQ(host.SendToClass(kClassNtUser, other, SNAP_APPLY_PAGES), 0);
            EXPECT_EQ(host.SendToClass(kClassNtUser, other, SNAP_END_PAGES, kEndPagesOk), 0);
        }
        EXPECT_EQ(StoredHours(other), std::nullopt);
        EXPECT_EQ(StoredHours(kUser), c.applyFirst ? Bytes(21, '\0') : Hours({}));
    }

    // Within one sheet, a second apply writes nothing that was not painted since the first.
    HWND page = OpenHours(kUser);
    ASSERT_EQ(ClickCell(page, 0, 0), UiActionError::None);
    ASSERT_EQ(m_sheet->Apply().answer, 0);
    StoreHours(kUser, Hours({7}));
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(StoredHours(kUser), Hours({7}));
}

TEST_F(NTUserPageHoursTest, AnAccountOfAWorkgroupSystemShowsOnlyItsNoteAndNeverWritesHours) {
    HWND page = OpenHours(kWorkgroupUser);
    EXPECT_TRUE(Visible(page, 1128));
    for (int id = 1113; id <= 1127; ++id) {
        EXPECT_FALSE(Visible(page, id)) << id;
    }
    EXPECT_EQ(ClickCell(page, 0, 0), UiActionError::Hidden);
    SendMessageA(page, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(m_sheet->Changes().empty());
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(StoredHours(kWorkgroupUser), std::nullopt);

    // The same page object shows the grid again for an account of a domain.
    page = OpenHours(kUser);
    EXPECT_FALSE(Visible(page, 1128));
    EXPECT_TRUE(Visible(page, kGrid));
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(NTUserPageHoursTest, WithoutAHostContextThePageShowsNothingAndWritesNothing) {
    StoreHours(kUser, Hours({3}));
    HostServices::Instance().SetQueryContextAnswer(-1);
    HWND page = OpenHours(kUser);
    for (int id = 1113; id <= 1128; ++id) {
        EXPECT_FALSE(Visible(page, id)) << id;
    }
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(StoredHours(kUser), Hours({3}));
}

TEST_F(NTUserPageHoursTest, ThePageValidatesAndOpensItsHelp) {
    HWND page = OpenHours(kUser);
    EXPECT_EQ(m_sheet->PageTitle(m_sheet->FindPage("Logon Hours")), "Logon Hours");
    EXPECT_EQ(GetDialogTemplateId(page), 159u);
    EXPECT_EQ(SendMessageA(page, kMsgPageValidate, 0, 0), 1);
    EXPECT_EQ(SendMessageA(page, kMsgPageHelp, 0, 0), 0);
    ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
    EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, 37u);
    m_sheet->Close(kEndPagesCancel);
}
