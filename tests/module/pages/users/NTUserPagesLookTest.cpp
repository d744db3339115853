// The NT user's pages as a person sees them in the sheet's picture: a drop-down list one line high until it
// is dropped, round radio buttons beside square check boxes, and fields that take no typing on the grey of
// the button face.
#include "SheetPicture.h"
#include "UserPagesWorld.h"

#include "module/pages/users/NTUserPage_ID.h"
#include "module/pages/users/NTUserPage_Profile.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kBlack = 0x000000;

} // namespace

class NTUserPagesLookTest : public UserPagesWorld {};

TEST_F(NTUserPagesLookTest, ADropDownListIsOneLineHighUntilItIsDropped) {
    HWND page = OpenPage(kUser, "Profile");
    ASSERT_EQ(Click(page, kIdcProfileConnect), UiActionError::None);
    ASSERT_EQ(Text(page, kIdcProfileDrive), "Z:");
    const RECT drive = ControlRect(page, kIdcProfileDrive);
    ASSERT_GE(drive.bottom - drive.top, 100) << "the template's height is that of the dropped list";
    RECT client{};
    GetClientRect(page, &client);
    const int right = drive.right - 4; // right of the drive's name, left of nothing but the list's edge
    const int below = drive.top + 40;  // under the closed box, inside the "Home directory" group

    const SheetPicture closed(page);
    EXPECT_EQ(closed.At(drive.left + 20, drive.top + 3), kWhite) << "the closed box";
    int boxBottom = drive.top + 1;
    while (boxBottom < drive.bottom && closed.At(drive.left + 20, boxBottom) == kWhite)
        ++boxBottom;
    EXPECT_LE(boxBottom - drive.top, 20) << "one line high";
    for (int y = boxBottom + 2; y < drive.top + 50; ++y)
        EXPECT_EQ(closed.At(right, y), kFace) << "the page shows under the closed list, row " << y;

    ASSERT_EQ(Click(page, kIdcProfileDrive), UiActionError::None);
    EXPECT_EQ(SendMessageA(GetDlgItem(page, kIdcProfileDrive), CB_GETDROPPEDSTATE, 0, 0), TRUE);
    const SheetPicture dropped(page);
    EXPECT_EQ(dropped.At(drive.left, below), kBlack) << "the list's frame";
    EXPECT_EQ(dropped.At(right, below), kWhite) << "the list over the group";
    int ink = 0;
    for (int y = boxBottom + 2; y < drive.bottom - 1; ++y)
        for (int x = drive.left + 1; x < drive.right - 1; ++x)
            ink += (dropped.At(x, y) & 0xFF) < 0x60 ? 1 : 0;
    EXPECT_GT(ink, 60) << "the drives' names";
    ASSERT_GT(drive.bottom, client.bottom + 10);
    EXPECT_EQ(dropped.At(right, client.bottom + 4), kWhite) << "the list goes on past the page's edge";

    ASSERT_EQ(ChooseItem(page, kIdcProfileDrive, "H:"), UiActionError::None);
    EXPECT_EQ(SendMessageA(GetDlgItem(page, kIdcProfileDrive), CB_GETDROPPEDSTATE, 0, 0), FALSE);
    const SheetPicture chosen(page);
    EXPECT_EQ(chosen.At(right, below), kFace) << "the chosen drive closes the list";

    // Dropped again, the list closes when the person turns to another field.
    ASSERT_EQ(Click(page, kIdcProfileDrive), UiActionError::None);
    EXPECT_EQ(SheetPicture(page).At(right, below), kWhite);
    ASSERT_EQ(FocusControl(page, kIdcProfileNetworkPath), UiActionError::None);
    EXPECT_EQ(SheetPicture(page).At(right, below), kFace);
    m_sheet->Close(kEndPagesCancel);
}

TEST_F(NTUserPagesLookTest, RadioButtonsAreRoundCheckBoxesSquareAndFieldsThatTakeNoTypingGrey) {
    struct BoxCase {
        const char* page;
        int id;
        bool round;
    };
    const BoxCase boxes[] = {
        {"Profile", kIdcProfileLocal, true},
        {"Profile", kIdcProfileConnect, true},
        {"Identification", kIdcNTUserMustChange, false},
    };
    for (const BoxCase& c : boxes) {
        SCOPED_TRACE(c.id);
        HWND page = OpenPage(kUser, c.page);
        const RECT r = ControlRect(page, c.id);
        const SheetPicture picture(page);
        // The box's top edge, found down the middle of its first 12 columns.
        int top = r.top;
        while (top < r.bottom && picture.At(r.left + 5, top) == kFace)
            ++top;
        ASSERT_LT(top, r.bottom) << "no box";
        EXPECT_EQ(picture.At(r.left + 5, top), kShadow) << "the sunken edge above";
        EXPECT_EQ(picture.At(r.left, top + 5), kShadow) << "the sunken edge at the left";
        EXPECT_EQ(picture.At(r.left, top), c.round ? kFace : kShadow) << "the box's corner";
        EXPECT_EQ(picture.At(r.left + 1, top + 1), c.round ? kFace : kWhite) << "inside the corner";
        m_sheet->Close(kEndPagesCancel);
    }

    struct FieldCase {
        const char* who;
        const char* page;
        int id;
        uint32_t colour;
    };
    const FieldCase fields[] = {
        {"Admin", "Identification", kIdcNTUserFullName, kWhite},
        {"Admin", "Identification", kIdcNTUserName, kFace}, // read-only
        {"Admin", "Profile", kIdcProfilePath, kWhite},
        {kReader, "Profile", kIdcProfilePath, kFace},      // read-only without the write right
        {kReader, "Profile", kIdcProfileLocalPath, kFace}, // disabled
    };
    for (const FieldCase& c : fields) {
        SCOPED_TRACE(std::string(c.who) + " " + std::to_string(c.id));
        SignIn(c.who);
        HWND page = OpenPage(kUser, c.page);
        ASSERT_EQ(Enabled(page, c.id) && !ReadOnly(page, c.id), c.colour == kWhite);
        const RECT r = ControlRect(page, c.id);
        EXPECT_EQ(SheetPicture(page).At(r.right - 4, (r.top + r.bottom) / 2), c.colour);
        m_sheet->Close(kEndPagesCancel);
    }
}
