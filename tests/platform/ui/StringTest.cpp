#include "platform/ui/String.h"
#include "platform/ui/StringArray.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

TEST(CString, CutsAndSearchesWithinItsBounds) {
    CString name("Sales.Corp");
    EXPECT_EQ(name.Find('.'), 5);
    EXPECT_EQ(name.Find("Corp"), 6);
    EXPECT_EQ(name.Find("x"), -1);
    EXPECT_EQ(name.Find('.', 6), -1);
    EXPECT_EQ(name.Find('.', 99), -1);
    EXPECT_EQ(name.ReverseFind('.'), 5);
    EXPECT_EQ(name.Left(5), "Sales");
    EXPECT_EQ(name.Mid(6), "Corp");
    EXPECT_EQ(name.Mid(6, 2), "Co");
    EXPECT_EQ(name.Right(4), "Corp");
    // Out-of-range counts clamp, as a person slicing a name expects, never read past the end.
    EXPECT_EQ(name.Left(99), "Sales.Corp");
    EXPECT_EQ(name.Left(-1), "");
    EXPECT_EQ(name.Mid(20), "");
    EXPECT_EQ(name.Right(99), "Sales.Corp");
}

TEST(CString, ComparesWithoutRegardToCaseAndFormats) {
    EXPECT_EQ(CString("KEL:NT User").CompareNoCase("kel:nt user"), 0);
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
    EXPECT_GT(CString("ab").CompareNoCase("A"), 0);
    EXPECT_EQ(CString("x").CompareNoCase(nullptr), 1);
    CString text;
    text.Format("%s has %d pages", "User", 3);
    EXPECT_EQ(text, "User has 3 pages");
    CString padded("  mixed Case \t");
    padded.TrimLeft();
    padded.TrimRight();
    padded.MakeUpper();
    EXPECT_EQ(padded, "MIXED CASE");
}

TEST(CString, WritesThroughItsBuffer) {
    CString text;
    char* buffer = text.GetBuffer(16);
    std::strcpy(buffer, "Corp");
    text.ReleaseBuffer();
    EXPECT_EQ(text, "Corp");
    EXPECT_EQ(text.GetLength(), 4);
    text.GetBuffer(10);
    text.ReleaseBuffer(2);
    EXPECT_EQ(text, "Co");
}

TEST(CStringArray, KeepsOrderAndRefusesIndicesOutsideIt) {
    CStringArray names;
    EXPECT_EQ(names.Add("b"), 0);
    EXPECT_EQ(names.Add("c"), 1);
    names.InsertAt(0, "a");
    ASSERT_EQ(names.GetSize(), 3);
    EXPECT_EQ(names[0], "a");
    EXPECT_EQ(names.GetAt(2), "c");
    names.RemoveAt(1);
    EXPECT_EQ(names.GetSize(), 2);
    EXPECT_EQ(names[1], "c");
    EXPECT_THROW((void)names.GetAt(2), std::out_of_range);
    EXPECT_THROW(names.RemoveAt(1, 2), std::out_of_range);
    EXPECT_THROW(names.InsertAt(5, "x"), std::out_of_range);
    names.RemoveAll();
    EXPECT_TRUE(names.IsEmpty());
}

} // namespace
