// The directory on an LDAP server, seen from outside the client: the server itself refuses a write the
// directory's rights do not allow, whatever client sends it, and a request cut off by the server's death is
// finished or absent after the server comes back, never half there.
#include <gtest/gtest.h>

#include <ldap.h>
#include <sodium.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirStore.h"
#include "platform/dirclient/Directory.h"
#include "platform/dirclient/LdapSchema.h"
#include "tests/platform/dirclient/SlapdServer.h"
#include "tests/platform/dirclient/TestClient.h"
#include "tests/support/ProgramRun.h"

namespace dirtest {
namespace {

// Runs a program of ldap-utils with the LDIF on its standard input; its exit status (the LDAP result code
// of the first refused operation).
int LdapTool(const std::vector<std::string>& argv, const std::string& input, std::string* output = nullptr) {
    static const testrun::ScratchFolder folder("ldap-tools");
    const std::vector<std::string> args(argv.begin() + 1, argv.end());
    const testrun::RunResult run = testrun::RunProgram(folder.Path(), "/usr/bin/" + argv[0], args, input);
    if (output != nullptr) {
        *output = run.out + run.err;
    }
    return run.status;
}

class LdapStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), kDirOk);
        ASSERT_TRUE(m_server.Start()) << m_server.Problem();
        m_url = m_server.NewDirectory();
        ASSERT_NE(m_url, "");
        m_base = m_url.substr(m_url.find('/', m_url.find("://") + 3) + 1);
        ASSERT_EQ(DirOpenStore(m_url.c_str(), 0), kDirOk) << DirStoreProblem();
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    }
    void TearDown() override { (void)DirCloseStore(); }

    std::string SocketUri() const { return m_url.substr(0, m_url.find('/', m_url.find("://") + 3)); }

    // The DN of the object whose leaf is leaf, as a plain LDAP client finds it.
    std::string DnOf(const std::string& leaf) {
        std::string out;
        const int rc = LdapTool({"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-b", m_base,
                                 "(kelLeafKey=" + dirclient::FoldName(leaf) + ")", "1.1"},
                                "", &out);
        const size_t dn = out.find("dn: ");
        if (rc != 0 || dn == std::string::npos) {
            return {};
        }
        return out.substr(dn + 4, out.find('\n', dn) - dn - 4);
    }

    SlapdServer m_server;
    std::string m_url;
    std::string m_base;
};

TEST_F(LdapStoreTest, ThePlainLdapClientIsRefusedWhatTheRightsDoNotAllow) {
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    ASSERT_EQ(admin.Add("Staff.Corp", "Organizational Unit"), kDirOk);
    ASSERT_EQ(admin.Set("Staff.Corp", "Description", Text("as set by Admin")), kDirOk);
    ASSERT_EQ(DirPasswordCallB(admin.Ctx(), "Bob.Corp", "bob-secret", 0), kDirOk);
    const std::string bob = DnOf("Bob");
    const std::string staff = DnOf("Staff");
    ASSERT_NE(bob, "");
    ASSERT_NE(staff, "");

    dirclient::StoredValue value;
    value.attr = "Description";
    value.syntax = kDirSyntaxCaseIgnoreString;
    value.data = "written past the client";
    value.key = dirclient::FoldName(value.data);
    const std::string description = dirclient::ldapmap::AttributeName("Description");
    const std::string modify =
        "dn: " + staff + "\nchangetype: modify\nreplace: " + description + "\n" + description + ":: " +
        [&] {
            const std::string raw = dirclient::ldapmap::EncodeValue(value);
            std::string out(sodium_base64_ENCODED_LEN(raw.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
            sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(raw.data()),
                              raw.size(), sodium_base64_VARIANT_ORIGINAL);
            out.resize(out.find('\0'));
            return out;
        }() +
        "\n";
    const std::vector<std::string> asBob = {"ldapmodify", "-x", "-H", SocketUri(),
                                            "-D",         bob,  "-w", "bob-secret"};
    struct Case {
        const char* what;
        std::string ldif;
    } refused[] = {
        {"a value", modify},
        {"an object", "dn: " + staff + "\nchangetype: delete\n"},
        {"a rename", "dn: " + staff + "\nchangetype: modify\nreplace: kelLeaf\nkelLeaf: Moved\n"},
        {"an ACL",
         "dn: " + staff + "\nchangetype: modify\nadd: kelGrant\nkelGrant: cn=e-super," + bob + "\n"},
        {"a new object", "dn: kelId=999," + m_base +
                             "\nchangetype: add\nobjectClass: kelObject\nkelId: 999\n"
                             "kelParent: " +
                             staff + "\nkelLeaf: Intruder\nkelLeafKey: intruder\nkelClass: User\n"},
        {"Admin's password", "dn: " + DnOf("Admin") +
                                 "\nchangetype: modify\nreplace: userPassword\n"
                                 "userPassword: taken\n"},
    };
    for (const auto& c : refused) {
        std::string out;
        EXPECT_EQ(LdapTool(asBob, c.ldif, &out), 50) << c.what << ": " << out; // insufficientAccess
    }
    // Another's password hash serves binds only: neither nobody nor a user reads it.
    for (const auto& who :
         {std::vector<std::string>{}, std::vector<std::string>{"-D", bob, "-w", "bob-secret"}}) {
        std::vector<std::string> search = {"ldapsearch", "-x", "-LLL", "-H", SocketUri()};
        search.insert(search.end(), who.begin(), who.end());
        search.insert(search.end(), {"-s", "base", "-b", DnOf("Admin"), "userPassword"});
        std::string out;
        EXPECT_EQ(LdapTool(search, "", &out), 0) << out;
        EXPECT_EQ(out.find("userPassword"), std::string::npos) << out;
    }
    std::vector<TestValue> values = admin.Values("Staff.Corp", "Description");
    EXPECT_EQ(values, std::vector<TestValue>{Text("as set by Admin")});
    EXPECT_EQ(DnOf("Intruder"), "");

    // Granted through the container that holds Bob, the same write goes through, and the client reads it.
    ASSERT_EQ(admin.Grant("Staff.Corp", "Corp", "Description", kDirRightWrite), kDirOk);
    std::string out;
    EXPECT_EQ(LdapTool(asBob, modify, &out), 0) << out;
    EXPECT_EQ(admin.Values("Staff.Corp", "Description"),
              std::vector<TestValue>{Text("written past the client")});
    // And a wrong password is the server's refusal, also for the client.
    EXPECT_EQ(LdapTool({"ldapwhoami", "-x", "-H", SocketUri(), "-D", bob, "-w", "wrong"}, "", &out), 49);
    EXPECT_EQ(DirLogin("Bob.Corp", "wrong"), kDirErrBadPassword);
    EXPECT_EQ(DirLogin("Bob.Corp", "bob-secret"), kDirOk);
}

// A list grown value by value past what an entry keeps lives in blocks below its object: it reads back whole
// and in order (from this session and a new one), loses values and the names of deleted objects there, goes
// back into the entry when written whole (the blocks stay, empty, until the object goes), and the server
// guards the blocks with the list's own right.
TEST_F(LdapStoreTest, AListGrownPastItsEntryLivesInBlocksGuardedByTheListsRight) {
    dirclient::SetLdapListBlocks(2, 2);
    struct Reset {
        ~Reset() { dirclient::SetLdapListBlocks(0, 0); }
    } reset;
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    ASSERT_EQ(DirPasswordCallB(admin.Ctx(), "Bob.Corp", "bob-secret", 0), kDirOk);
    ASSERT_EQ(admin.Add("Staff.Corp", "Organizational Unit"), kDirOk);
    std::vector<TestValue> members;
    for (const char* name : {"U1", "U2", "U3", "U4", "U5", "U6"}) {
        ASSERT_EQ(admin.Add(std::string(name) + ".Corp", "User"), kDirOk);
        ASSERT_EQ(admin.AddValue("Staff.Corp", "Member", Dn(std::string(name) + ".Corp")), kDirOk);
        members.push_back(Dn(std::string(name) + ".Corp"));
    }
    const std::string staff = DnOf("Staff");
    const std::string member = dirclient::ldapmap::AttributeName("Member");
    // Blocks below the base, or only those that hold values.
    auto blocks = [&](bool holding = false) {
        std::string out;
        EXPECT_EQ(
            LdapTool({"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-b", m_base,
                      holding ? "(&(objectClass=kelBlock)(" + member + "=*))" : "(objectClass=kelBlock)",
                      "1.1"},
                     "", &out),
            0);
        size_t count = 0;
        for (size_t at = out.find("dn: "); at != std::string::npos; at = out.find("dn: ", at + 1)) {
            ++count;
        }
        return count;
    };
    auto inEntry = [&] {
        std::string out;
        EXPECT_EQ(LdapTool({"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-b", staff, "-s", "base", member},
                           "", &out),
                  0);
        return out.find(member + ":") != std::string::npos;
    };
    EXPECT_EQ(blocks(), 3u);
    EXPECT_FALSE(inEntry());
    EXPECT_EQ(blocks(true), 3u);
    EXPECT_EQ(admin.Values("Staff.Corp", "Member"), members);
    EXPECT_EQ(admin.AddValue("Staff.Corp", "Member", Dn("U3.Corp")), kDirErrValueExists);

    // Taken out of the middle, and the object named by a value deleted: its value goes with it.
    ASSERT_EQ(admin.RemoveValue("Staff.Corp", "Member", Dn("U2.Corp")), kDirOk);
    ASSERT_EQ(DirRemoveObject(admin.Ctx(), "U5.Corp"), kDirOk);
    members.erase(members.begin() + 4);
    members.erase(members.begin() + 1);
    EXPECT_EQ(admin.Values("Staff.Corp", "Member"), members);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    ASSERT_EQ(DirOpenStore(m_url.c_str(), 0), kDirOk) << DirStoreProblem();
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    Client again;
    EXPECT_EQ(again.Values("Staff.Corp", "Member"), members);

    // Bob may not change the list: the server refuses him a block's values, a new block and a block's delete.
    const std::string bob = DnOf("Bob");
    std::string first;
    ASSERT_EQ(LdapTool({"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-b", staff, "-s", "one",
                        "(objectClass=kelBlock)", "1.1"},
                       "", &first),
              0);
    first = first.substr(4, first.find('\n') - 4);
    const std::vector<std::string> asBob = {"ldapmodify", "-x", "-H", SocketUri(),
                                            "-D",         bob,  "-w", "bob-secret"};
    const std::string newBlock = "dn: kelBlock=" + member + ".99," + staff +
                                 "\nchangetype: add\nobjectClass: kelBlock\nkelBlock: " + member +
                                 ".99\nkelId: " + staff.substr(6, staff.find(',') - 6) +
                                 "\nkelBlockAttr: " + member + "\n";
    const std::string deleteFirst = "dn: " + first + "\nchangetype: delete\n";
    struct Case {
        const char* what;
        std::string ldif;
    } refused[] = {
        {"a block's values", "dn: " + first + "\nchangetype: modify\nreplace: " + member + "\n"},
        {"a new block", newBlock},
        {"a block", deleteFirst},
    };
    for (const auto& c : refused) {
        std::string out;
        EXPECT_EQ(LdapTool(asBob, c.ldif, &out), 50) << c.what << ": " << out;
    }
    // Even with the right to the list, nobody changes what a block is, and a block goes only with its object
    // (so that every other change of a block is a change of its entryCSN, which clients look for).
    ASSERT_EQ(again.Grant("Staff.Corp", "Bob.Corp", "Member", kDirRightWrite), kDirOk);
    std::string out;
    EXPECT_EQ(LdapTool(asBob,
                       "dn: " + first + "\nchangetype: modify\nreplace: kelBlockAttr\nkelBlockAttr: " +
                           dirclient::ldapmap::AttributeName("Description") + "\n",
                       &out),
              50)
        << out;
    EXPECT_EQ(LdapTool(asBob, deleteFirst, &out), 50) << out;
    // With it he may make a block; an empty one changes nothing the list holds.
    EXPECT_EQ(LdapTool(asBob, newBlock, &out), 0) << out;
    EXPECT_EQ(blocks(), 4u);
    EXPECT_EQ(again.Values("Staff.Corp", "Member"), members);
    // What he takes out of a block is seen by the client's next request.
    EXPECT_EQ(LdapTool(asBob, "dn: " + first + "\nchangetype: modify\nreplace: " + member + "\n", &out), 0)
        << out;
    const std::vector<TestValue> left = again.Values("Staff.Corp", "Member");
    EXPECT_LT(left.size(), members.size());
    EXPECT_FALSE(left.empty());

    // Written whole, the list goes back into the entry and its blocks go.
    members = {Dn("U1.Corp"), Dn("U6.Corp")};
    ASSERT_EQ(again.Modify("Staff.Corp", {{kDirChangeRemoveAllValues, "Member", {}},
                                          {kDirChangeAddValue, "Member", members}}),
              kDirOk);
    EXPECT_EQ(again.Values("Staff.Corp", "Member"), members);
    EXPECT_TRUE(inEntry());
    EXPECT_EQ(blocks(true), 0u);
    EXPECT_EQ(blocks(), 4u);
    // Grown again, the list fills the blocks it has before it makes new ones.
    ASSERT_EQ(again.AddValue("Staff.Corp", "Member", Dn("U3.Corp")), kDirOk);
    members.push_back(Dn("U3.Corp"));
    EXPECT_EQ(again.Values("Staff.Corp", "Member"), members);
    EXPECT_EQ(blocks(), 4u);

    // One who may only add or remove itself makes a block for itself (the last one is full), and no other.
    ASSERT_EQ(again.Add("Team.Corp", "Organizational Unit"), kDirOk);
    ASSERT_EQ(again.AddValue("Team.Corp", "Member", Dn("U1.Corp")), kDirOk);
    ASSERT_EQ(again.AddValue("Team.Corp", "Member", Dn("U4.Corp")), kDirOk);
    ASSERT_EQ(again.Grant("Team.Corp", "Bob.Corp", "Member", kDirRightRead | kDirRightAddSelf), kDirOk);
    ASSERT_EQ(DirLogin("Bob.Corp", "bob-secret"), kDirOk);
    {
        Client self;
        EXPECT_EQ(self.AddValue("Team.Corp", "Member", Dn("U6.Corp")), kDirErrNoRight);
        EXPECT_EQ(self.AddValue("Team.Corp", "Member", Dn("Bob.Corp")), kDirOk);
        EXPECT_EQ(self.Values("Team.Corp", "Member"),
                  (std::vector<TestValue>{Dn("U1.Corp"), Dn("U4.Corp"), Dn("Bob.Corp")}));
        EXPECT_EQ(self.RemoveValue("Team.Corp", "Member", Dn("Bob.Corp")), kDirOk);
        EXPECT_EQ(self.Values("Team.Corp", "Member"), (std::vector<TestValue>{Dn("U1.Corp"), Dn("U4.Corp")}));
    }
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    EXPECT_EQ(blocks(), 6u); // Staff's four, Team's two

    ASSERT_EQ(DirRemoveObject(again.Ctx(), "Staff.Corp"), kDirOk);
    ASSERT_EQ(DirRemoveObject(again.Ctx(), "Team.Corp"), kDirOk);
    EXPECT_EQ(blocks(), 0u);
}

TEST_F(LdapStoreTest, WhatAnotherClientRenamesOrDeletesIsSeenAtOnce) {
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    ASSERT_EQ(admin.Set("Bob.Corp", "Description", Text("kept")), kDirOk);
    ASSERT_EQ(admin.Values("Bob.Corp", "Description"), std::vector<TestValue>{Text("kept")});
    const std::string bob = DnOf("Bob");
    const std::vector<std::string> asAdmin = {
        "ldapmodify", "-x",          "-H", SocketUri(),
        "-D",         DnOf("Admin"), "-w", std::string(dirclient::ldapmap::kNoPassword)};
    std::string out;
    ASSERT_EQ(LdapTool(asAdmin,
                       "dn: " + bob +
                           "\nchangetype: modify\nreplace: kelLeaf\nkelLeaf: Robert\n-\n"
                           "replace: kelLeafKey\nkelLeafKey: robert\n",
                       &out),
              0)
        << out;
    std::string name;
    std::string baseClass;
    EXPECT_EQ(admin.Info("Bob.Corp", &name, &baseClass), kDirErrNoSuchObject);
    EXPECT_EQ(admin.Values("Robert.Corp", "Description"), std::vector<TestValue>{Text("kept")});
    ASSERT_EQ(LdapTool(asAdmin, "dn: " + bob + "\nchangetype: delete\n", &out), 0) << out;
    EXPECT_EQ(admin.Info("Robert.Corp", &name, &baseClass), kDirErrNoSuchObject);
    EXPECT_EQ(admin.Add("Robert.Corp", "User"), kDirOk);
}

// A write soon after one sent as a single step begins on what the client holds: it still counts a right that
// another program granted in between (the refusal met on what was held is tried again on checked state),
// and reads see what that program changed.
TEST_F(LdapStoreTest, AWriteRightAfterAnotherCountsWhatAnotherProgramChangedMeanwhile) {
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    ASSERT_EQ(admin.Add("Staff.Corp", "Organizational Unit"), kDirOk);
    ASSERT_EQ(admin.Grant("Staff.Corp", "Bob.Corp", "Description", kDirRightRead | kDirRightWrite), kDirOk);
    ASSERT_EQ(admin.Grant("Staff.Corp", "Bob.Corp", "Full Name", kDirRightRead), kDirOk);
    ASSERT_EQ(DirPasswordCallB(admin.Ctx(), "Bob.Corp", "bob-secret", 0), kDirOk);
    ASSERT_EQ(DirLogin("Bob.Corp", "bob-secret"), kDirOk);
    Client bob;
    ASSERT_EQ(bob.Set("Staff.Corp", "Description", Text("one")), kDirOk);
    ASSERT_EQ(bob.Set("Staff.Corp", "Description", Text("two")), kDirOk);

    const testrun::ScratchFolder folder("other-program");
    const testrun::RunResult run = testrun::RunProgram(
        folder.Path(), testrun::Program("cvadmin"),
        {"--store", m_url, "--login", "Admin", "-c",
         "dir grant Staff.Corp Bob.Corp 'Full Name' 6; dir set Staff.Corp Description other"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    EXPECT_EQ(bob.Set("Staff.Corp", "Full Name", Text("granted")), kDirOk);
    EXPECT_EQ(bob.Values("Staff.Corp", "Full Name"), std::vector<TestValue>{Text("granted")});
    EXPECT_EQ(bob.Values("Staff.Corp", "Description"), std::vector<TestValue>{Text("other")});
}

// Two clients of one server, each with its own connections, driven step by step.
class TwoClientsTest : public LdapStoreTest {
protected:
    void SetUp() override {
        LdapStoreTest::SetUp();
        Client admin;
        ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
        ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
        ASSERT_EQ(admin.Set("Bob.Corp", "Description", Text("as it was")), kDirOk);
        ASSERT_EQ(admin.Set("Corp", "Description", Text("as it was")), kDirOk);
        for (auto* side : {&m_a, &m_b}) {
            std::string problem;
            ASSERT_EQ(dirclient::OpenLdapStore(m_url, &side->store, &problem), kDirOk) << problem;
            side->directory = std::make_unique<dirclient::Directory>(*side->store);
            ASSERT_EQ(side->directory->Login("Admin", nullptr), kDirOk);
        }
        ASSERT_EQ(m_a.directory->Request(false, [&] { return m_a.directory->Resolve("Bob.Corp", &m_bob); }),
                  kDirOk);
        ASSERT_EQ(m_a.directory->Request(false, [&] { return m_a.directory->Resolve("Corp", &m_corp); }),
                  kDirOk);
    }

    struct Side {
        std::unique_ptr<dirclient::DirStore> store;
        std::unique_ptr<dirclient::Directory> directory;
    };
    static int32_t SetDescription(dirclient::DirStore& store, int64_t id, const std::string& text) {
        dirclient::StoredValue value;
        value.attr = "Description";
        value.syntax = kDirSyntaxCaseIgnoreString;
        value.data = text;
        value.key = dirclient::FoldName(text);
        int32_t rc = store.DeleteAllValues(id, "Description");
        return rc == kDirOk ? store.InsertValue(id, value) : rc;
    }
    std::string Description(int64_t id) {
        std::vector<dirclient::StoredValue> values;
        EXPECT_EQ(m_b.store->Begin(false), kDirOk);
        EXPECT_EQ(m_b.store->ReadValues(id, "Description", &values), kDirOk);
        m_b.store->Rollback();
        return values.size() == 1 ? values[0].data : "(" + std::to_string(values.size()) + " values)";
    }

    Side m_a;
    Side m_b;
    int64_t m_bob = 0;
    int64_t m_corp = 0;
};

TEST_F(TwoClientsTest, AChangeMadeBetweenAnotherRequestsReadAndItsWriteRefusesThatWrite) {
    // Both requests read what they change before either writes; the later commit must not overwrite the
    // earlier one's change unseen, alone (one object) or as part of a request of several steps, and the
    // steps such a request made before the refusal are taken back.
    struct Case {
        const char* what;
        bool twoObjects;
    } cases[] = {{"one object", false}, {"two objects", true}};
    for (const auto& c : cases) {
        // Each client has read both objects before: what it holds is checked, not read again.
        for (auto* side : {&m_a, &m_b}) {
            std::vector<dirclient::StoredValue> values;
            ASSERT_EQ(side->store->Begin(false), kDirOk);
            ASSERT_EQ(side->store->ReadValues(m_bob, "", &values), kDirOk);
            ASSERT_EQ(side->store->ReadValues(m_corp, "", &values), kDirOk);
            side->store->Rollback();
        }
        ASSERT_EQ(m_a.store->Begin(true), kDirOk);
        if (c.twoObjects) {
            ASSERT_EQ(SetDescription(*m_a.store, m_corp, std::string("a: ") + c.what), kDirOk);
        }
        ASSERT_EQ(SetDescription(*m_a.store, m_bob, std::string("a: ") + c.what), kDirOk);

        ASSERT_EQ(m_b.store->Begin(true), kDirOk);
        ASSERT_EQ(SetDescription(*m_b.store, m_bob, std::string("b: ") + c.what), kDirOk);
        ASSERT_EQ(m_b.store->Commit(), kDirOk);

        EXPECT_EQ(m_a.store->Commit(), kDirErrConflict) << c.what;
        EXPECT_EQ(Description(m_bob), std::string("b: ") + c.what) << c.what;
        EXPECT_EQ(Description(m_corp), "as it was") << c.what;
    }
    // Run again, the request reads what is there now and goes through.
    ASSERT_EQ(m_a.store->Begin(true), kDirOk);
    ASSERT_EQ(SetDescription(*m_a.store, m_bob, "a again"), kDirOk);
    ASSERT_EQ(SetDescription(*m_a.store, m_corp, "a again"), kDirOk);
    EXPECT_EQ(m_a.store->Commit(), kDirOk);
    EXPECT_EQ(Description(m_bob), "a again");
    EXPECT_EQ(Description(m_corp), "a again");
}

// Each of two supervisors disables the other at the same moment. Each request alone leaves one supervisor who
// can sign in; the second to commit must see the first, or nobody could administer the tree.
TEST_F(TwoClientsTest, SupervisorsDisablingEachOtherAtOnceLeaveOneWhoCanSignIn) {
    Client admin;
    ASSERT_EQ(admin.Grant("[Root]", "Bob.Corp", "[Entry Rights]", kDirEntrySupervisor), kDirOk);
    int64_t adminId = 0;
    ASSERT_EQ(m_a.directory->Request(false, [&] { return m_a.directory->Resolve("Admin", &adminId); }), kDirOk);
    // Each client has read the supervisors before: what it holds is checked, not read again.
    for (auto* side : {&m_a, &m_b}) {
        std::vector<dirclient::StoredValue> values;
        ASSERT_EQ(side->store->Begin(false), kDirOk);
        for (const int64_t id : {dirclient::kRootId, adminId, m_bob}) {
            ASSERT_EQ(side->store->ReadValues(id, "", &values), kDirOk);
        }
        side->store->Rollback();
    }
    std::vector<dirclient::RequestItem> disable(2);
    disable[0].kind = dirclient::RequestItemKind::Change;
    disable[0].change = kDirChangeAddValue;
    disable[0].attr = "Login Disabled";
    disable[1].kind = dirclient::RequestItemKind::Value;
    disable[1].value.syntax = kDirSyntaxBoolean;
    disable[1].value.number = 1;
    int32_t bobDisabled = 1;
    bool first = true;
    const int32_t adminDisabled = m_a.directory->Request(true, [&] {
        const int32_t rc = m_a.directory->Modify(adminId, disable);
        if (first) {
            first = false; // the other client commits between this request's checks and its commit
            bobDisabled = m_b.directory->Request(true, [&] { return m_b.directory->Modify(m_bob, disable); });
        }
        return rc;
    });
    EXPECT_EQ(bobDisabled, kDirOk);
    EXPECT_EQ(adminDisabled, kDirErrLastSupervisor);
    EXPECT_EQ(admin.Values("Admin", "Login Disabled"), std::vector<TestValue>{});
    EXPECT_EQ(DirLogin("Admin", nullptr), kDirOk);
}

// Two clients on a directory whose lists of more than one value live in blocks of two.
class TwoClientsOnBlocksTest : public TwoClientsTest {
protected:
    void SetUp() override {
        dirclient::SetLdapListBlocks(1, 2);
        TwoClientsTest::SetUp();
    }
    void TearDown() override {
        TwoClientsTest::TearDown();
        dirclient::SetLdapListBlocks(0, 0);
    }

    static constexpr const char* kList = "KEL:Enabled Workstation List";
    static dirclient::StoredValue Workstation(const std::string& text) {
        dirclient::StoredValue out;
        out.attr = kList;
        out.syntax = kDirSyntaxCaseIgnoreString;
        out.data = text;
        out.key = dirclient::FoldName(text);
        return out;
    }
    static int32_t Append(Side& side, int64_t id, const std::string& text) {
        int32_t rc = side.store->Begin(true);
        if (rc == kDirOk) {
            rc = side.store->InsertValue(id, Workstation(text));
        }
        if (rc != kDirOk) {
            side.store->Rollback();
            return rc;
        }
        return side.store->Commit();
    }
    // Bob's list as B reads it, or as a new client does, with nothing kept from before.
    std::string List(bool fresh = false) {
        std::unique_ptr<dirclient::DirStore> own;
        dirclient::DirStore* store = m_b.store.get();
        if (fresh) {
            std::string problem;
            EXPECT_EQ(dirclient::OpenLdapStore(m_url, &own, &problem), kDirOk) << problem;
            store = own.get();
        }
        std::vector<dirclient::StoredValue> values;
        EXPECT_EQ(store->Begin(false), kDirOk);
        EXPECT_EQ(store->ReadValues(m_bob, kList, &values), kDirOk);
        store->Rollback();
        std::string out;
        for (const auto& v : values) {
            out += v.data + " ";
        }
        return out;
    }
};

TEST_F(TwoClientsOnBlocksTest, ARefusedRequestTakesBackWhatItDidToABlockInPlace) {
    for (const char* text : {"w1", "w2", "w3", "w4", "w5"}) { // one at a time: w1 w2 | w3 w4 | w5
        ASSERT_EQ(Append(m_a, m_bob, text), kDirOk);
    }
    ASSERT_EQ(List(), "w1 w2 w3 w4 w5 ");
    // A takes w3 out of the middle block and changes Bob's own entry; B changes that entry first. A's block
    // step goes through before its entry step is refused, and is taken back with w3 in its place.
    ASSERT_EQ(m_a.store->Begin(true), kDirOk);
    ASSERT_EQ(m_a.store->DeleteValue(m_bob, kList, "w3"), kDirOk);
    ASSERT_EQ(SetDescription(*m_a.store, m_bob, "a"), kDirOk);
    ASSERT_EQ(m_b.store->Begin(true), kDirOk);
    ASSERT_EQ(SetDescription(*m_b.store, m_bob, "b"), kDirOk);
    ASSERT_EQ(m_b.store->Commit(), kDirOk);
    EXPECT_EQ(m_a.store->Commit(), kDirErrConflict);
    EXPECT_EQ(List(), "w1 w2 w3 w4 w5 ");
    EXPECT_EQ(Description(m_bob), "b");
    // Run again, it goes through.
    ASSERT_EQ(m_a.store->Begin(true), kDirOk);
    ASSERT_EQ(m_a.store->DeleteValue(m_bob, kList, "w3"), kDirOk);
    ASSERT_EQ(SetDescription(*m_a.store, m_bob, "a"), kDirOk);
    EXPECT_EQ(m_a.store->Commit(), kDirOk);
    EXPECT_EQ(List(), "w1 w2 w4 w5 ");
    EXPECT_EQ(Description(m_bob), "a");
}

TEST_F(TwoClientsOnBlocksTest, AValueTwoRequestsAppendedToDifferentBlocksIsShownOnceAndGoesWhole) {
    for (const char* text : {"w1", "w2", "w3", "w4"}) { // w1 w2 | w3 w4
        ASSERT_EQ(Append(m_a, m_bob, text), kDirOk);
    }
    ASSERT_EQ(List(), "w1 w2 w3 w4 "); // B holds Bob too: its changes go as single guarded steps
    // A sees the last block full; before it commits, B takes w4 out and appends x there. A's x goes to a new
    // block: both requests checked the list, and each appended to the block it saw last.
    ASSERT_EQ(m_a.store->Begin(true), kDirOk);
    ASSERT_EQ(m_a.store->InsertValue(m_bob, Workstation("x")), kDirOk);
    ASSERT_EQ(m_b.store->Begin(true), kDirOk);
    ASSERT_EQ(m_b.store->DeleteValue(m_bob, kList, "w4"), kDirOk);
    ASSERT_EQ(m_b.store->Commit(), kDirOk);
    ASSERT_EQ(Append(m_b, m_bob, "x"), kDirOk);
    ASSERT_EQ(m_a.store->Commit(), kDirOk);
    EXPECT_EQ(List(/*fresh=*/true), "w1 w2 w3 x ");
    // Taken out, it goes whole: no copy comes back.
    ASSERT_EQ(m_b.store->Begin(true), kDirOk);
    ASSERT_EQ(m_b.store->DeleteValue(m_bob, kList, "x"), kDirOk);
    ASSERT_EQ(m_b.store->Commit(), kDirOk);
    EXPECT_EQ(List(/*fresh=*/true), "w1 w2 w3 ");
}

// The record a request of several steps keeps on the base entry while it applies them; here of one step,
// which adds the value to the attribute of the entry.
std::string PendingRecord(const std::string& dn, const std::string& attr, const std::string& value) {
    auto put = [](std::string* out, const std::string& text) {
        const uint32_t size = static_cast<uint32_t>(text.size());
        for (int i = 0; i < 4; ++i) {
            out->push_back(static_cast<char>((size >> (8 * i)) & 0xff));
        }
        *out += text;
    };
    std::string record;
    for (const std::string& part : {std::string("1"), std::string(1, '\x02'), dn, std::string("1"),
                                    std::to_string(LDAP_MOD_ADD), attr, std::string("1"), value}) {
        put(&record, part);
    }
    return record;
}

std::string Base64(const std::string& raw) {
    std::string out(sodium_base64_ENCODED_LEN(raw.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(raw.data()), raw.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.find('\0'));
    return out;
}

TEST_F(LdapStoreTest, AnotherClientsUnfinishedRequestIsWaitedForAndFinishedOnlyWhenLeftBehind) {
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    dirclient::StoredValue value;
    value.syntax = kDirSyntaxCaseIgnoreString;
    value.data = "from the other client";
    value.key = dirclient::FoldName(value.data);
    const std::string record =
        Base64(PendingRecord(DnOf("Bob"), dirclient::ldapmap::AttributeName("Description"),
                             dirclient::ldapmap::EncodeValue(value)));
    const std::vector<std::string> asAdmin = {
        "ldapmodify", "-x",          "-H", SocketUri(),
        "-D",         DnOf("Admin"), "-w", std::string(dirclient::ldapmap::kNoPassword)};
    auto change = [&](const char* op) {
        std::string out;
        return LdapTool(asAdmin,
                        "dn: " + m_base + "\nchangetype: modify\n" + op +
                            ": kelPending\nkelPending:: " + record + "\n",
                        &out) == 0;
    };

    // The other client finishes its request itself (it removes its record) while this one waits.
    ASSERT_TRUE(change("add"));
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_TRUE(change("delete"));
    });
    EXPECT_EQ(admin.Set("Corp", "Description", Text("after the other")), kDirOk);
    other.join();
    EXPECT_EQ(admin.Values("Bob.Corp", "Description"), std::vector<TestValue>{})
        << "the other client's steps are its own to apply";

    // Left behind, the record is finished by the next request, whole, before that request reads.
    ASSERT_TRUE(change("add"));
    EXPECT_EQ(admin.Values("Bob.Corp", "Description"), std::vector<TestValue>{Text("from the other client")});
    std::string out;
    (void)LdapTool({"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-b", m_base, "-s", "base", "kelPending"},
                   "", &out);
    EXPECT_EQ(out.find("kelPending"), std::string::npos) << out;
}

TEST_F(LdapStoreTest, AfterTheServerRestartsTheSessionGoesOnAsTheSameUser) {
    {
        Client admin;
        ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
        ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
        ASSERT_EQ(DirPasswordCallB(admin.Ctx(), "Bob.Corp", "bob-secret", 0), kDirOk);
        ASSERT_EQ(admin.Grant("Corp", "Bob.Corp", "Description", kDirRightRead | kDirRightWrite), kDirOk);
    }
    ASSERT_EQ(DirLogin("Bob.Corp", "bob-secret"), kDirOk);
    Client bob;
    ASSERT_EQ(bob.Set("Corp", "Description", Text("before")), kDirOk);
    m_server.Kill();
    EXPECT_EQ(bob.Set("Corp", "Description", Text("while down")), kDirErrStoreFailed);
    ASSERT_TRUE(m_server.Restart()) << m_server.Problem();
    // Bob again, not nobody (who may write nothing) nor anyone with more rights.
    EXPECT_EQ(bob.Set("Corp", "Description", Text("after")), kDirOk);
    EXPECT_EQ(bob.Values("Corp", "Description"), std::vector<TestValue>{Text("after")});
    EXPECT_EQ(bob.Set("Corp", "Full Name", Text("not Bob's to write")), kDirErrNoRight);

    // Bob changes his own password; after the next restart he is still himself.
    ASSERT_EQ(DirPasswordCallA(bob.Ctx(), 0, "Bob.Corp", "bob-secret", "bob-second"), kDirOk);
    m_server.Kill();
    ASSERT_TRUE(m_server.Restart()) << m_server.Problem();
    EXPECT_EQ(bob.Set("Corp", "Description", Text("after the second")), kDirOk);
    EXPECT_EQ(bob.Values("Corp", "Description"), std::vector<TestValue>{Text("after the second")});
}

TEST_F(LdapStoreTest, ARequestCutOffByTheServersDeathIsWholeOrAbsentAfterARestart) {
    // Removing a user that five groups list is one request of seven steps: the groups lose the value, the
    // user goes, the container is touched.
    {
        Client admin;
        ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
        ASSERT_EQ(admin.Add("NT.Corp", "KEL:NT Domain"), kDirOk);
    }
    std::mt19937 random(12345);
    // Kills land from before the request to after it: 0 to 3 ms into it.
    int whole = 0;
    int absent = 0;
    int interrupted = 0; // cut off between its record and its last step, and finished by the next request
    for (int round = 0; round < 12; ++round) {
        const std::string user = "u" + std::to_string(round) + ".Corp";
        auto group = [&](int g) {
            return "g" + std::to_string(round) + "-" + std::to_string(g) + ".NT.Corp";
        };
        {
            Client admin;
            ASSERT_EQ(admin.Add(user, "User"), kDirOk);
            for (int g = 0; g < 5; ++g) {
                ASSERT_EQ(admin.Add(group(g), "KEL:NT Global Group"), kDirOk);
                ASSERT_EQ(admin.AddValue(group(g), "Member", Dn(user)), kDirOk);
            }
            std::thread killer([&] {
                std::this_thread::sleep_for(std::chrono::microseconds(250 * round + random() % 250));
                m_server.Kill();
            });
            (void)DirRemoveObject(admin.Ctx(), user.c_str());
            killer.join();
        }
        ASSERT_TRUE(m_server.Restart()) << m_server.Problem();
        std::string base;
        (void)LdapTool(
            {"ldapsearch", "-x", "-LLL", "-H", SocketUri(), "-s", "base", "-b", m_base, "kelPending"}, "",
            &base);
        interrupted += base.find("kelPending") != std::string::npos ? 1 : 0;
        ASSERT_EQ(DirOpenStore(m_url.c_str(), 0), kDirOk) << DirStoreProblem();
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
        Client after;
        std::string name;
        std::string baseClass;
        const bool userThere = after.Info(user, &name, &baseClass) == kDirOk;
        for (int g = 0; g < 5; ++g) {
            EXPECT_EQ(after.Values(group(g), "Member").size(), userThere ? 1u : 0u)
                << group(g) << " in round " << round;
        }
        (userThere ? absent : whole) += 1;
    }
    // Both outcomes are sound; the rounds are spread so that kills land before and during the request.
    std::printf("requests whole: %d (%d of them finished after the restart), absent: %d\n", whole,
                interrupted, absent);
    std::vector<std::string> findings;
    EXPECT_EQ(DirCheckStore(
                  0,
                  [](const char* line, void* user) {
                      static_cast<std::vector<std::string>*>(user)->push_back(line);
                  },
                  &findings),
              kDirOk);
    EXPECT_EQ(findings, std::vector<std::string>{"ok"}) << "the whole-store check finds the tree sound";
}

} // namespace
} // namespace dirtest
