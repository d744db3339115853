// `render` as a person uses it: run cvadmin on the sample, draw an open sheet, wizard or dialog to a PNG
// file, and look at the picture: the caption bar with its text in a real (anti-aliased) font, the tab row
// with the current tab opening into the page, the buttons with Apply grey until something changed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

using testrun::Quote;
using testrun::ReadFile;

uint32_t BigEndian(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// A picture read back from the PNG file cvadmin wrote (8-bit RGB rows, as a PNG reader takes them).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB

    [[nodiscard]] uint32_t At(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    // Runs of one colour along row y: [start, end) pairs.
    [[nodiscard]] std::vector<std::pair<int, int>> Runs(int y, uint32_t colour) const {
        std::vector<std::pair<int, int>> runs;
        for (int x = 0; x < width; ++x) {
            if (At(x, y) != colour)
                continue;
            int start = x;
            while (x < width && At(x, y) == colour)
                ++x;
            runs.emplace_back(start, x);
        }
        return runs;
    }
};

// Reads the file as a PNG reader does; an empty picture (and a test failure) for anything it cannot read.
Picture ReadPng(const fs::path& path) {
    Picture picture;
    std::string file = ReadFile(path);
    if (file.size() < 8 || file.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) {
        ADD_FAILURE() << path << " is no PNG file";
        return picture;
    }
    std::string compressed;
    for (size_t at = 8; at + 12 <= file.size();) {
        uint32_t length = BigEndian(file, at);
        std::string type = file.substr(at + 4, 4);
        std::string data = file.substr(at + 8, length);
        uint32_t crc = BigEndian(file, at + 8 + length);
        EXPECT_EQ(crc, crc32(0L, reinterpret_cast<const Bytef*>(file.data() + at + 4), length + 4)) << type;
        if (type == "IHDR") {
            picture.width = static_cast<int>(BigEndian(data, 0));
            picture.height = static_cast<int>(BigEndian(data, 4));
            EXPECT_EQ(data[8], 8) << "bit depth";
            EXPECT_EQ(data[9], 2) << "RGB";
        } else if (type == "IDAT") {
            compressed += data;
        }
        at += 12 + length;
    }
    size_t stride = 1 + 3 * static_cast<size_t>(picture.width);
    std::vector<unsigned char> raw(stride * static_cast<size_t>(picture.height));
    uLongf size = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(compressed.data()),
                   static_cast<uLong>(compressed.size())) != Z_OK ||
        size != raw.size()) {
        ADD_FAILURE() << path << ": the image data does not inflate to its rows";
        return Picture{};
    }
    std::vector<unsigned char> previous(stride, 0);
    for (int y = 0; y < picture.height; ++y) {
        unsigned char* row = raw.data() + static_cast<size_t>(y) * stride;
        // The writer is free to filter rows; undo the filters a PNG reader knows.
        for (size_t i = 1; i < stride; ++i) {
            int left = i > 3 ? row[i - 3] : 0;
            int up = previous[i];
            int upLeft = i > 3 ? previous[i - 3] : 0;
            int add = 0;
            switch (row[0]) {
            case 0:
                add = 0;
                break;
            case 1:
                add = left;
                break;
            case 2:
                add = up;
                break;
            case 3:
                add = (left + up) / 2;
                break;
            case 4: {
                int p = left + up - upLeft;
                int pa = std::abs(p - left), pb = std::abs(p - up), pc = std::abs(p - upLeft);
                add = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
                break;
            }
            default:
                ADD_FAILURE() << "filter " << int(row[0]);
                return Picture{};
            }
            row[i] = static_cast<unsigned char>(row[i] + add);
        }
        for (int x = 0; x < picture.width; ++x) {
            const unsigned char* p = row + 1 + 3 * static_cast<size_t>(x);
            picture.pixels.push_back((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]);
        }
        previous.assign(row, row + stride);
    }
    return picture;
}

constexpr uint32_t kCaptionBlue = 0x000080;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFace = 0xC0C0C0;
constexpr uint32_t kBlack = 0x000000;

// The rows of the caption bar: those whose middle half is mostly the caption's blue.
std::pair<int, int> CaptionRows(const Picture& picture) {
    int first = -1;
    int last = -1;
    for (int y = 0; y < picture.height / 2; ++y) {
        int blue = 0;
        for (int x = 0; x < picture.width; ++x)
            blue += picture.At(x, y) == kCaptionBlue ? 1 : 0;
        if (blue > picture.width / 2) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return {first, last};
}

// Pixels of the caption's text: not the bar's blue. Anti-aliased text has many shades between the bar and
// the white ink; a bitmap font has none.
struct CaptionInk {
    int white = 0;
    int shades = 0;
};
CaptionInk InkOfCaption(const Picture& picture) {
    CaptionInk ink;
    auto [first, last] = CaptionRows(picture);
    for (int y = first; y <= last && first >= 0; ++y)
        for (int x = 0; x < picture.width / 2; ++x) {
            uint32_t p = picture.At(x, y);
            ink.white += p == kWhite ? 1 : 0;
            ink.shades += p != kWhite && p != kCaptionBlue && p != kFace && (p & 0xFF) >= 0x80 ? 1 : 0;
        }
    return ink;
}

struct ButtonBox {
    int left = 0;
    int right = 0;  // exclusive
    int top = 0;    // the light top edge
    int bottom = 0; // the black bottom edge
};

// The push buttons of the picture, ordered by their lower edge and then left to right: a button's lower
// edge is a black line between 30 pixels and half the picture long, and up its middle lies its light top
// edge.
std::vector<ButtonBox> Buttons(const Picture& picture) {
    std::vector<ButtonBox> buttons;
    for (int y = 1; y < picture.height; ++y)
        for (const auto& run : picture.Runs(y, kBlack)) {
            if (run.second - run.first < 30 || run.second - run.first > picture.width / 2)
                continue;
            ButtonBox box{run.first, run.second, y - 1, y};
            int middle = (run.first + run.second) / 2;
            while (box.top > y - 40 && box.top > 0 && picture.At(middle, box.top) != kWhite)
                --box.top;
            if (picture.At(middle, box.top) == kWhite && y - box.top >= 12)
                buttons.push_back(box);
        }
    return buttons;
}

// The buttons whose lower edges stand lowest in the picture: the row under a sheet or wizard.
std::vector<ButtonBox> BottomButtons(const Picture& picture) {
    std::vector<ButtonBox> all = Buttons(picture);
    std::vector<ButtonBox> lowest;
    for (const ButtonBox& box : all)
        if (box.bottom == all.back().bottom)
            lowest.push_back(box);
    return lowest;
}

// The darkest grey inside a button (its label): near black for an enabled button, the grey text colour for
// a disabled one (anti-aliased ink reaches its full colour only where a glyph covers a whole pixel).
int DarkestInside(const Picture& picture, const ButtonBox& box) {
    int darkest = 255;
    for (int y = box.top + 3; y < box.bottom - 2; ++y)
        for (int x = box.left + 3; x < box.right - 3; ++x)
            darkest = std::min(darkest, int(picture.At(x, y) & 0xFF));
    return darkest;
}

// The body's top edge: the first row below the caption with a white line across most of the picture, and
// the gap in it (the face colour, at least 10 pixels) where the current tab opens into the page.
struct TabOpening {
    int row = -1;
    int left = -1;
    int right = -1;
};
TabOpening FindTabOpening(const Picture& picture) {
    auto [first, last] = CaptionRows(picture);
    for (int y = last + 1; y < picture.height; ++y) {
        int longest = 0;
        for (const auto& run : picture.Runs(y, kWhite))
            longest = std::max(longest, run.second - run.first);
        if (longest < picture.width * 2 / 5)
            continue;
        TabOpening opening{y, -1, -1};
        for (const auto& run : picture.Runs(y, kFace))
            if (run.second - run.first >= 10) {
                EXPECT_EQ(opening.left, -1) << "one opening in row " << y;
                opening.left = run.first;
                opening.right = run.second;
            }
        return opening;
    }
    return {};
}

class CvadminRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Run("", {"sample", "sample.db"}), 0) << m_err;
    }

    // Runs cvadmin in the test's folder with `environment` (assignments) before it; answers the exit status.
    int Run(const std::string& environment, const std::vector<std::string>& args) {
        std::string command = environment + " " + Quote(testrun::Program("cvadmin"));
        for (const std::string& a : args)
            command += " " + Quote(a);
        const testrun::RunResult result = testrun::RunIn(m_dir, command, std::string());
        m_out = result.out;
        m_err = result.err;
        return result.status;
    }
    int AsAdmin(const std::string& commands, const std::string& environment = "") {
        return Run(environment, {"--store", "sample.db", "--registry", "r.reg", "--login", "Admin",
                                 "--password", "admin-secret", "-c", commands});
    }

    testrun::ScratchFolder m_scratch{"cvadmin-render"};
    fs::path m_dir = m_scratch.Path();
    std::string m_out;
    std::string m_err;
};

TEST_F(CvadminRenderTest, ADetailsSheetIsDrawnWholeWithCaptionTabsAndButtons) {
    ASSERT_EQ(AsAdmin("details NTDOM.Corp; render first.png; type 1030 Changed; render changed.png; "
                      "page 1; render second.png"),
              0)
        << m_err;
    Picture first = ReadPng(m_dir / "first.png");
    Picture changed = ReadPng(m_dir / "changed.png");
    Picture second = ReadPng(m_dir / "second.png");
    ASSERT_GT(first.width, 0);

    // The caption bar names the object in anti-aliased text.
    auto [captionTop, captionBottom] = CaptionRows(first);
    ASSERT_GE(captionTop, 0) << "no caption bar";
    EXPECT_GE(captionBottom - captionTop, 12);
    CaptionInk ink = InkOfCaption(first);
    EXPECT_GT(ink.white, 20) << "the caption shows text";
    EXPECT_GT(ink.shades, 20) << "its edges are mixed with the bar: a real font, not the built-in one";

    // The tab row: the current tab opens into the body; another current page opens it further right.
    TabOpening onFirst = FindTabOpening(first);
    TabOpening onSecond = FindTabOpening(second);
    ASSERT_GT(onFirst.row, captionBottom) << "no tab row over the page";
    EXPECT_EQ(onSecond.row, onFirst.row);
    EXPECT_GT(onFirst.right - onFirst.left, 20);
    EXPECT_GT(onSecond.left, (onFirst.left + onFirst.right) / 2)
        << "the second tab stands right of the first";
    // Above the body, inside each opening, the tab's title is drawn.
    int labelInk = 0;
    for (int y = captionBottom + 1; y < onFirst.row; ++y)
        for (int x = onFirst.left; x < onFirst.right; ++x)
            labelInk += (first.At(x, y) & 0xFF) < 0x60 ? 1 : 0;
    EXPECT_GT(labelInk, 10) << "the current tab's title";

    // OK, Cancel and Apply under the page; Apply grey until a page reports a change.
    std::vector<ButtonBox> buttons = BottomButtons(first);
    ASSERT_EQ(buttons.size(), 3u);
    EXPECT_GT(buttons[0].top, onFirst.row) << "the buttons stand under the page";
    EXPECT_GE(buttons[0].bottom - buttons[0].top, 16);
    EXPECT_LT(DarkestInside(first, buttons[0]), 0x40) << "OK is enabled: black text";
    EXPECT_GE(DarkestInside(first, buttons[2]), 0x7C) << "Apply is grey: nothing changed yet";
    EXPECT_LT(DarkestInside(first, buttons[2]), 0xA0) << "Apply shows its grey title";
    std::vector<ButtonBox> afterTyping = BottomButtons(changed);
    ASSERT_EQ(afterTyping.size(), 3u);
    EXPECT_LT(DarkestInside(changed, afterTyping[2]), 0x40) << "Apply is enabled after a change";

    // The typed text shows on the page, inside the body and above the buttons: pixels that differ between
    // the two pictures lie there and nowhere else (apart from Apply).
    int changedPage = 0;
    int elsewhere = 0;
    for (int y = 0; y < first.height; ++y)
        for (int x = 0; x < first.width; ++x) {
            if (first.At(x, y) == changed.At(x, y))
                continue;
            bool inApply = x >= afterTyping[2].left && x < afterTyping[2].right && y >= afterTyping[2].top &&
                           y <= afterTyping[2].bottom;
            bool onPage = y > onFirst.row && y < buttons[0].top;
            changedPage += !inApply && onPage ? 1 : 0;
            elsewhere += !inApply && !onPage ? 1 : 0;
        }
    EXPECT_EQ(elsewhere, 0) << "only the page and Apply change";
    EXPECT_GT(changedPage, 30) << "the typed description";
}

TEST_F(CvadminRenderTest, AWizardAndACreationDialogAreDrawnWithTheirCaptionAndButtons) {
    struct Case {
        const char* commands;
        size_t buttons;   // push buttons in the picture
        size_t bottomRow; // of them, in the lowest row
        bool firstGrey;   // the first of the lowest row is disabled
    } cases[] = {
        // Back (grey on the first page), Next and Cancel under the page; Finish takes Next's place on the
        // last page.
        {"details Mary.Sales.Corp; page 'NT Accounts'; click 124; render out.png", 3, 3, true},
        // Create, Cancel and Help, one under the other at the right.
        {"create 'KEL:NT User' NTDOM.Corp; render out.png", 3, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commands);
        fs::remove(m_dir / "out.png");
        ASSERT_EQ(AsAdmin(c.commands), 0) << m_err;
        Picture picture = ReadPng(m_dir / "out.png");
        ASSERT_GT(picture.width, 0);
        EXPECT_GE(CaptionRows(picture).first, 0) << "a caption bar";
        CaptionInk ink = InkOfCaption(picture);
        EXPECT_GT(ink.shades, 20) << "anti-aliased caption text";
        EXPECT_EQ(Buttons(picture).size(), c.buttons);
        std::vector<ButtonBox> bottom = BottomButtons(picture);
        ASSERT_EQ(bottom.size(), c.bottomRow);
        EXPECT_EQ(DarkestInside(picture, bottom.front()) >= 0x7C, c.firstGrey);
        EXPECT_LT(DarkestInside(picture, bottom.back()), 0x40) << "the last is enabled";
    }
}

TEST_F(CvadminRenderTest, CharactersTheMainFontLacksComeFromAnotherFont) {
    // DejaVu Sans has no Chinese or Japanese; a font found through fontconfig draws them (scripts/setup.sh
    // installs fonts-wqy-microhei). Drawn as the main font's "missing" box, two different characters would
    // look the same.
    ASSERT_EQ(AsAdmin("details jdoe.NTDOM.Corp; clear 1016; render none.png; type 1016 三三三三; "
                      "render san.png; type 1016 張張張張; render zhang.png; type 1016 日本語テキスト; "
                      "render japanese.png"),
              0)
        << m_err;
    Picture none = ReadPng(m_dir / "none.png");
    auto differing = [&](const Picture& a, const Picture& b) {
        int count = 0;
        for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
            count += a.pixels[i] != b.pixels[i] ? 1 : 0;
        return count;
    };
    Picture san = ReadPng(m_dir / "san.png");
    Picture zhang = ReadPng(m_dir / "zhang.png");
    Picture japanese = ReadPng(m_dir / "japanese.png");
    ASSERT_GT(none.width, 0);
    for (const Picture* typed : {&san, &zhang, &japanese})
        EXPECT_GT(differing(none, *typed), 40) << "the typed characters show";
    EXPECT_GT(differing(san, zhang), 40)
        << "三 and 張 look different: neither is an empty box (is a CJK font "
           "such as fonts-wqy-microhei installed?)";
}

TEST_F(CvadminRenderTest, ACaptionLongerThanItsBarEndsInAnEllipsis) {
    const std::string unit = "Administrators of the northern regional sales office branch.Sales.Corp";
    ASSERT_EQ(AsAdmin("dir add '" + unit + "' 'Organizational Unit'; dir add 'Kim." + unit +
                      "' User; details 'Kim." + unit + "'; render out.png"),
              0)
        << m_err;
    Picture picture = ReadPng(m_dir / "out.png");
    ASSERT_GT(picture.width, 0);
    auto [first, last] = CaptionRows(picture);
    ASSERT_GE(first, 0);
    // The close box at the bar's right end: from the right, the frame, a little of the bar, then the box.
    int middle = (first + last) / 2;
    int x = picture.width - 1;
    while (x > 0 && picture.At(x, middle) != kCaptionBlue)
        --x;
    while (x > 0 && picture.At(x, middle) == kCaptionBlue)
        --x;
    while (x > 0 && picture.At(x, middle) != kCaptionBlue)
        --x;
    const int boxLeft = x + 1;
    // The caption's ink (white letters on the blue bar) left of the box, as runs of columns: letters and the
    // three dots that end a cut caption.
    struct Mark {
        int left = 0;
        int right = 0; // exclusive
        int top = 1 << 30;
        int bottom = -1; // inclusive
    };
    std::vector<Mark> marks;
    for (int column = 0; column < boxLeft; ++column) {
        int top = 1 << 30;
        int bottom = -1;
        for (int y = first; y <= last; ++y)
            if ((picture.At(column, y) >> 16) > 0x60) {
                top = std::min(top, y);
                bottom = y;
            }
        if (bottom < 0)
            continue;
        if (marks.empty() || marks.back().right != column)
            marks.push_back(Mark{column, column, top, bottom});
        marks.back().right = column + 1;
        marks.back().top = std::min(marks.back().top, top);
        marks.back().bottom = std::max(marks.back().bottom, bottom);
    }
    ASSERT_GE(marks.size(), 10u) << "the caption shows text";
    EXPECT_LT(marks.back().right, boxLeft - 2) << "the text ends before the close box, nothing cut";
    for (size_t i = marks.size() - 3; i < marks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LE(marks[i].right - marks[i].left, 3) << "a dot";
        EXPECT_LE(marks[i].bottom - marks[i].top, 2) << "a dot";
        EXPECT_EQ(marks[i].bottom, marks.back().bottom) << "on the baseline";
    }
    EXPECT_GT(marks[marks.size() - 4].bottom - marks[marks.size() - 4].top, 3) << "a letter before the dots";
}

TEST_F(CvadminRenderTest, WithoutTheFontNoPictureIsWrittenAndThePersonIsToldWhy) {
    EXPECT_EQ(AsAdmin("details NTDOM.Corp; render out.png", "KELNT_FONT=/nonexistent/font.ttf"), 1);
    EXPECT_NE(m_err.find("error | 2 | render: the font file /nonexistent/font.ttf is missing"),
              std::string::npos)
        << m_err;
    EXPECT_NE(m_err.find("fonts-dejavu-core"), std::string::npos) << m_err;
    EXPECT_FALSE(fs::exists(m_dir / "out.png"));
}

} // namespace
