// The behaviour every store must show, run against the in-memory store and the SQLite file store alike.
#include <gtest/gtest.h>

#include <sodium.h>

#include <string>
#include <vector>

#include "platform/dirclient/DirBuffer.h"
#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/ConformanceFixture.h"
#include "tests/platform/dirclient/TestClient.h"

using namespace dirtest;

namespace {

TEST_P(DirConformance, NewStoreHoldsRootAndAdminWithSupervisor) {
    Client client;
    std::string name;
    std::string baseClass;
    EXPECT_EQ(client.Info("[Root]", &name, &baseClass), kDirOk);
    EXPECT_EQ(name, "[Root]");
    EXPECT_EQ(baseClass, "Tree Root");
    EXPECT_EQ(client.Info("admin", &name, &baseClass), kDirOk);
    EXPECT_EQ(name, "Admin");
    EXPECT_EQ(baseClass, "User");

    char who[512] = {};
    EXPECT_EQ(DirWhoAmI(client.Ctx(), who), kDirOk);
    EXPECT_STREQ(who, "Admin");
    EXPECT_EQ(client.Values("[Root]", "ACL"),
              (std::vector<TestValue>{Acl("[Entry Rights]", "Admin", 0x10),
                                      Acl("[Entry Rights]", "[Public]", 0x1)}));
    EXPECT_EQ(client.Rights("Admin", "[Root]", "[Entry Rights]"), 0x1Fu);
    EXPECT_EQ(client.Rights("Admin", "[Root]", "Full Name"), 0x2Fu);
    // Nobody signed in may see which objects there are, and read nothing of them.
    EXPECT_EQ(client.Rights("[Public]", "[Root]", "[Entry Rights]"), 0x1u);
    EXPECT_EQ(client.Rights("[Public]", "[Root]", "Full Name"), 0u);

    std::vector<Entry> entries;
    ASSERT_EQ(client.List("[Root]", &entries), kDirOk);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Admin");
    char tree[64] = {};
    EXPECT_EQ(DirGetTreeName(tree, sizeof tree), kDirOk);
    EXPECT_STREQ(tree, "KELNT");
}

TEST_P(DirConformance, NamesMatchWithoutCaseAndComeBackAsStored) {
    BuildTree();
    Client client;
    std::string name;
    std::string baseClass;
    EXPECT_EQ(client.Info("BOB.sales.CORP", &name, &baseClass), kDirOk);
    EXPECT_EQ(name, "Bob.Sales.Corp");
    EXPECT_EQ(client.Info("Bob.Sales.Corp.[Root]", &name, &baseClass), kDirOk);
    EXPECT_EQ(name, "Bob.Sales.Corp");

    // The escaped dot belongs to the leaf and stays in it.
    ASSERT_EQ(client.Add("J\\.Smith.Sales.Corp", "User"), kDirOk);
    std::vector<Entry> entries;
    ASSERT_EQ(client.List("Sales.Corp", &entries), kDirOk);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Bob.Sales.Corp");
    EXPECT_EQ(entries[1].name, "J\\.Smith.Sales.Corp");
    EXPECT_EQ(client.Add("j\\.smith.Sales.Corp", "User"), kDirErrObjectExists);
}

TEST_P(DirConformance, BadNamesAreRefusedWithTheirOwnCode) {
    BuildTree();
    Client client;
    const std::string tooLong = std::string(501, 'x') + ".Sales.Corp";
    struct Case {
        std::string name;
        int32_t code;
    } cases[] = {
        {"", kDirErrBadName},
        {".", kDirErrBadName},
        {"Bob..Corp", kDirErrBadName},
        {"Bob.Sales.", kDirErrBadName},
        {".Bob", kDirErrBadName},
        {"Bob.[Root].Corp", kDirErrBadName},
        {"Nobody.Corp", kDirErrNoSuchObject},
        {tooLong, kDirErrNameTooLong},
    };
    for (const auto& c : cases) {
        std::string name;
        std::string baseClass;
        EXPECT_EQ(client.Info(c.name, &name, &baseClass), c.code) << c.name;
        EXPECT_EQ(client.Set(c.name, "Full Name", Text("x")), c.code) << c.name;
    }
    EXPECT_EQ(client.Add(tooLong, "User"), kDirErrNameTooLong);
    EXPECT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", "a.b", 1), kDirErrBadName);
    EXPECT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", std::string(501, 'y').c_str(), 1),
              kDirErrNameTooLong);
}

// A line break in a leaf splits the line that lists it, and a name typed back never holds it: an object
// named so could be reached by nobody. Adds and renames refuse every control character; the tree keeps
// the names it had.
TEST_P(DirConformance, NewLeavesHoldNoControlCharacter) {
    BuildTree();
    Client client;
    struct Case {
        std::string leaf;
        int32_t code;
    } cases[] = {
        {"Line\nFeed", kDirErrControlInName}, {"Carriage\rReturn", kDirErrControlInName},
        {"Tab\tbed", kDirErrControlInName},   {"Trailing\n", kDirErrControlInName},
        {"\x01Start", kDirErrControlInName},  {"Del\x7f", kDirErrControlInName},
        {"Esc\x1b[1m", kDirErrControlInName}, {"J\\.Smith \xc3\xa9~", kDirOk},
    };
    for (const auto& c : cases) {
        const std::string name = c.leaf + ".Sales.Corp";
        const std::string renamed = c.leaf + "B";
        EXPECT_EQ(client.Add(name, "User"), c.code) << name;
        EXPECT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", renamed.c_str(), 1), c.code) << name;
        std::vector<Entry> entries;
        ASSERT_EQ(client.List("Sales.Corp", &entries), kDirOk);
        if (c.code != kDirOk) {
            ASSERT_EQ(entries.size(), 1u) << name;
            EXPECT_EQ(entries[0].name, "Bob.Sales.Corp") << name;
            continue;
        }
        ASSERT_EQ(entries.size(), 2u) << name;
        EXPECT_EQ(entries[0].name, name);
        EXPECT_EQ(entries[1].name, renamed + ".Sales.Corp");
        ASSERT_EQ(DirRemoveObject(client.Ctx(), name.c_str()), kDirOk);
        ASSERT_EQ(DirRenameObject(client.Ctx(), (renamed + ".Sales.Corp").c_str(), "Bob", 1), kDirOk);
    }
    EXPECT_STREQ(DirErrorText(kDirErrControlInName),
                 "a name may not hold a line break, tab or other control character");
}

TEST_P(DirConformance, EverySyntaxRoundTripsInClientForm) {
    BuildTree();
    Client client;
    const std::string user = "Bob.Sales.Corp";
    const std::string domain = "NT.Corp";
    struct Case {
        std::string object;
        std::string attr;
        TestValue value;
    } cases[] = {
        {domain, "KEL:Application Server List", Dn("Sales.Corp")},
        {user, "Full Name", Text("Bob Builder")},
        {user, "Login Disabled", Number(1, kDirSyntaxBoolean)},
        {domain, "KEL:Port Number", Number(static_cast<uint32_t>(-5), kDirSyntaxInteger)},
        {user, "Login Allowed Time Map", Octets(std::string("\x00\xff\x10", 3))},
        {domain, "Network Address", Address(9, "10.0.0.1:2000")},
        {user, "ACL", Acl("Full Name", "[Public]", 0x2)},
        {user, "Login Expiration Time", Number(1700000000u, kDirSyntaxTime)},
        {domain, "KEL:Maximum Password Age", Number(86400, kDirSyntaxInterval)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(client.AddValue(c.object, c.attr, c.value), kDirOk) << c.attr;
        EXPECT_EQ(client.Values(c.object, c.attr), std::vector<TestValue>{c.value}) << c.attr;
        uint32_t syntax = 0;
        EXPECT_EQ(DirGetSyntaxId(client.Ctx(), c.attr.c_str(), &syntax), kDirOk);
        EXPECT_EQ(syntax, c.value.syntax);
    }
    std::vector<Attribute> all;
    ASSERT_EQ(client.Read(user, {}, &all), kDirOk);
    std::vector<std::string> names;
    for (const auto& attr : all) {
        names.push_back(attr.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ACL", "Full Name", "Login Allowed Time Map", "Login Disabled",
                                               "Login Expiration Time", "Object Class"}));
}

TEST_P(DirConformance, RefusedWritesChangeNothing) {
    BuildTree();
    Client client;
    const std::string user = "Bob.Sales.Corp";
    ASSERT_EQ(client.Set(user, "Full Name", Text("Bob")), kDirOk);
    std::vector<Attribute> before;
    ASSERT_EQ(client.Read(user, {}, &before), kDirOk);
    struct Case {
        std::vector<Change> changes;
        int32_t code;
    } cases[] = {
        {{{kDirChangeAddValue, "Full Name", {Text("Second")}}}, kDirErrSingleValued},
        {{{kDirChangeAddValue, "Description", {Text("ok")}},
          {kDirChangeAddValue, "Full Name", {Text("Second")}}},
         kDirErrSingleValued},
        {{{kDirChangeAddValue, "KEL:Group Membership", {Dn("Nobody.Corp")}}}, kDirErrDanglingReference},
        {{{kDirChangeAddValue, "KEL:Group Membership", {Dn("Bad..Name")}}}, kDirErrBadName},
        {{{kDirChangeRemoveValue, "Full Name", {Text("Robert")}}}, kDirErrNoSuchValue},
        {{{kDirChangeAddValue, "ACL", {Acl("No Such Attr", "Admin", 4)}}}, kDirErrNoSuchAttribute},
        {{{kDirChangeAddValue, "ACL", {Acl("Full Name", "Ghost.Corp", 4)}}}, kDirErrDanglingReference},
        {{{kDirChangeRemoveAllValues, "Description", {}}, {kDirChangeAddValue, "Full Name", {Text("bob")}}},
         kDirErrValueExists},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(client.Modify(user, c.changes), c.code);
        std::vector<Attribute> after;
        ASSERT_EQ(client.Read(user, {}, &after), kDirOk);
        EXPECT_EQ(after, before);
    }
    // Refused when the request is built.
    DirBuffer* buf = nullptr;
    ASSERT_EQ(DirAllocBuffer(4096, &buf), kDirOk);
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpModify, buf), kDirOk);
    EXPECT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "No Such Attribute"),
              kDirErrNoSuchAttribute);
    EXPECT_EQ(DirPutChange(client.Ctx(), buf, 5, "Full Name"), kDirErrBadArgument);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Full Name"), kDirOk);
    const uint32_t number = 3;
    EXPECT_EQ(DirPutAttrValue(client.Ctx(), buf, kDirSyntaxInteger, &number), kDirErrWrongSyntax);
    const uint32_t notBoolean = 2;
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Login Disabled"), kDirOk);
    EXPECT_EQ(DirPutAttrValue(client.Ctx(), buf, kDirSyntaxBoolean, &notBoolean), kDirErrWrongSyntax);
    EXPECT_EQ(DirPutAttrName(client.Ctx(), buf, "Full Name"), kDirErrWrongBuffer);
    EXPECT_EQ(DirModifyObject(client.Ctx(), "Nobody.Corp", 0, 0, buf), kDirErrNoSuchObject);
    EXPECT_EQ(DirAddObject(client.Ctx(), "New.Corp", 0, 0, buf), kDirErrWrongBuffer);
    EXPECT_EQ(DirFreeBuffer(buf), kDirOk);
    EXPECT_EQ(client.Set(user, "Object Class", Text("Alias", kDirSyntaxClassName)), kDirErrReadOnlyAttribute);
}

// A list goes to the store in one piece: a reader must see it in the order written, and a value that repeats
// another in any case must refuse the request as it would one value at a time, leaving the old list whole.
TEST_P(DirConformance, AListRewriteKeepsItsOrderOrChangesNothing) {
    BuildTree();
    Client client;
    const std::string user = "Bob.Sales.Corp";
    const std::string attr = "KEL:Enabled Workstation List";
    std::vector<TestValue> list;
    for (int i = 300; i-- > 0;) {
        list.push_back(Text("Station-" + std::to_string(i)));
    }
    ASSERT_EQ(client.Modify(user, {{kDirChangeAddValue, attr, list}}, 65536), kDirOk);
    EXPECT_EQ(client.Values(user, attr), list);

    std::vector<TestValue> reversed(list.rbegin(), list.rend());
    std::vector<TestValue> repeating = reversed;
    repeating[200] = Text("STATION-7");
    EXPECT_EQ(client.Modify(user,
                            {{kDirChangeRemoveAllValues, attr, {}}, {kDirChangeAddValue, attr, repeating}},
                            65536),
              kDirErrValueExists);
    EXPECT_EQ(client.Values(user, attr), list);
    EXPECT_EQ(client.Modify(user, {{kDirChangeAddValue, attr, {Text("Station-300"), Text("station-5")}}}),
              kDirErrValueExists);
    EXPECT_EQ(client.Values(user, attr), list);

    ASSERT_EQ(client.Modify(
                  user, {{kDirChangeRemoveAllValues, attr, {}}, {kDirChangeAddValue, attr, reversed}}, 65536),
              kDirOk);
    EXPECT_EQ(client.Values(user, attr), reversed);
}

TEST_P(DirConformance, AddNeedsAClassInAContainer) {
    BuildTree();
    Client client;
    EXPECT_EQ(client.Add("X.Corp", "No Such Class"), kDirErrNoSuchClass);
    EXPECT_EQ(client.Add("X.Bob.Sales.Corp", "User"), kDirErrNotContainer);
    EXPECT_EQ(client.Add("X.Nowhere", "User"), kDirErrNoSuchObject);
    EXPECT_EQ(client.Add("Bob.Sales.Corp", "User"), kDirErrObjectExists);
    EXPECT_EQ(client.Add("Y.Corp", "User", {{"Member", 1, {Dn("Nobody")}}}), kDirErrDanglingReference);
    std::string name;
    std::string baseClass;
    EXPECT_EQ(client.Info("Y.Corp", &name, &baseClass), kDirErrNoSuchObject);

    DirBuffer* buf = nullptr;
    ASSERT_EQ(DirAllocBuffer(4096, &buf), kDirOk);
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpAdd, buf), kDirOk);
    ASSERT_EQ(DirPutAttrName(client.Ctx(), buf, "Full Name"), kDirOk);
    ASSERT_EQ(DirPutAttrValue(client.Ctx(), buf, kDirSyntaxCaseIgnoreString, "No class"), kDirOk);
    EXPECT_EQ(DirAddObject(client.Ctx(), "Z.Corp", 0, 0, buf), kDirErrMissingClass);
    EXPECT_EQ(DirFreeBuffer(buf), kDirOk);

    ASSERT_EQ(client.Add("Hy.NT.Corp", "KEL:Hybrid User", {{"KEL:QDS User", 1, {Dn("Bob.Sales.Corp")}}}),
              kDirOk);
    EXPECT_EQ(client.Values("Hy.NT.Corp", "KEL:QDS User"), std::vector<TestValue>{Dn("Bob.Sales.Corp")});
    EXPECT_EQ(client.Values("Hy.NT.Corp", "Object Class"),
              std::vector<TestValue>{Text("KEL:Hybrid User", kDirSyntaxClassName)});
}

TEST_P(DirConformance, ReferencesFollowRenameAndMoveAndVanishOnDelete) {
    BuildTree();
    Client client;
    ASSERT_EQ(client.AddValue("Staff.NT.Corp", "Member", Dn("bob.sales.corp")), kDirOk);
    ASSERT_EQ(client.Grant("Corp", "Bob.Sales.Corp", "Description", 0x4), kDirOk);
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member"), std::vector<TestValue>{Dn("Bob.Sales.Corp")});

    ASSERT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", "Robert", 1), kDirOk);
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member"), std::vector<TestValue>{Dn("Robert.Sales.Corp")});

    ASSERT_EQ(DirMoveObject(client.Ctx(), "Sales.Corp", "NT.Corp"), kDirOk);
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member"), std::vector<TestValue>{Dn("Robert.Sales.NT.Corp")});
    EXPECT_EQ(client.Values("Corp", "ACL"),
              std::vector<TestValue>{Acl("Description", "Robert.Sales.NT.Corp", 0x4)});

    ASSERT_EQ(DirRemoveObject(client.Ctx(), "Robert.Sales.NT.Corp"), kDirOk);
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member"), std::vector<TestValue>{});
    EXPECT_EQ(client.Values("Corp", "ACL"), std::vector<TestValue>{});
}

TEST_P(DirConformance, RenameMoveAndRemoveKeepTheTreeSound) {
    BuildTree();
    Client client;
    ASSERT_EQ(client.Set("Bob.Sales.Corp", "CN", Text("Bob")), kDirOk);
    ASSERT_EQ(client.Add("Ann.Sales.Corp", "User"), kDirOk);
    EXPECT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", "ann", 1), kDirErrObjectExists);
    ASSERT_EQ(DirRenameObject(client.Ctx(), "Bob.Sales.Corp", "BOB", 1), kDirOk);
    std::string name;
    std::string baseClass;
    EXPECT_EQ(client.Info("bob.sales.corp", &name, &baseClass), kDirOk);
    EXPECT_EQ(name, "BOB.Sales.Corp");
    EXPECT_EQ(client.Values("BOB.Sales.Corp", "CN"), std::vector<TestValue>{Text("BOB")});

    EXPECT_EQ(DirRemoveObject(client.Ctx(), "Sales.Corp"), kDirErrNotEmpty);
    EXPECT_EQ(DirMoveObject(client.Ctx(), "Corp", "Sales.Corp"), kDirErrLoop);
    EXPECT_EQ(DirMoveObject(client.Ctx(), "Ann.Sales.Corp", "BOB.Sales.Corp"), kDirErrNotContainer);
    ASSERT_EQ(client.Add("Ann.Corp", "User"), kDirOk);
    EXPECT_EQ(DirMoveObject(client.Ctx(), "Ann.Sales.Corp", "Corp"), kDirErrObjectExists);

    ASSERT_EQ(client.Set("Ann.Sales.Corp", "Full Name", Text("Ann A")), kDirOk);
    ASSERT_EQ(client.Grant("Ann.Sales.Corp", "[Public]", "Full Name", 0x2), kDirOk);
    ASSERT_EQ(DirMoveObject(client.Ctx(), "Ann.Sales.Corp", "NT.Corp"), kDirOk);
    EXPECT_EQ(client.Values("Ann.NT.Corp", "Full Name"), std::vector<TestValue>{Text("Ann A")});
    EXPECT_EQ(client.Values("Ann.NT.Corp", "ACL"), std::vector<TestValue>{Acl("Full Name", "[Public]", 2)});
    EXPECT_EQ(client.Info("Ann.Sales.Corp", &name, &baseClass), kDirErrNoSuchObject);

    DirObjectInfo info{};
    char full[512];
    ASSERT_EQ(DirReadObjectInfo(client.Ctx(), "Sales.Corp", full, &info), kDirOk);
    EXPECT_EQ(info.subordinateCount, 1u);
    EXPECT_EQ(info.objectFlags, kDirObjectContainer);
    EXPECT_EQ(DirRemoveObject(client.Ctx(), "BOB.Sales.Corp"), kDirOk);
    EXPECT_EQ(DirRemoveObject(client.Ctx(), "Sales.Corp"), kDirOk);
}

TEST_P(DirConformance, RequestBuffersCountBytesAndRefuseWhatDoesNotFit) {
    BuildTree();
    Client client;
    // 200 users with 50-byte full names to reference.
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        char leaf[64];
        std::snprintf(leaf, sizeof leaf, "user-%03d-%s", i, std::string(30, 'n').c_str());
        names.push_back(std::string(leaf) + ".Sales.Corp"); // 50 bytes
        ASSERT_EQ(names.back().size(), 50u);
        ASSERT_EQ(client.Add(names.back(), "User"), kDirOk);
    }
    DirBuffer* buf = nullptr;
    ASSERT_EQ(DirAllocBuffer(16384, &buf), kDirOk);
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpModify, buf), kDirOk);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeRemoveAllValues, "Member"), kDirOk);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Member"), kDirOk);
    size_t fitted = 0;
    int32_t rc = kDirOk;
    while (fitted < names.size() &&
           (rc = DirPutAttrValue(client.Ctx(), buf, 1, names[fitted].c_str())) == kDirOk) {
        ++fitted;
    }
    EXPECT_EQ(rc, kDirErrBufferFull);
    // 16384 bytes less two changes of 15 bytes, at 59 bytes a value.
    EXPECT_EQ(fitted, (16384u - 2 * 15) / 59);
    ASSERT_EQ(DirModifyObject(client.Ctx(), "Staff.NT.Corp", 0, 0, buf), kDirOk);
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member").size(), fitted);

    // The way the module writes a long list: send when full, start again with a new change.
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpModify, buf), kDirOk);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeRemoveAllValues, "Member"), kDirOk);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Member"), kDirOk);
    int requests = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        rc = DirPutAttrValue(client.Ctx(), buf, 1, names[i].c_str());
        if (rc == kDirErrBufferFull) {
            ASSERT_EQ(DirModifyObject(client.Ctx(), "Staff.NT.Corp", 0, 0, buf), kDirOk);
            ++requests;
            ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpModify, buf), kDirOk);
            ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Member"), kDirOk);
            rc = DirPutAttrValue(client.Ctx(), buf, 1, names[i].c_str());
        }
        ASSERT_EQ(rc, kDirOk);
    }
    ASSERT_EQ(DirModifyObject(client.Ctx(), "Staff.NT.Corp", 0, 0, buf), kDirOk);
    EXPECT_EQ(requests + 1, 2);
    EXPECT_EQ(DirFreeBuffer(buf), kDirOk);
    std::vector<TestValue> expected;
    for (const auto& name : names) {
        expected.push_back(Dn(name));
    }
    EXPECT_EQ(client.Values("Staff.NT.Corp", "Member"), expected);

    // A value larger than any buffer is refused, not truncated.
    ASSERT_EQ(DirAllocBuffer(4096, &buf), kDirOk);
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpModify, buf), kDirOk);
    ASSERT_EQ(DirPutChange(client.Ctx(), buf, kDirChangeAddValue, "Description"), kDirOk);
    const std::string huge(5000, 'd');
    EXPECT_EQ(DirPutAttrValue(client.Ctx(), buf, 3, huge.c_str()), kDirErrBufferFull);
    EXPECT_EQ(DirPutAttrValue(client.Ctx(), buf, 3, "small"), kDirOk);
    EXPECT_EQ(DirFreeBuffer(buf), kDirOk);
}

TEST_P(DirConformance, RepliesIterateUntilComplete) {
    BuildTree();
    Client client;
    std::vector<TestValue> expected;
    {
        std::vector<TestValue> values;
        for (int i = 0; i < 400; ++i) {
            values.push_back(Text("workstation-" + std::to_string(i)));
        }
        ASSERT_EQ(client.Modify("Bob.Sales.Corp",
                                {{kDirChangeAddValue, "KEL:Enabled Workstation List", values}}, 16384 * 2),
                  kDirOk);
        expected = values;
    }
    std::vector<Attribute> attrs;
    int replies = 0;
    ASSERT_EQ(client.Read("Bob.Sales.Corp", {"KEL:Enabled Workstation List"}, &attrs, 4196, &replies),
              kDirOk);
    ASSERT_EQ(attrs.size(), 1u);
    EXPECT_EQ(attrs[0].values, expected);
    EXPECT_GT(replies, 1);

    // A reply of 4196 bytes holds what its byte accounting allows and no more.
    DirBuffer* reply = nullptr;
    DirBuffer* names = nullptr;
    ASSERT_EQ(DirAllocBuffer(4196, &reply), kDirOk);
    ASSERT_EQ(DirAllocBuffer(4096, &names), kDirOk);
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpRead, names), kDirOk);
    ASSERT_EQ(DirPutAttrName(client.Ctx(), names, "KEL:Enabled Workstation List"), kDirOk);
    int32_t iteration = -1;
    ASSERT_EQ(DirRead(client.Ctx(), "Bob.Sales.Corp", 1, 0, names, &iteration, reply), kDirOk);
    EXPECT_NE(iteration, -1);
    char name[132];
    uint32_t count = 0;
    uint32_t syntax = 0;
    ASSERT_EQ(DirGetAttrCount(client.Ctx(), reply, &count), kDirOk);
    ASSERT_EQ(DirGetAttrName(client.Ctx(), reply, name, &count, &syntax), kDirOk);
    EXPECT_GT(count, 100u);
    EXPECT_LT(count, 400u);
    uint32_t size = 0;
    EXPECT_EQ(DirComputeValueSize(client.Ctx(), reply, kDirSyntaxInteger, &size), kDirErrWrongSyntax);
    EXPECT_EQ(DirCloseIteration(client.Ctx(), iteration, kDirOpRead), kDirOk);
    EXPECT_EQ(DirCloseIteration(client.Ctx(), iteration, kDirOpRead), kDirErrBadIteration);
    int32_t stale = iteration;
    EXPECT_EQ(DirRead(client.Ctx(), "Bob.Sales.Corp", 1, 0, names, &stale, reply), kDirErrBadIteration);
    EXPECT_EQ(DirCloseIteration(client.Ctx(), -1, kDirOpList), kDirOk);

    // Reading an attribute without values.
    iteration = -1;
    ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpRead, names), kDirOk);
    ASSERT_EQ(DirPutAttrName(client.Ctx(), names, "Description"), kDirOk);
    EXPECT_EQ(DirRead(client.Ctx(), "Bob.Sales.Corp", 1, 0, names, &iteration, reply),
              kDirErrNoSuchAttribute);
    EXPECT_EQ(iteration, -1);
    EXPECT_EQ(DirFreeBuffer(reply), kDirOk);
    EXPECT_EQ(DirFreeBuffer(names), kDirOk);

    // Listing many objects through several replies.
    for (int i = 0; i < 120; ++i) {
        ASSERT_EQ(client.Add("u" + std::to_string(1000 + i) + ".Sales.Corp", "User"), kDirOk);
    }
    std::vector<Entry> entries;
    ASSERT_EQ(client.List("Sales.Corp", &entries, 4096, &replies), kDirOk);
    EXPECT_EQ(entries.size(), 121u);
    EXPECT_GT(replies, 1);
    EXPECT_EQ(entries.front().name, "Bob.Sales.Corp");
    EXPECT_EQ(entries.back().name, "u1119.Sales.Corp");
}

TEST_P(DirConformance, AliasesFollowTheContextFlags) {
    BuildTree();
    {
        Client admin;
        ASSERT_EQ(admin.Add("BobAlias.Corp", "Alias", {{"Aliased Object Name", 1, {Dn("Bob.Sales.Corp")}}}),
                  kDirOk);
        ASSERT_EQ(admin.Set("Bob.Sales.Corp", "Full Name", Text("Bob B")), kDirOk);
    }
    struct Case {
        uint32_t flags;
        std::string name;
        std::string baseClass;
        std::vector<TestValue> fullName;
    } cases[] = {
        {0, "BobAlias.Corp", "Alias", {}},
        {0x40, "BobAlias.Corp", "User", {}},
        {0x1, "Bob.Sales.Corp", "User", {Text("Bob B")}},
        {0x1 | 0x2 | 0x4 | 0x40, "Bob.Sales.Corp", "User", {Text("Bob B")}},
    };
    for (const auto& c : cases) {
        Client client(c.flags);
        std::string name;
        std::string baseClass;
        EXPECT_EQ(client.Info("BobAlias.Corp", &name, &baseClass), kDirOk);
        EXPECT_EQ(name, c.name) << c.flags;
        EXPECT_EQ(baseClass, c.baseClass) << c.flags;
        EXPECT_EQ(client.Values("BobAlias.Corp", "Full Name"), c.fullName) << c.flags;
        std::vector<Entry> entries;
        ASSERT_EQ(client.List("Corp", &entries), kDirOk);
        ASSERT_EQ(entries[0].name, "BobAlias.Corp");
        EXPECT_EQ(entries[0].baseClass, (c.flags & 0x40) != 0 ? "User" : "Alias");
        EXPECT_EQ(entries[0].flags, kDirObjectAlias);
    }
}

TEST_P(DirConformance, RightsAreTheUnionOfMatchingAclValuesAndAreEnforced) {
    BuildTree();
    Client admin;
    ASSERT_EQ(admin.Add("Ann.Corp", "User"), kDirOk);
    ASSERT_EQ(DirPasswordCallB(admin.Ctx(), "Bob.Sales.Corp", "bob-secret", 0), kDirOk);
    // Bob has nothing yet.
    EXPECT_EQ(admin.Rights("Bob.Sales.Corp", "Ann.Corp", "Full Name"), 0u);
    ASSERT_EQ(DirLogin("Bob.Sales.Corp", "bob-secret"), kDirOk);
    {
        Client bob;
        EXPECT_EQ(bob.Set("Ann.Corp", "Full Name", Text("Ann")), kDirErrNoRight);
        EXPECT_EQ(bob.Add("New.Corp", "User"), kDirErrNoRight);
        EXPECT_EQ(DirRemoveObject(bob.Ctx(), "Ann.Corp"), kDirErrNoRight);
        EXPECT_EQ(DirRenameObject(bob.Ctx(), "Ann.Corp", "Anna", 1), kDirErrNoRight);
        EXPECT_EQ(bob.Grant("Ann.Corp", "Bob.Sales.Corp", "[Entry Rights]", 0x10), kDirErrNoRight);
        EXPECT_EQ(DirPasswordCallB(bob.Ctx(), "Ann.Corp", "x", 0), kDirErrNoRight);
    }
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    // Values on the object and its containers add up; a container of the subject stands for it.
    ASSERT_EQ(admin.Grant("Corp", "Sales.Corp", "Full Name", 0x2), kDirOk);
    ASSERT_EQ(admin.Grant("Ann.Corp", "Bob.Sales.Corp", "Full Name", 0x4), kDirOk);
    ASSERT_EQ(admin.Grant("[Root]", "[Public]", "[All Attributes Rights]", 0x1), kDirOk);
    ASSERT_EQ(admin.Grant("Corp", "Bob.Sales.Corp", "[Entry Rights]", 0x2), kDirOk);
    EXPECT_EQ(admin.Rights("Bob.Sales.Corp", "Ann.Corp", "Full Name"), 0x7u);
    EXPECT_EQ(admin.Rights("Bob.Sales.Corp", "Ann.Corp", "Description"), 0x1u);
    EXPECT_EQ(admin.Rights("Bob.Sales.Corp", "Ann.Corp", "[Entry Rights]"), 0x3u); // with [Public]'s Browse
    EXPECT_EQ(admin.Rights("[Public]", "Ann.Corp", "Full Name"), 0x1u);
    int32_t rc = kDirOk;
    admin.Rights("Ghost", "Ann.Corp", "Full Name", &rc);
    EXPECT_EQ(rc, kDirErrNoSuchObject);
    admin.Rights("Bob.Sales.Corp", "Ann.Corp", "No Such", &rc);
    EXPECT_EQ(rc, kDirErrNoSuchAttribute);

    ASSERT_EQ(admin.Grant("Staff.NT.Corp", "Bob.Sales.Corp", "Member", 0x8), kDirOk);
    ASSERT_EQ(DirLogin("bob.sales.corp", "bob-secret"), kDirOk);
    {
        Client bob;
        EXPECT_EQ(bob.Set("Ann.Corp", "Full Name", Text("Ann")), kDirOk);
        EXPECT_EQ(bob.Set("Ann.Corp", "Description", Text("x")), kDirErrNoRight);
        // A request with one allowed and one refused change does neither.
        EXPECT_EQ(bob.Modify("Ann.Corp", {{kDirChangeRemoveAllValues, "Full Name", {}},
                                          {kDirChangeAddValue, "Description", {Text("x")}}}),
                  kDirErrNoRight);
        EXPECT_EQ(bob.Values("Ann.Corp", "Full Name"), std::vector<TestValue>{Text("Ann")});
        EXPECT_EQ(bob.Add("New.Corp", "User"), kDirOk);
        // Add-self: only one's own name.
        EXPECT_EQ(bob.AddValue("Staff.NT.Corp", "Member", Dn("Bob.Sales.Corp")), kDirOk);
        EXPECT_EQ(bob.AddValue("Staff.NT.Corp", "Member", Dn("Ann.Corp")), kDirErrNoRight);
        EXPECT_EQ(bob.RemoveValue("Staff.NT.Corp", "Member", Dn("Bob.Sales.Corp")), kDirOk);
        EXPECT_EQ(bob.Grant("Ann.Corp", "Bob.Sales.Corp", "[Entry Rights]", 0x10), kDirErrNoRight);
    }
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    ASSERT_EQ(admin.Grant("Ann.Corp", "Bob.Sales.Corp", "ACL", 0x4), kDirOk);
    ASSERT_EQ(DirLogin("Bob.Sales.Corp", "bob-secret"), kDirOk);
    {
        Client bob;
        EXPECT_EQ(bob.Grant("Ann.Corp", "Bob.Sales.Corp", "[Entry Rights]", 0x10), kDirOk);
        EXPECT_EQ(bob.Rights("Bob.Sales.Corp", "Ann.Corp", "Description"), 0x2Fu);
        EXPECT_EQ(bob.Set("Ann.Corp", "Description", Text("x")), kDirOk);
        EXPECT_EQ(DirRemoveObject(bob.Ctx(), "Ann.Corp"), kDirOk);
    }
}

TEST_P(DirConformance, PasswordsChangeWithTheOldOneAndSetWithout) {
    BuildTree();
    Client admin;
    const std::string bob = "Bob.Sales.Corp";
    ASSERT_EQ(admin.Set(bob, "Password Minimum Length", Number(6, kDirSyntaxInteger)), kDirOk);
    EXPECT_EQ(DirPasswordCallB(admin.Ctx(), bob.c_str(), "short", 0), kDirErrPasswordTooShort);
    ASSERT_EQ(DirPasswordCallB(admin.Ctx(), bob.c_str(), "first-pw", 0), kDirOk);
    EXPECT_EQ(DirPasswordCallB(admin.Ctx(), bob.c_str(), "first-pw", 0), kDirErrPasswordRepeated);
    EXPECT_EQ(DirPasswordCallB(admin.Ctx(), "Sales.Corp", "first-pw", 0), kDirErrNotAUser);

    EXPECT_EQ(DirLogin(bob.c_str(), "wrong"), kDirErrBadPassword);
    EXPECT_EQ(DirLogin(bob.c_str(), nullptr), kDirErrBadPassword);
    char who[512];
    ASSERT_EQ(DirWhoAmI(admin.Ctx(), who), kDirOk);
    EXPECT_STREQ(who, "Admin"); // a refused login leaves the identity as it was
    ASSERT_EQ(DirLogin(bob.c_str(), "first-pw"), kDirOk);
    ASSERT_EQ(DirWhoAmI(admin.Ctx(), who), kDirOk);
    EXPECT_STREQ(who, "Bob.Sales.Corp");

    EXPECT_EQ(DirPasswordCallA(admin.Ctx(), 0, bob.c_str(), "not-it", "second-pw"), kDirErrBadPassword);
    EXPECT_EQ(DirPasswordCallA(admin.Ctx(), 0, bob.c_str(), "first-pw", "first-pw"), kDirErrPasswordRepeated);
    EXPECT_EQ(DirPasswordCallA(admin.Ctx(), 0, bob.c_str(), "first-pw", "abc"), kDirErrPasswordTooShort);
    ASSERT_EQ(DirPasswordCallA(admin.Ctx(), 0, bob.c_str(), "first-pw", "second-pw"), kDirOk);
    EXPECT_EQ(DirPasswordCallA(admin.Ctx(), 0, "Admin", "", "admin-pw"), kDirErrNoRight);
    EXPECT_EQ(DirLogin(bob.c_str(), "first-pw"), kDirErrBadPassword);
    EXPECT_EQ(DirLogin(bob.c_str(), "second-pw"), kDirOk);
    EXPECT_EQ(DirLogin("Sales.Corp", ""), kDirErrNotAUser);
    EXPECT_EQ(DirLogin("Nobody", ""), kDirErrNoSuchObject);

    // The hash is nowhere to be read.
    std::vector<Attribute> all;
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
    ASSERT_EQ(admin.Read(bob, {}, &all), kDirOk);
    for (const auto& attr : all) {
        EXPECT_EQ(attr.name.find("assword") == std::string::npos || attr.name == "Password Minimum Length",
                  true);
    }
}

TEST_P(DirConformance, CompareMatchesValuesBySyntax) {
    BuildTree();
    Client client;
    ASSERT_EQ(client.Set("Bob.Sales.Corp", "Full Name", Text("Bob Builder")), kDirOk);
    ASSERT_EQ(client.AddValue("Staff.NT.Corp", "Member", Dn("Bob.Sales.Corp")), kDirOk);
    struct Case {
        std::string object;
        std::string attr;
        TestValue value;
        uint8_t matched;
    } cases[] = {
        {"Bob.Sales.Corp", "Full Name", Text("bob builder"), 1},
        {"Bob.Sales.Corp", "Full Name", Text("Bob"), 0},
        {"Staff.NT.Corp", "Member", Dn("BOB.SALES.CORP"), 1},
        {"Staff.NT.Corp", "Member", Dn("Ghost.Corp"), 0},
    };
    for (const auto& c : cases) {
        DirBuffer* buf = nullptr;
        ASSERT_EQ(DirAllocBuffer(4096, &buf), kDirOk);
        ASSERT_EQ(DirInitBuffer(client.Ctx(), kDirOpCompare, buf), kDirOk);
        ASSERT_EQ(DirPutAttrName(client.Ctx(), buf, c.attr.c_str()), kDirOk);
        ASSERT_EQ(PutValue(client.Ctx(), buf, c.value), kDirOk);
        uint8_t matched = 7;
        EXPECT_EQ(DirCompare(client.Ctx(), c.object.c_str(), buf, &matched), kDirOk);
        EXPECT_EQ(matched, c.matched) << c.value.text;
        EXPECT_EQ(DirFreeBuffer(buf), kDirOk);
    }
}

TEST_P(DirConformance, ContextsKeepTheirKeys) {
    Client client;
    uint32_t flags = 0x4 | 0x2 | 0x1 | 0x40;
    ASSERT_EQ(DirSetContextKey(client.Ctx(), kDirKeyFlags, &flags), kDirOk);
    uint32_t word = 2;
    ASSERT_EQ(DirSetContextKey(client.Ctx(), kDirKeyWord, &word), kDirOk);
    ASSERT_EQ(DirSetContextKey(client.Ctx(), kDirKeyNameContext, "[Root]"), kDirOk);
    uint32_t read = 0;
    EXPECT_EQ(DirGetContextKey(client.Ctx(), kDirKeyFlags, &read), kDirOk);
    EXPECT_EQ(read, flags);
    EXPECT_EQ(DirGetContextKey(client.Ctx(), kDirKeyWord, &read), kDirOk);
    EXPECT_EQ(read, 2u);
    char context[512];
    EXPECT_EQ(DirGetContextKey(client.Ctx(), kDirKeyNameContext, context), kDirOk);
    EXPECT_STREQ(context, "[Root]");
    EXPECT_EQ(DirSetContextKey(client.Ctx(), kDirKeyNameContext, "Nowhere"), kDirErrNoSuchObject);
    EXPECT_EQ(DirSetContextKey(client.Ctx(), 9, &word), kDirErrBadArgument);
    EXPECT_EQ(DirGetContextKey(client.Ctx() + 1000, kDirKeyFlags, &read), kDirErrNoContext);
    EXPECT_EQ(DirFreeContext(client.Ctx() + 1000), kDirErrNoContext);
}

INSTANTIATE_TEST_SUITE_P(Stores, DirConformance,
                         ::testing::Values(StoreKind::Memory, StoreKind::Sqlite, StoreKind::Ldap,
                                           StoreKind::LdapBlocks),
                         [](const auto& info) { return StoreName(info.param); });

TEST(DirSession, MisusedBuffersAndRepliesAnswerCodes) {
    ASSERT_EQ(DirOpenMemoryStore(), kDirOk);
    ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    Client client;
    DirBuffer* reply = nullptr;
    ASSERT_EQ(DirAllocBuffer(4096, &reply), kDirOk);
    EXPECT_EQ(DirInitBuffer(client.Ctx(), 5, reply), kDirErrBadArgument);
    DirBuffer* tiny = nullptr;
    EXPECT_EQ(DirAllocBuffer(16, &tiny), kDirErrBadArgument);
    EXPECT_EQ(tiny, nullptr);
    uint32_t count = 0;
    EXPECT_EQ(DirGetAttrCount(client.Ctx(), reply, &count), kDirErrWrongBuffer);
    int32_t iteration = -1;
    ASSERT_EQ(DirRead(client.Ctx(), "Admin", 1, 1, nullptr, &iteration, reply), kDirOk);
    EXPECT_EQ(iteration, -1);
    ASSERT_EQ(DirGetAttrCount(client.Ctx(), reply, &count), kDirOk);
    ASSERT_EQ(count, 1u); // "Object Class"
    char name[132];
    uint32_t values = 0;
    uint32_t syntax = 0;
    uint32_t size = 0;
    EXPECT_EQ(DirComputeValueSize(client.Ctx(), reply, kDirSyntaxClassName, &size), kDirErrNoMoreItems);
    ASSERT_EQ(DirGetAttrName(client.Ctx(), reply, name, &values, &syntax), kDirOk);
    char value[64];
    ASSERT_EQ(DirGetAttrValue(client.Ctx(), reply, kDirSyntaxClassName, value), kDirOk);
    EXPECT_STREQ(value, "User");
    EXPECT_EQ(DirGetAttrValue(client.Ctx(), reply, kDirSyntaxClassName, value), kDirErrNoMoreItems);
    EXPECT_EQ(DirGetAttrName(client.Ctx(), reply, name, &values, &syntax), kDirErrNoMoreItems);
    EXPECT_EQ(DirGetObjectCount(client.Ctx(), reply, &count), kDirErrWrongBuffer);
    DirBuffer bogus;
    EXPECT_EQ(DirFreeBuffer(&bogus), kDirErrBadArgument);
    EXPECT_EQ(DirInitBuffer(client.Ctx(), kDirOpRead, &bogus), kDirErrBadArgument);
    EXPECT_EQ(DirFreeBuffer(reply), kDirOk);
    EXPECT_EQ(DirCloseStore(), kDirOk);
}

TEST(DirSession, NoStoreMeansNoContext) {
    ASSERT_EQ(DirCloseStore(), kDirOk);
    EXPECT_EQ(DirCreateContext(), kDirErrNoContext);
    EXPECT_EQ(DirLogin("Admin", nullptr), kDirErrNoStore);
    char tree[16];
    EXPECT_EQ(DirGetTreeName(tree, sizeof tree), kDirErrNoStore);
    EXPECT_STREQ(DirErrorText(kDirErrBufferFull), "the buffer is full");
    EXPECT_STREQ(DirErrorText(12345), "unknown error");
}

} // namespace
