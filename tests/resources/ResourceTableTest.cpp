#include "resources/ResourceTable.h"

#include <gtest/gtest.h>

using kelnt::rc::ResourceTable;

namespace {

TEST(ResourceTable, ReadsStringsDialogsAndBitmaps) {
    auto table = ResourceTable::Parse(R"(# a comment
COLOR . 800080
COLOR k 000000
STRINGTABLE
  4 "Tab\there, \"quoted\"\nnext line \\ done"
  57346 ""
END
BITMAP SmallBitmap 2 2
  COLOR w FFFFFF
  .k
  wk
END
ICON 134 1 1
  k
END
DIALOG 157 "Select Members" 0 0 200 120
  CONTROL 1095 listbox "" 8 20 180 80 ownerdraw multiple sorted
  CONTROL -1 static "Members of:" 8 6 60 10
  CONTROL -1 static "Second label" 8 8 60 10
  CONTROL 1 button "OK" 8 100 50 14 default disabled
END
DIALOG NamedOne "Named" 1 2 3 4
END
)");
    ASSERT_EQ(table->Error(), "");
    ASSERT_NE(table->FindString(4), nullptr);
    EXPECT_EQ(*table->FindString(4), "Tab\there, \"quoted\"\nnext line \\ done");
    ASSERT_NE(table->FindString(57346), nullptr);
    EXPECT_EQ(*table->FindString(57346), "");
    EXPECT_EQ(table->FindString(5), nullptr);

    const RcBitmap* bitmap = table->FindBitmap("SMALLBITMAP");
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap, table->FindBitmap("smallbitmap"));
    EXPECT_EQ(bitmap->width, 2);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->pixels[0], 0x800080u);
    EXPECT_EQ(bitmap->pixels[1], 0x000000u);
    EXPECT_EQ(bitmap->pixels[2], 0xFFFFFFu);
    EXPECT_EQ(table->FindBitmap(134), nullptr) << "icons and bitmaps are separate families";
    ASSERT_NE(table->FindIcon(134), nullptr);

    const RcDialog* dialog = table->FindDialog(157);
    ASSERT_NE(dialog, nullptr);
    EXPECT_STREQ(dialog->caption, "Select Members");
    ASSERT_EQ(dialog->controlCount, 4u);
    EXPECT_EQ(dialog->controls[0].id, 1095u);
    EXPECT_EQ(dialog->controls[0].kind, kRcListBox);
    EXPECT_EQ(dialog->controls[0].styles, kRcStyleOwnerDraw | kRcStyleMultiple | kRcStyleSorted);
    EXPECT_EQ(dialog->controls[0].width, 180);
    EXPECT_EQ(dialog->controls[3].styles, kRcStyleDefault | kRcStyleDisabled);
    EXPECT_STREQ(dialog->controls[3].text, "OK");
    EXPECT_EQ(dialog->controls[1].id, 0xFFFFu) << "labels share the platform's id -1";
    EXPECT_EQ(table->FindDialog("namedone"), table->FindDialog("NAMEDONE"));
    EXPECT_NE(table->FindDialog("NamedOne"), nullptr);
    EXPECT_EQ(table->FindDialog("157"), nullptr) << "a numbered template has no name";
}

TEST(ResourceTable, RefusesMalformedSourceNamingTheLine) {
    struct Case {
        const char* source;
        const char* error;
    };
    const Case cases[] = {
        {"STRINGTABLE\n 4 \"a\"\n", "end of source: STRINGTABLE without END"},
        {"STRINGTABLE\n 4 \"a\"\n 4 \"b\"\nEND\n", "line 3: string 4 defined twice"},
        {"STRINGTABLE\n 4 a\nEND\n", "line 2: expected ID \"TEXT\""},
        {"STRINGTABLE\n 70000 \"a\"\nEND\n", "line 2: expected ID \"TEXT\""},
        {"STRINGTABLE\n 4 \"open\nEND\n", "line 2: unterminated text"},
        {"STRINGTABLE\n 4 \"bad \\q\"\nEND\n", "line 2: unknown escape \\q"},
        {"COLOR k 00000G\n", "line 1: bad colour 00000G"},
        {"BITMAP B 2 1\n k.\nEND\n", "line 2: no colour for letter k"},
        {"COLOR k 000000\nBITMAP B 2 2\n kk\nEND\n", "line 4: bitmap has 1 rows, expected 2"},
        {"COLOR k 000000\nBITMAP B 2 1\n kkk\nEND\n", "line 3: expected a row of 2 palette letters"},
        {"COLOR k 000000\nBITMAP B 1 1\n k\nEND\nBITMAP b 1 1\n k\nEND\n",
         "line 5: resource b defined twice"},
        {"BITMAP 0 1 1\nEND\n", "line 1: resource number out of range: 0"},
        {"DIALOG 1 \"x\" 0 0 10 10\n CONTROL 5 knob \"\" 0 0 1 1\nEND\n",
         "line 2: unknown control kind knob"},
        {"DIALOG 1 \"x\" 0 0 10 10\n CONTROL 5 edit \"\" 0 0 1 1 shiny\nEND\n",
         "line 2: unknown style shiny"},
        {"DIALOG 1 \"x\" 0 0 10 10\n CONTROL 5 edit \"\" 0 0 1 1\n CONTROL 5 button \"\" 0 0 1 1\nEND\n",
         "line 3: control 5 defined twice"},
        {"DIALOG 1 \"x\" 0 0 10\nEND\n", "line 1: expected DIALOG ID|NAME \"CAPTION\" X Y W H"},
        {"MENU 1\n", "line 1: unknown statement MENU"},
        {"DIALOG 1 \"x\" 0 0 10 10\n CONTROL -2 edit \"\" 0 0 1 1\nEND\n", "line 2: bad control id -2"},
        {"COLOR k 000000\nBITMAP B 1 1\n k\n", "end of source: BITMAP without END"},
    };
    for (const Case& c : cases) {
        auto table = ResourceTable::Parse(c.source);
        EXPECT_EQ(table->Error(), c.error) << c.source;
        EXPECT_TRUE(table->Strings().empty()) << "a refused source yields nothing: " << c.source;
    }
}

} // namespace
