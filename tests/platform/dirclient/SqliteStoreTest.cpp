// What only a file store can show: data survives closing, and a file that is not a sound store is refused
// and left exactly as it was.
#include <gtest/gtest.h>

#include <sodium.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/TestClient.h"

using namespace dirtest;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

class SqliteStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), kDirOk);
    }
    void TearDown() override { EXPECT_EQ(DirCloseStore(), kDirOk); }

    // Makes a store with some content and closes it; answers its path.
    std::string MakeStore() {
        const std::string path = m_dir.File("tree.db");
        EXPECT_EQ(DirOpenStore(path.c_str(), /*create=*/1), kDirOk);
        EXPECT_EQ(DirLogin("Admin", nullptr), kDirOk);
        {
            Client client;
            EXPECT_EQ(client.Add("Corp", "Organization"), kDirOk);
            EXPECT_EQ(client.Add("Bob.Corp", "User"), kDirOk);
            EXPECT_EQ(client.Set("Bob.Corp", "Full Name", Text("Bob Builder")), kDirOk);
            EXPECT_EQ(DirPasswordCallB(client.Ctx(), "Bob.Corp", "plain-secret-text", 0), kDirOk);
            EXPECT_EQ(client.Grant("Bob.Corp", "Bob.Corp", "[All Attributes Rights]", kDirRightRead), kDirOk);
        }
        EXPECT_EQ(DirSetTreeName("ACME_TREE"), kDirOk);
        EXPECT_EQ(DirCloseStore(), kDirOk);
        return path;
    }

    TempDir m_dir;
};

TEST_F(SqliteStoreTest, ContentSurvivesClosingAndPasswordsAreHashed) {
    const std::string path = MakeStore();
    EXPECT_EQ(ReadFile(path).find("plain-secret-text"), std::string::npos);
    ASSERT_EQ(DirOpenStore(path.c_str(), /*create=*/1), kDirOk); // opens, never overwrites
    ASSERT_EQ(DirLogin("Bob.Corp", "plain-secret-text"), kDirOk);
    Client client;
    EXPECT_EQ(client.Values("Bob.Corp", "Full Name"), std::vector<TestValue>{Text("Bob Builder")});
    char tree[64];
    ASSERT_EQ(DirGetTreeName(tree, sizeof tree), kDirOk);
    EXPECT_STREQ(tree, "ACME_TREE");
    EXPECT_EQ(DirGetTreeName(tree, 4), kDirErrBufferFull);
}

TEST_F(SqliteStoreTest, FilesThatAreNoSoundStoreAreRefusedAndLeftAsTheyWere) {
    const std::string store = MakeStore();
    const std::string text = m_dir.File("notes.txt");
    WriteFile(text, "just some text, not a directory\n");
    const std::string empty = m_dir.File("empty.db");
    WriteFile(empty, "");
    const std::string other = m_dir.File("other.db");
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    // Damage: overwrite the start of the second page (a table's b-tree header) with garbage.
    const std::string damaged = m_dir.File("damaged.db");
    {
        std::string bytes = ReadFile(store);
        ASSERT_GT(bytes.size(), 8192u);
        for (size_t i = 4096; i < 4096 + 1024; ++i) {
            bytes[i] = static_cast<char>(0xA5);
        }
        WriteFile(damaged, bytes);
    }
    const std::string truncated = m_dir.File("truncated.db");
    WriteFile(truncated, ReadFile(store).substr(0, 100));

    struct Case {
        std::string path;
        int32_t code;
    } cases[] = {
        {text, kDirErrNotAStore},
        {empty, kDirErrNotAStore},
        {other, kDirErrNotAStore},
        {truncated, kDirErrStoreDamaged},
        {m_dir.File("missing.db"), kDirErrNoSuchObject},
    };
    for (const auto& c : cases) {
        const std::string before = ReadFile(c.path);
        for (int32_t create : {0, 1}) {
            if (c.code == kDirErrNoSuchObject && create == 1) {
                continue;
            }
            EXPECT_EQ(DirOpenStore(c.path.c_str(), create), c.code) << c.path << " create=" << create;
            EXPECT_EQ(ReadFile(c.path), before) << c.path;
            EXPECT_EQ(DirCreateContext(), kDirErrNoContext);
        }
    }
    EXPECT_EQ(DirOpenStore(m_dir.File("").c_str(), 1), kDirErrNotAStore); // a directory

    // Opening reads a few pages only: damage elsewhere is answered where a request meets it, nothing is
    // written, and the whole-file check that an operator runs on purpose finds it.
    const std::string before = ReadFile(damaged);
    ASSERT_EQ(DirOpenStore(damaged.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    char tree[64];
    EXPECT_EQ(DirGetTreeName(tree, sizeof tree), kDirErrStoreDamaged);
    EXPECT_EQ(DirSetTreeName("OTHER"), kDirErrStoreDamaged);
    std::vector<std::string> lines;
    EXPECT_EQ(DirCheckStore(/*repair=*/1,
                            [](const char* line, void* user) {
                                static_cast<std::vector<std::string>*>(user)->push_back(line);
                            },
                            &lines),
              kDirErrStoreDamaged);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("damaged | ", 0), 0u) << lines[0];
    ASSERT_EQ(DirCloseStore(), kDirOk);
    EXPECT_EQ(ReadFile(damaged), before);
}

TEST_F(SqliteStoreTest, ARequestIsAllOrNothingOnDisk) {
    const std::string path = MakeStore();
    ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    {
        Client client;
        EXPECT_EQ(client.Modify("Bob.Corp", {{kDirChangeRemoveAllValues, "Full Name", {}},
                                             {kDirChangeAddValue, "Full Name", {Text("New")}},
                                             {kDirChangeAddValue, "Member", {Dn("Ghost.Corp")}}}),
                  kDirErrDanglingReference);
    }
    ASSERT_EQ(DirCloseStore(), kDirOk);
    ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    Client client;
    EXPECT_EQ(client.Values("Bob.Corp", "Full Name"), std::vector<TestValue>{Text("Bob Builder")});
}

// A list write stores its values many to a statement; what a reader sees and which refusal a request meets
// must be as if they went one at a time.
TEST_F(SqliteStoreTest, ALongListKeepsItsOrderAndTheFirstBadValueDecides) {
    const std::string path = MakeStore();
    ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    Client client;
    std::vector<TestValue> list;
    for (int i = 130; i-- > 0;) {
        list.push_back(Text("Station-" + std::to_string(i)));
    }
    ASSERT_EQ(client.Modify("Bob.Corp", {{kDirChangeAddValue, "KEL:Enabled Workstation List", list}}, 65536),
              kDirOk);
    EXPECT_EQ(client.Values("Bob.Corp", "KEL:Enabled Workstation List"), list);

    // Among names of objects, a repeat at value 52 comes before a name of no object at value 55: the repeat
    // is answered; without it, the name of no object is. Either way nothing is written.
    std::vector<TestValue> members;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "U" + std::to_string(i) + ".Corp";
        ASSERT_EQ(client.Add(name, "User"), kDirOk);
        members.push_back(Dn(name));
    }
    members[55] = Dn("Ghost.Corp");
    const TestValue replaced = members[52];
    members[52] = members[3];
    EXPECT_EQ(client.Modify("Bob.Corp", {{kDirChangeAddValue, "Member", members}}, 65536),
              kDirErrValueExists);
    members[52] = replaced;
    EXPECT_EQ(client.Modify("Bob.Corp", {{kDirChangeAddValue, "Member", members}}, 65536),
              kDirErrDanglingReference);
    EXPECT_TRUE(client.Values("Bob.Corp", "Member").empty());
    EXPECT_EQ(client.Values("Bob.Corp", "KEL:Enabled Workstation List"), list);
}

TEST_F(SqliteStoreTest, ARequestIsCommittedWhenItAnswers) {
    const std::string path = MakeStore();
    ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    Client client;
    ASSERT_EQ(client.Set("Bob.Corp", "Description", Text("seen from outside")), kDirOk);
    // Another connection, as another process would have, sees the change while the store stays open.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(
            db,
            "SELECT count(*) FROM vals WHERE attr='Description' AND CAST(data AS TEXT)='seen from outside'",
            -1, &stmt, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

TEST_F(SqliteStoreTest, CheckNamesALeafThatNoFullNameReaches) {
    // A leaf an earlier version took: "Bob\" below Corp makes "Bob\.Corp", which names something else.
    const std::string path = MakeStore();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "UPDATE objects SET leaf='Bob\\', leaf_key='bob\\' WHERE leaf='Bob'", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    std::vector<std::string> lines;
    EXPECT_EQ(DirCheckStore(/*repair=*/1,
                            [](const char* line, void* user) {
                                static_cast<std::vector<std::string>*>(user)->push_back(line);
                            },
                            &lines),
              kDirOk);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("(Bob\\) | leaf | no full name reaches it"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "1 found");
}

} // namespace
