#include "platform/winapi/WinApi.h"

#include <gtest/gtest.h>

namespace {

int CallAnswer(HMODULE library) {
    FARPROC proc = GetProcAddress(library, "TestPluginAnswer");
    EXPECT_NE(proc, nullptr);
    return proc == nullptr ? -1 : reinterpret_cast<int (*)()>(proc)();
}

TEST(DynamicLibraryTest, LoadsByPathAndByPlainName) {
    HMODULE byPath = LoadLibraryA(TEST_PLUGIN_PATH);
    ASSERT_NE(byPath, nullptr) << LoadLibraryLastErrorText();
    EXPECT_EQ(CallAnswer(byPath), 42);
    HMODULE byName = LoadLibraryA(TEST_PLUGIN_NAME);
    ASSERT_NE(byName, nullptr) << LoadLibraryLastErrorText();
    EXPECT_EQ(CallAnswer(byName), 42);
    EXPECT_EQ(GetProcAddress(byName, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(byName, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(53))), nullptr)
        << "ordinals are not supported";
    EXPECT_TRUE(FreeLibrary(byName));
    EXPECT_TRUE(FreeLibrary(byPath));
}

TEST(DynamicLibraryTest, AMissingLibraryAnswersNull) {
    EXPECT_EQ(LoadLibraryA("/nowhere/English/rckelnt.so"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(LoadLibraryLastErrorText().find("rckelnt.so"), std::string::npos);
    EXPECT_EQ(LoadLibraryA("librckelnt-not-installed.so"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

} // namespace
