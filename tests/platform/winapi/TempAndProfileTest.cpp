#include "platform/winapi/WinApi.h"
#include "tests/platform/winapi/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

namespace {

class TmpDirGuard {
public:
    explicit TmpDirGuard(const std::string& value) {
        const char* old = std::getenv("TMPDIR");
        m_had = old != nullptr;
        if (m_had)
            m_old = old;
        setenv("TMPDIR", value.c_str(), 1);
    }
    ~TmpDirGuard() {
        if (m_had)
            setenv("TMPDIR", m_old.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    bool m_had = false;
    std::string m_old;
};

TEST(TempPathTest, ComesFromTmpdirWithATrailingSlash) {
    TmpDirGuard guard("/var/tmp/kelnt");
    char buffer[MAX_PATH];
    EXPECT_EQ(GetTempPathA(MAX_PATH, buffer), 15u);
    EXPECT_STREQ(buffer, "/var/tmp/kelnt/");
    EXPECT_EQ(GetTempPathA(15, buffer), 16u) << "too small: the size needed with its NUL";
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(GetTempPathA(MAX_PATH, buffer), 5u);
    EXPECT_STREQ(buffer, "/tmp/");
}

TEST(TempFileTest, CreatesUniqueEmptyFilesNamedLikeThePlatform) {
    TestFolder folder;
    std::set<std::string> names;
    const std::regex form(folder.Path() + "/~AI[0-9A-F]{1,4}\\.tmp");
    for (int i = 0; i < 20; ++i) {
        char name[MAX_PATH];
        UINT number = GetTempFileNameA(folder.Path().c_str(), "~AIXYZ", 0, name);
        ASSERT_NE(number, 0u);
        EXPECT_TRUE(std::regex_match(name, form)) << name;
        EXPECT_TRUE(std::filesystem::is_regular_file(name));
        EXPECT_EQ(std::filesystem::file_size(name), 0u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);
}

TEST(TempFileTest, AGivenNumberOnlyBuildsTheName) {
    TestFolder folder;
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA((folder.Path() + "/").c_str(), "~AI", 0x2B, name), 0x2Bu);
    EXPECT_EQ(std::string(name), folder.Path() + "/~AI2B.tmp");
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(TempFileTest, FailuresCreateNothingAndSayWhy) {
    TestFolder folder;
    char name[MAX_PATH] = "untouched";
    EXPECT_EQ(GetTempFileNameA(folder.File("missing").c_str(), "~AI", 0, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    const std::string longFolder = folder.Path() + "/" + std::string(250, 'd');
    std::filesystem::create_directory(longFolder);
    EXPECT_EQ(GetTempFileNameA(longFolder.c_str(), "~AI", 0, name), 0u) << "the name would not fit MAX_PATH";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_TRUE(std::filesystem::is_empty(longFolder));
    WinApiInjectFailure(WinApiFailure::TempFile);
    EXPECT_EQ(GetTempFileNameA(folder.Path().c_str(), "~AI", 0, name), 0u);
    EXPECT_NE(GetTempFileNameA(folder.Path().c_str(), "~AI", 0, name), 0u)
        << "an injected failure is one-shot";
}

TEST(ProfileTest, KeysAreWrittenInOrderAndReachTheDiskOnFlush) {
    TestFolder folder;
    char name[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder.Path().c_str(), "~AI", 0, name), 0u);
    EXPECT_TRUE(WritePrivateProfileStringA("Integration", "TreeName", "CORVANE_TREE", name));
    EXPECT_TRUE(WritePrivateProfileStringA("Integration", "Context", "[Root]", name));
    EXPECT_TRUE(WritePrivateProfileStringA("Integration", "ObjectName", "", name));
    EXPECT_TRUE(WritePrivateProfileStringA("Integration", "Request", "Upload", name));
    EXPECT_EQ(ReadWholeFile(name), "") << "writes stay in the cache until the flush";
    EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, name));
    EXPECT_EQ(ReadWholeFile(name), "[Integration]\n"
                                   "TreeName=CORVANE_TREE\n"
                                   "Context=[Root]\n"
                                   "ObjectName=\n"
                                   "Request=Upload\n");
}

TEST(ProfileTest, RewritesKeepPlacesAndDeletesRemove) {
    TestFolder folder;
    const std::string file = folder.File("request.ini");
    WritePrivateProfileStringA("B", "one", "1", file.c_str());
    WritePrivateProfileStringA("A", "x", "x", file.c_str());
    WritePrivateProfileStringA("B", "two", "2", file.c_str());
    WritePrivateProfileStringA("b", "ONE", "uno", file.c_str());
    WritePrivateProfileStringA("B", "gone", "g", file.c_str());
    WritePrivateProfileStringA("B", "gone", nullptr, file.c_str());
    WritePrivateProfileStringA("C", "c", "c", file.c_str());
    WritePrivateProfileStringA("C", nullptr, nullptr, file.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadWholeFile(file), "[B]\none=uno\ntwo=2\n[A]\nx=x\n");

    char value[16];
    EXPECT_EQ(GetPrivateProfileStringA("B", "one", "def", value, sizeof value, file.c_str()), 3u);
    EXPECT_STREQ(value, "uno");
    EXPECT_EQ(GetPrivateProfileStringA("B", "none", "def", value, sizeof value, file.c_str()), 3u);
    EXPECT_STREQ(value, "def");
    EXPECT_EQ(GetPrivateProfileStringA("B", "one", "", value, 3, file.c_str()), 2u) << "cut to fit";
    EXPECT_STREQ(value, "un");
    char list[32];
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, file.c_str()), 4u);
    EXPECT_EQ(std::string(list, 5), std::string("B\0A\0\0", 5));
}

TEST(ProfileTest, AnExistingFileIsReadBeforeItIsChanged) {
    TestFolder folder;
    const std::string file = folder.File("settings.ini");
    WriteWholeFile(file, "[Old]\r\nKept=yes\r\n; note\r\n");
    WritePrivateProfileStringA("Old", "Added", "1", file.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadWholeFile(file), "[Old]\nKept=yes\n; note\nAdded=1\n");
}

TEST(ProfileTest, AFileChangedOnDiskIsReadAnew) {
    TestFolder folder;
    const std::string file = folder.File("reused.ini");
    WritePrivateProfileStringA("Integration", "ObjectName", "Sales", file.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    std::filesystem::remove(file);
    WriteWholeFile(file, "[Other]\nKey=1\n");
    char value[16];
    EXPECT_EQ(
        GetPrivateProfileStringA("Integration", "ObjectName", "none", value, sizeof value, file.c_str()), 4u);
    EXPECT_STREQ(value, "none");
    WritePrivateProfileStringA("Integration", "Request", "Upload", file.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(ReadWholeFile(file), "[Other]\nKey=1\n[Integration]\nRequest=Upload\n");
}

TEST(ProfileTest, AFlushThatCannotWriteFails) {
    TestFolder folder;
    const std::string file = folder.File("missing/request.ini");
    EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", file.c_str()));
    EXPECT_FALSE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
    std::filesystem::create_directory(folder.File("missing"));
    EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str())) << "nothing was lost";
    EXPECT_EQ(ReadWholeFile(file), "[S]\nk=v\n");
}

} // namespace
