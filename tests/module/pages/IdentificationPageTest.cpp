// The identification pages as an administrator meets them: open the details of a domain, workgroup system
// or group as the host does, type into the description, apply, and find it in the directory.
#include "ModuleWorld.h"

#include "host/services/HostServices.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/Gdi.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/Prompter.h"

#include <algorithm>

namespace {

struct PageCase {
    const char* className;
    const char* object;
    int descriptionId;
    int nameId;
    UINT templateId;
    UINT helpContext;
    bool oneReportUntilWritten; // domain and workstation: one report until a write; groups: every change
};

const PageCase kPages[] = {
    {kClassNtDomain, kDomain, 1030, 1027, 112, 14, true},
    {kClassNtWorkgroupSystem, kWorkstation, 1044, 1042, 116, 18, true},
    {kClassNtGlobalGroup, kGlobalGroup, 1060, 1058, 123, 22, false},
    {kClassNtLocalGroup, kLocalGroup, 1220, 1221, 126, 25, false},
};

std::string Text(HWND page, int id) {
    return GetWindowTextString(GetDlgItem(page, id));
}

bool Enabled(HWND page, int id) {
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

class IdentificationPageTest : public ModuleWorld {};

TEST_F(IdentificationPageTest, AnAdministratorEditsEachDescriptionAndFindsItInTheDirectory) {
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Before");
        m_hostLines.clear();
        OpenDetails(page.className, page.object);
        ASSERT_EQ(m_sheet->FindPage("Identification"), 0) << "the identification page comes first";
        HWND window = m_sheet->Page(0);
        EXPECT_EQ(GetDialogTemplateId(window), page.templateId);
        EXPECT_EQ(m_sheet->PageTitle(0), "Identification");
        EXPECT_EQ(Text(window, page.nameId), page.object);
        EXPECT_EQ(Text(window, page.descriptionId), "Before");
        EXPECT_TRUE(Enabled(window, page.descriptionId));
        EXPECT_TRUE(m_sheet->Changes().empty()) << "putting the loaded values in is no change";

        ASSERT_EQ(TypeText(window, page.descriptionId, "Main site"), UiActionError::None);
        size_t reports = page.oneReportUntilWritten ? 1u : std::string("Main site").size();
        EXPECT_EQ(m_sheet->Changes().size(), reports);
        EXPECT_EQ(m_sheet->Changes().front(), 0);
        EXPECT_EQ(Description(page.object), "Before") << "nothing is written before the sheet is applied";

        HostSheet::ApplyResult applied = m_sheet->Apply();
        EXPECT_EQ(applied.refusedPage, -1);
        EXPECT_EQ(applied.answer, 0);
        EXPECT_TRUE(HasLine(m_hostLines, "-> 262 | 0"));
        EXPECT_EQ(Description(page.object), "Main site");
        EXPECT_EQ(m_sheet->Close(kEndPagesOk), 0);
        EXPECT_STREQ(GetCurrentObjectName(), "") << "the sheet's end empties the current object";
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}

TEST_F(IdentificationPageTest, TheDomainPageReportsItsFirstChangeOnlyUntilItIsWritten) {
    OpenDetails(kClassNtDomain, kDomain);
    HWND page = m_sheet->Page(0);
    ASSERT_EQ(TypeText(page, 1030, "ab"), UiActionError::None);
    ASSERT_EQ(ClearText(page, 1030), UiActionError::None);
    ASSERT_EQ(TypeText(page, 1030, "c"), UiActionError::None);
    EXPECT_EQ(m_sheet->Changes().size(), 1u) << "typed, then changed again: one report";
    EXPECT_EQ(m_hostLines.back(), "changed | 0");

    ASSERT_EQ(m_sheet->Apply().refusedPage, -1);
    EXPECT_EQ(Description(kDomain), "c");
    ASSERT_EQ(TypeText(page, 1030, "d"), UiActionError::None);
    EXPECT_EQ(m_sheet->Changes().size(), 2u) << "after a write the next change is reported again";
}

TEST_F(IdentificationPageTest, ClearingADescriptionAndApplyingRemovesIt) {
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Obsolete");
        OpenDetails(page.className, page.object);
        ASSERT_EQ(ClearText(m_sheet->Page(0), page.descriptionId), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        CDirContext dir;
        void* value = nullptr;
        EXPECT_EQ(ReadAttrValue(dir.Get(), page.object, kAttrDescription, kSyntaxCaseIgnoreString, &value),
                  0);
        EXPECT_EQ(value, nullptr) << "the attribute has no value left";
    }
}

TEST_F(IdentificationPageTest, AnUnchangedPageWritesNothingWhenTheSheetIsApplied) {
    // Someone else changes the description while the sheet is open: applying a sheet whose page was not
    // touched must not put the old text back.
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Seen when opened");
        OpenDetails(page.className, page.object);
        SetDescription(page.object, "Changed meanwhile");
        ASSERT_EQ(m_sheet->Apply().refusedPage, -1);
        EXPECT_EQ(Description(page.object), "Changed meanwhile");
        m_sheet->Close(kEndPagesOk);
    }
}

TEST_F(IdentificationPageTest, ADescriptionThatCouldNotBeReadIsNeverErased) {
    // Another tool stored a description longer than the page's read takes: the page comes up with the
    // field enabled and empty. Applying the sheet must not erase what is stored.
    const std::string stored(6000, 'd');
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetLongDescription(page.object, stored);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        EXPECT_TRUE(Enabled(window, page.descriptionId));
        EXPECT_EQ(Text(window, page.descriptionId), "");
        ASSERT_EQ(m_sheet->Apply().refusedPage, -1);
        EXPECT_EQ(Description(page.object), stored);

        // What the administrator does type is written.
        ASSERT_EQ(TypeText(window, page.descriptionId, "Shorter"), UiActionError::None);
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Description(page.object), "Shorter");
    }
}

TEST_F(IdentificationPageTest, AReusedPageShowsAndWritesOnlyTheNextObjectsValues) {
    AddObject("NTD2.Corp", kClassNtDomain);
    SetDescription(kDomain, "First domain");
    OpenDetails(kClassNtDomain, kDomain);
    ASSERT_EQ(TypeText(m_sheet->Page(0), 1030, "Typed, then cancelled"), UiActionError::None);
    EXPECT_EQ(m_sheet->Close(kEndPagesCancel), 0);

    OpenDetails(kClassNtDomain, "NTD2.Corp");
    HWND page = m_sheet->Page(0);
    EXPECT_EQ(Text(page, 1027), "NTD2.Corp");
    EXPECT_EQ(Text(page, 1030), "");
    ASSERT_TRUE(m_sheet->Ok());
    EXPECT_EQ(Description("NTD2.Corp"), "") << "the cancelled text of the first sheet is not written here";
    EXPECT_EQ(Description(kDomain), "First domain");
}

TEST_F(IdentificationPageTest, WithoutTheWriteRightTheFieldIsDisabledAndADirectWriteIsRefused) {
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Read only");
        SignIn(kReader);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        EXPECT_EQ(Text(window, page.descriptionId), "Read only");
        EXPECT_FALSE(Enabled(window, page.descriptionId));
        EXPECT_EQ(TypeText(window, page.descriptionId, "x"), UiActionError::Disabled);
        // Even text put into the field behind the person's back is neither reported nor written.
        SendMessageA(GetDlgItem(window, page.descriptionId), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>("Around the page"));
        if (!page.oneReportUntilWritten) {
            EXPECT_TRUE(m_sheet->Changes().empty()) << "a group page ignores changes it may not write";
        }
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Description(page.object), "Read only");

        // Going around the page: the directory refuses the reader's write.
        CDirContext dir;
        EXPECT_EQ(SetAttrValue(dir.Get(), page.object, kAttrDescription, kSyntaxCaseIgnoreString, "Forced"),
                  0);
        EXPECT_EQ(GetLastAttrError(), kDirErrNoRight);
        EXPECT_EQ(Description(page.object), "Read only");
        SignIn("Admin");
    }
}

TEST_F(IdentificationPageTest, WithoutTheReadRightTheFieldIsEmptyDisabledAndNeverWritten) {
    // A grant to write without one to read: the person would overwrite a text never shown.
    const std::string writer = "Writer.Corp";
    AddObject(writer.c_str(), kClassUser);
    Grant(kCorp, writer, kAclEntryRights, kDirEntryBrowse);
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Hidden");
        Grant(page.object, writer, kAttrDescription, kDirRightWrite);
        SignIn(writer);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        EXPECT_EQ(Text(window, page.descriptionId), "");
        EXPECT_FALSE(Enabled(window, page.descriptionId));
        EXPECT_EQ(TypeText(window, page.descriptionId, "x"), UiActionError::Disabled);
        ASSERT_TRUE(m_sheet->Ok());
        SignIn("Admin");
        EXPECT_EQ(Description(page.object), "Hidden");
    }
}

TEST_F(IdentificationPageTest, WithoutAHostContextNothingIsReadOrWritten) {
    HostServices::Instance().SetQueryContextAnswer(-1);
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        SetDescription(page.object, "Kept");
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        EXPECT_EQ(Text(window, page.nameId), "");
        EXPECT_EQ(Text(window, page.descriptionId), "");
        EXPECT_FALSE(Enabled(window, page.descriptionId)) << "as the template lays it out";
        ASSERT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Description(page.object), "Kept");
    }
}

TEST_F(IdentificationPageTest, PagesValidateAndOpenTheirHelp) {
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        Prompter::Instance().Reset();
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        EXPECT_EQ(SendMessageA(window, kMsgPageValidate, 0, 0), 1);
        EXPECT_EQ(SendMessageA(window, kMsgPageHelp, 0, 0), 0);
        ASSERT_EQ(Prompter::Instance().HelpCalls().size(), 1u);
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].data, page.helpContext);
        EXPECT_EQ(Prompter::Instance().HelpCalls()[0].command, static_cast<UINT>(HELP_CONTEXT));
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(IdentificationPageTest, OnlyTheDomainPageDrawsDisabledFieldsOnLightGrey) {
    SignIn(kReader);
    struct ColourCase {
        const char* className;
        const char* object;
        int descriptionId;
        bool lightGrey;
    };
    for (const ColourCase& page : {ColourCase{kClassNtDomain, kDomain, 1030, true},
                                   ColourCase{kClassNtWorkgroupSystem, kWorkstation, 1044, false}}) {
        SCOPED_TRACE(page.className);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        HWND field = GetDlgItem(window, page.descriptionId);
        ASSERT_FALSE(IsWindowEnabled(field));
        HDC dc = GetDC(field);
        LRESULT brush = SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(field));
        EXPECT_EQ(brush == reinterpret_cast<LRESULT>(GetStockObject(LTGRAY_BRUSH)), page.lightGrey);
        if (page.lightGrey) {
            EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
            EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
        }
        ReleaseDC(field, dc);
        // An enabled field keeps the dialog's colours.
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(IdentificationPageTest, TheRenderedPagesShowADisabledDescriptionOnLightGrey) {
    SetDescription(kDomain, "Shown");
    SignIn(kReader);
    struct RenderCase {
        const char* className;
        const char* object;
        int descriptionId;
        const char* picture;
    };
    for (const RenderCase& page : {RenderCase{kClassNtDomain, kDomain, 1030, "domain"},
                                   RenderCase{kClassNtWorkgroupSystem, kWorkstation, 1044, "workstation"}}) {
        SCOPED_TRACE(page.className);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        int width = 0;
        int height = 0;
        std::vector<uint32_t> pixels = RenderWindowPixels(window, &width, &height);
        RECT field{};
        GetWindowRect(GetDlgItem(window, page.descriptionId), &field);
        POINT corner{field.right - 4, field.bottom - 4};
        ScreenToClient(window, &corner);
        ASSERT_LT(corner.x, width);
        ASSERT_LT(corner.y, height);
        uint32_t shown = pixels[static_cast<size_t>(corner.y) * static_cast<size_t>(width) + corner.x];
        // A disabled edit asks for the colours of static text, as the platform's does, so the workstation's
        // field, which its page leaves to the default, stands on the button face as well.
        EXPECT_EQ(shown, 0xC0C0C0u) << std::hex << shown;
        std::string png = std::string(KELNT_BINARY_DIR) + "/" + page.picture + "-identification.png";
        EXPECT_EQ(RenderWindowToPng(window, png), "");
        m_sheet->Close(kEndPagesCancel);
    }
}

TEST_F(IdentificationPageTest, ADescriptionTheDirectoryRefusesIsShownAndKeptForTheNextApply) {
    // More text than one write request holds: the directory cannot take it.
    const std::string tooLong(4100, 'x');
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        Prompter::Instance().Reset();
        SetDescription(page.object, "Before");
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        ASSERT_EQ(TypeText(window, page.descriptionId, tooLong), UiActionError::None);
        m_hostLines.clear();
        EXPECT_FALSE(m_sheet->Ok()) << "the sheet stays open";
        EXPECT_EQ(m_hostLines, (std::vector<std::string>{"-> 262 | -1"}));
        EXPECT_EQ(ShownIds(), (std::vector<int>{57501}));
        EXPECT_NE(Prompter::Instance().Messages()[0].text.find(page.object), std::string::npos);
        EXPECT_EQ(Description(page.object), "Before");
        EXPECT_EQ(Text(window, page.descriptionId), tooLong) << "what was typed is still there";

        ASSERT_EQ(TypeText(window, page.descriptionId, "Fits"), UiActionError::None);
        EXPECT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Description(page.object), "Fits");
    }
}

TEST_F(IdentificationPageTest, ClearingADescriptionThatWasNeverStoredIsNoError) {
    for (const PageCase& page : kPages) {
        SCOPED_TRACE(page.className);
        OpenDetails(page.className, page.object);
        HWND window = m_sheet->Page(0);
        ASSERT_EQ(TypeText(window, page.descriptionId, "x"), UiActionError::None);
        ASSERT_EQ(ClearText(window, page.descriptionId), UiActionError::None);
        EXPECT_TRUE(m_sheet->Ok());
        EXPECT_EQ(Description(page.object), "");
    }
    EXPECT_TRUE(Prompter::Instance().Messages().empty());
}
