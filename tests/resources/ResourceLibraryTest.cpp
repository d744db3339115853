// The English resource library as the module meets it: loaded from its language folder, looked up through
// its exported entry points.
#include "resources/RcFormat.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kLibraryFolder = std::string(KELNT_BINARY_DIR) + "/lib/English/";

class EnglishLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        m_handle = dlopen((kLibraryFolder + "rckelnt.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (m_handle != nullptr) {
            dlclose(m_handle);
        }
    }
    template <typename Proc> Proc Get(const char* name) {
        auto proc = reinterpret_cast<Proc>(dlsym(m_handle, name));
        EXPECT_NE(proc, nullptr) << name;
        return proc;
    }
    std::string String(uint32_t id) {
        char buffer[1024];
        int length = Get<RcLoadStringProc>(RC_LOAD_STRING)(id, buffer, sizeof buffer);
        return std::string(buffer, static_cast<size_t>(length));
    }

    void* m_handle = nullptr;
};

TEST_F(EnglishLibrary, ReadsItsOwnSourceAndNamesItsLanguage) {
    EXPECT_EQ(Get<RcLoadErrorProc>(RC_LOAD_ERROR)(), nullptr);
    EXPECT_STREQ(Get<RcLanguageProc>(RC_LANGUAGE)(), "English");
}

TEST_F(EnglishLibrary, HoldsEveryStringTheStartAndTheToolName) {
    for (uint32_t id : {4u, 5u, 7u, 8u, 9u, 10u, 11u, 57345u, 57346u, 57347u, 57500u}) {
        EXPECT_FALSE(String(id).empty()) << "string " << id;
    }
    // 57346 is the caption of the start-up warnings and a message of its own: one line, no closing stop
    // that would look wrong in a title bar, no format conversions.
    std::string both = String(57346);
    EXPECT_EQ(both.find('\n'), std::string::npos);
    EXPECT_EQ(both.find('%'), std::string::npos);
    EXPECT_NE(both.back(), '.');
    EXPECT_EQ(String(4).find('&'), 0u) << "the menu text marks its access key";
}

TEST_F(EnglishLibrary, StartFailureFormatsTakeTheProgramThenTheAnswer) {
    const std::regex conversions("%[-+ #0]*[0-9]*l?[a-zA-Z%]");
    for (uint32_t id : {7u, 8u, 9u, 10u, 11u}) {
        std::string format = String(id);
        std::string found;
        for (auto it = std::sregex_iterator(format.begin(), format.end(), conversions);
             it != std::sregex_iterator(); ++it) {
            found += it->str();
        }
        EXPECT_EQ(found, "%s%d") << "format " << id << ": " << format;
    }
}

TEST_F(EnglishLibrary, LoadStringCutsToTheBufferAndAnswersZeroForAMissingString) {
    auto load = Get<RcLoadStringProc>(RC_LOAD_STRING);
    char buffer[6] = "xxxxx";
    EXPECT_EQ(load(4, buffer, 6), 5);
    EXPECT_EQ(std::string(buffer), String(4).substr(0, 5));
    EXPECT_EQ(load(60000, buffer, 6), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(load(4, buffer, 0), 0);
    EXPECT_EQ(load(4, nullptr, 6), 0);
}

TEST_F(EnglishLibrary, ClassBitmapsAreFoundByNameWithoutRegardToCaseAndByNumber) {
    auto byName = Get<RcFindBitmapByNameProc>(RC_FIND_BITMAP_BY_NAME);
    auto byId = Get<RcFindBitmapProc>(RC_FIND_BITMAP);
    std::set<const RcBitmap*> distinct;
    for (const char* base :
         {"CKelNTDomain", "CKelNTWS", "CKelNTUser", "CKelNTGlobalGroup", "CKelNTLocalGroup"}) {
        for (const char* suffix : {"Bitmap", "AliasBitmap", "ROBitmap"}) {
            std::string name = std::string(base) + suffix;
            const RcBitmap* bitmap = byName(name.c_str());
            ASSERT_NE(bitmap, nullptr) << name;
            std::string upper = name;
            for (char& c : upper) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            EXPECT_EQ(byName(upper.c_str()), bitmap) << upper;
            EXPECT_EQ(bitmap->width, 16);
            EXPECT_EQ(bitmap->height, 16);
            EXPECT_EQ(bitmap->pixels[0], 0x800080u) << name << ": the corner is the transparent colour";
            distinct.insert(bitmap);
        }
    }
    for (uint32_t id : {150u, 146u, 147u}) {
        const RcBitmap* bitmap = byId(id);
        ASSERT_NE(bitmap, nullptr) << id;
        EXPECT_EQ(bitmap->width, 16);
        distinct.insert(bitmap);
    }
    EXPECT_EQ(distinct.size(), 18u);
    EXPECT_EQ(byName("NoSuchBitmap"), nullptr);
    EXPECT_EQ(byName(nullptr), nullptr);
    EXPECT_EQ(byId(151), nullptr);
    EXPECT_NE(Get<RcFindBitmapProc>(RC_FIND_ICON)(134), nullptr) << "the tool button's icon";
}

TEST(EnglishHelpFile, LiesBesideTheLibraryWithASectionPerContext) {
    std::ifstream in(kLibraryFolder + "qor.hlp");
    ASSERT_TRUE(in.is_open());
    std::stringstream text;
    text << in.rdbuf();
    std::regex section("^@([0-9]+) .+$", std::regex::multiline);
    std::set<int> contexts;
    std::string all = text.str();
    for (auto it = std::sregex_iterator(all.begin(), all.end(), section); it != std::sregex_iterator();
         ++it) {
        EXPECT_TRUE(contexts.insert(std::stoi((*it)[1].str())).second) << "context " << (*it)[1] << " twice";
    }
    EXPECT_FALSE(contexts.empty());
}

} // namespace
