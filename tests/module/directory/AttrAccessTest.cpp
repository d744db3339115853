#include "DirectoryFixture.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/DirectoryMessages.h"
#include "module/directory/Schema.h"
#include "platform/ui/WinApp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

std::vector<std::string> ToVector(const CStringArray& array) {
    std::vector<std::string> out;
    for (int i = 0; i < array.GetSize(); ++i) {
        out.push_back(array[i].Str());
    }
    return out;
}

CStringArray ToArray(const std::vector<std::string>& texts) {
    CStringArray array;
    for (const auto& text : texts) {
        array.Add(CString(text));
    }
    return array;
}

// Workstation names of one length, numbered so that their order can be checked.
std::vector<std::string> NumberedValues(int count, size_t length) {
    std::vector<std::string> values;
    for (int i = 0; i < count; ++i) {
        std::string value = "ws" + std::to_string(i) + "-";
        value.resize(length, 'x');
        values.push_back(value);
    }
    return values;
}

class AttrAccessTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        ASSERT_EQ(AddObject("Corp", "Organization"), kDirOk);
        ASSERT_EQ(AddObject("Dom.Corp", kClassNtDomain), kDirOk);
        ASSERT_EQ(AddObject("Joe.Dom.Corp", kClassNtUser), kDirOk);
    }

    std::vector<std::string> StoredList(const char* object, const char* attr,
                                        uint32_t syntax = kSyntaxCaseIgnoreString) const {
        CStringArray values;
        static_cast<void>(ReadAttrValues(m_ctx, object, attr, syntax, &values));
        return ToVector(values);
    }
};

// ---- Contexts -------------------------------------------------------------------------------------------

TEST_F(AttrAccessTest, ContextKindsCarryTheirFlagsAndTheRootNameContext) {
    struct Case {
        int32_t (*create)();
        uint32_t set;
        uint32_t clear;
    };
    const Case cases[] = {
        {&CreateDirContext, 0x4 | 0x2 | 0x1 | 0x40, 0},
        {&CreateDirContextAlt, 0x4 | 0x2, 0x1 | 0x40},
    };
    for (const auto& c : cases) {
        const int32_t ctx = c.create();
        ASSERT_GT(ctx, 0);
        uint32_t flags = 0;
        uint32_t word = 0;
        char nameContext[kDirMaxNameBytes + 1] = {};
        EXPECT_EQ(DirGetContextKey(ctx, kDirKeyFlags, &flags), kDirOk);
        EXPECT_EQ(DirGetContextKey(ctx, kDirKeyWord, &word), kDirOk);
        EXPECT_EQ(DirGetContextKey(ctx, kDirKeyNameContext, nameContext), kDirOk);
        EXPECT_EQ(flags & c.set, c.set);
        EXPECT_EQ(flags & c.clear, 0u);
        EXPECT_EQ(word, 2u);
        EXPECT_STREQ(nameContext, "[Root]");
        EXPECT_EQ(DirFreeContext(ctx), kDirOk);
    }
}

TEST_F(AttrAccessTest, AltContextSeesAnAliasItselfWhereTheStandardOneSeesItsObject) {
    DirBuffer* buf = nullptr;
    ASSERT_EQ(DirAllocBuffer(kDirBufferSmall, &buf), kDirOk);
    ASSERT_EQ(DirInitBuffer(m_ctx, kDirOpAdd, buf), kDirOk);
    ASSERT_EQ(DirPutAttrName(m_ctx, buf, kAttrObjectClass), kDirOk);
    ASSERT_EQ(DirPutAttrValue(m_ctx, buf, kSyntaxClassName, "Alias"), kDirOk);
    ASSERT_EQ(DirPutAttrName(m_ctx, buf, "Aliased Object Name"), kDirOk);
    ASSERT_EQ(DirPutAttrValue(m_ctx, buf, kSyntaxDistinguishedName, "Joe.Dom.Corp"), kDirOk);
    ASSERT_EQ(DirAddObject(m_ctx, "JoeAlias.Corp", 0, 0, buf), kDirOk);
    ASSERT_EQ(DirFreeBuffer(buf), kDirOk);

    CDirContext standard;
    CDirContext alt(CDirContext::Kind::Alt);
    char name[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    ASSERT_EQ(DirReadObjectInfo(standard.Get(), "JoeAlias.Corp", name, &info), kDirOk);
    EXPECT_STREQ(info.baseClass, kClassNtUser);
    ASSERT_EQ(DirReadObjectInfo(alt.Get(), "JoeAlias.Corp", name, &info), kDirOk);
    EXPECT_STREQ(info.baseClass, "Alias");
}

TEST_F(AttrAccessTest, NoContextWithoutAStore) {
    ASSERT_EQ(DirCloseStore(), kDirOk);
    EXPECT_EQ(CreateDirContext(), kDirErrNoContext);
    EXPECT_EQ(CreateDirContextAlt(), kDirErrNoContext);
    CDirContext owner;
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_EQ(owner.Get(), kDirErrNoContext);
}

TEST_F(AttrAccessTest, ContextOwnerFreesItsContext) {
    int32_t handle = 0;
    {
        CDirContext owner;
        ASSERT_TRUE(owner.IsOpen());
        handle = owner.Get();
        uint32_t flags = 0;
        EXPECT_EQ(DirGetContextKey(handle, kDirKeyFlags, &flags), kDirOk);
        CDirContext moved(std::move(owner));
        EXPECT_EQ(moved.Get(), handle);
    }
    uint32_t flags = 0;
    EXPECT_EQ(DirGetContextKey(handle, kDirKeyFlags, &flags), kDirErrNoContext);
}

// ---- Rights and identity --------------------------------------------------------------------------------

class RightsTest : public AttrAccessTest {
protected:
    void SetUp() override {
        AttrAccessTest::SetUp();
        ASSERT_EQ(AddObject("Bob.Corp", kClassUser), kDirOk);
    }
    int32_t Grant(const char* object, const char* protectedAttr, uint32_t rights) const {
        DirObjectACL acl{const_cast<char*>(protectedAttr), const_cast<char*>("Bob.Corp"), rights};
        return AddAttrValue(m_ctx, object, kAttrAcl, kSyntaxObjectACL, &acl);
    }
};

TEST_F(RightsTest, WriteAnswersFollowTheGrantedRightsAndTheStoreAgrees) {
    // Bob reads but may not write until Write is granted; the store refuses what the answer refuses.
    ASSERT_EQ(Grant("Joe.Dom.Corp", kAclAllAttributesRights, kDirRightRead), 1);
    EXPECT_EQ(CanWriteAttribute(m_ctx, "Bob.Corp", "Joe.Dom.Corp", kAttrFullName), 0);
    EXPECT_EQ(CanWriteACL(m_ctx, "Bob.Corp", "Joe.Dom.Corp"), 0);

    ASSERT_EQ(DirLogin("Bob.Corp", ""), kDirOk);
    {
        CDirContext bob;
        EXPECT_EQ(IsCurrentIdentity(bob.Get(), "bob.corp"), 1);
        EXPECT_EQ(CanWriteAttribute(bob.Get(), "Bob.Corp", "Joe.Dom.Corp", kAttrFullName), 0);
        EXPECT_EQ(SetAttrValue(bob.Get(), "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe"), 0);
        EXPECT_EQ(GetLastAttrError(), kDirErrNoRight);
    }
    ASSERT_EQ(DirLogin("Admin", ""), kDirOk);

    ASSERT_EQ(Grant("Joe.Dom.Corp", kAttrFullName, kDirRightWrite), 1);
    EXPECT_EQ(CanWriteAttribute(m_ctx, "Bob.Corp", "Joe.Dom.Corp", kAttrFullName), 1);
    EXPECT_EQ(CanWriteAttribute(m_ctx, "Bob.Corp", "Joe.Dom.Corp", kAttrDescription), 0);
    EXPECT_EQ(CanWriteACL(m_ctx, "Bob.Corp", "Joe.Dom.Corp"), 0);
    ASSERT_EQ(Grant("Joe.Dom.Corp", kAttrAcl, kDirRightWrite), 1);
    EXPECT_EQ(CanWriteACL(m_ctx, "Bob.Corp", "Joe.Dom.Corp"), 1);

    ASSERT_EQ(DirLogin("Bob.Corp", ""), kDirOk);
    CDirContext bob;
    EXPECT_EQ(SetAttrValue(bob.Get(), "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe"), 1);
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(RightsTest, FailedRightsQueryShowsItsMessageOnlyForTheAclCheck) {
    EXPECT_EQ(CanWriteAttribute(m_ctx, "Bob.Corp", "Nobody.Corp", kAttrFullName), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrNoSuchObject);
    EXPECT_THAT(ShownIds(), IsEmpty());
    EXPECT_EQ(CanWriteACL(m_ctx, "Bob.Corp", "Nobody.Corp"), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrNoSuchObject);
    EXPECT_THAT(ShownIds(), ElementsAre(57348));
}

TEST_F(RightsTest, IdentityIsComparedWithoutLetterCase) {
    EXPECT_EQ(IsCurrentIdentity(m_ctx, "Admin"), 1);
    EXPECT_EQ(IsCurrentIdentity(m_ctx, "ADMIN"), 1);
    EXPECT_EQ(IsCurrentIdentity(m_ctx, "Bob.Corp"), 0);
    EXPECT_EQ(IsCurrentIdentity(m_ctx, "Admi"), 0);
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(DirectoryTest, IdentityQueryWithNobodySignedInShowsItsMessage) {
    ASSERT_EQ(DirOpenMemoryStore(), kDirOk); // a fresh store: nobody signed in
    CDirContext ctx;
    ASSERT_TRUE(ctx.IsOpen());
    EXPECT_EQ(IsCurrentIdentity(ctx.Get(), "Admin"), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrNoIdentity);
    EXPECT_THAT(ShownIds(), ElementsAre(57349));
}

// ---- Single values --------------------------------------------------------------------------------------

TEST_F(AttrAccessTest, SingleValuesOfEachShapeRoundTrip) {
    const uint32_t port = 2001;
    const uint32_t on = 1;
    uint8_t keyBytes[] = {0x01, 0x00, 0xFE, 0x7F};
    DirOctetString key{sizeof keyBytes, keyBytes};
    ASSERT_EQ(SetAttrValue(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxInteger, &port), 1);
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrLoginDisabled, kSyntaxBoolean, &on), 1);
    ASSERT_EQ(SetAttrValue(m_ctx, "Dom.Corp", kAttrKelPublicKey, kSyntaxOctetString, &key), 1);
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe Average"), 1);
    // A second write replaces the value rather than adding one.
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe Doe"), 1);

    DirValuePtr value = ReadAttrValueOwned(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxInteger);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*static_cast<const int32_t*>(value.get()), 2001);
    value = ReadAttrValueOwned(m_ctx, "Joe.Dom.Corp", kAttrLoginDisabled, kSyntaxBoolean);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(*static_cast<const uint32_t*>(value.get()), 1u);
    value = ReadAttrValueOwned(m_ctx, "Dom.Corp", kAttrKelPublicKey, kSyntaxOctetString);
    ASSERT_NE(value, nullptr);
    const auto* octets = static_cast<const DirOctetString*>(value.get());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(octets->data), octets->length),
              std::string(reinterpret_cast<const char*>(keyBytes), sizeof keyBytes));
    CString fullName;
    EXPECT_EQ(ReadStringAttr(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, &fullName), 1);
    EXPECT_EQ(fullName, "Joe Doe");
}

TEST_F(AttrAccessTest, ReadingWithAnotherSyntaxAnswersZeroAndAllocatesNothing) {
    const int32_t port = 2001;
    ASSERT_EQ(SetAttrValue(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxInteger, &port), 1);
    void* value = reinterpret_cast<void*>(&m_ctx); // anything but null: the call must clear it
    EXPECT_EQ(ReadAttrValue(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxCaseIgnoreString, &value), 0);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(GetLastAttrError(), kDirErrWrongSyntax);
}

TEST_F(AttrAccessTest, ReadingAMissingValueOrObjectAnswersZero) {
    struct Case {
        const char* object;
        int32_t code;
    };
    const Case cases[] = {{"Joe.Dom.Corp", kDirErrNoSuchAttribute}, {"Nobody.Dom.Corp", kDirErrNoSuchObject}};
    for (const auto& c : cases) {
        void* value = nullptr;
        EXPECT_EQ(ReadAttrValue(m_ctx, c.object, kAttrDescription, kSyntaxCaseIgnoreString, &value), 0);
        EXPECT_EQ(value, nullptr);
        EXPECT_EQ(GetLastAttrError(), c.code) << c.object;
    }
}

TEST_F(AttrAccessTest, EmptyCaseIgnoreStringRemovesTheAttribute) {
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrDescription, kSyntaxCaseIgnoreString, "temp staff"),
              1);
    EXPECT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrDescription, kSyntaxCaseIgnoreString, ""), 1);
    void* value = nullptr;
    EXPECT_EQ(ReadAttrValue(m_ctx, "Joe.Dom.Corp", kAttrDescription, kSyntaxCaseIgnoreString, &value), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrNoSuchAttribute);
    // Removing what is already gone is no failure.
    EXPECT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrDescription, kSyntaxCaseIgnoreString, ""), 1);
}

TEST_F(AttrAccessTest, RefusedSingleWriteLeavesTheOldValue) {
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe"), 1);
    // A value of the wrong syntax: the removal travels in the same request, so nothing is lost.
    const int32_t number = 5;
    EXPECT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxInteger, &number), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrWrongSyntax);
    EXPECT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, nullptr), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrBadArgument);
    CString fullName;
    EXPECT_EQ(ReadStringAttr(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, &fullName), 1);
    EXPECT_EQ(fullName, "Joe");
}

TEST_F(AttrAccessTest, AddAndRemoveKeepAGroupAndItsMemberInStep) {
    ASSERT_EQ(AddObject("Staff.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    EXPECT_EQ(AddAttrValue(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, "Joe.Dom.Corp"),
              1);
    EXPECT_EQ(
        AddAttrValue(m_ctx, "Joe.Dom.Corp", kAttrGroupMembership, kSyntaxDistinguishedName, "Staff.Dom.Corp"),
        1);
    CStringArray members;
    EXPECT_EQ(ReadAttrValues(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, &members), 1);
    EXPECT_THAT(ToVector(members), ElementsAre("Joe.Dom.Corp"));

    struct Case {
        const char* value;
        int32_t answer;
        int32_t code;
    };
    const Case removals[] = {
        {"Joe.Dom.Corp", 1, kDirOk}, {"Joe.Dom.Corp", 0, kDirErrNoSuchValue}, // already gone
    };
    for (const auto& c : removals) {
        EXPECT_EQ(RemoveAttrValue(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, c.value),
                  c.answer);
        EXPECT_EQ(GetLastAttrError(), c.code);
    }
    EXPECT_EQ(AddAttrValue(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, "Ghost.Dom.Corp"),
              0);
    EXPECT_EQ(GetLastAttrError(), kDirErrDanglingReference);
    EXPECT_EQ(ReadAttrValues(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, &members), 0);
    EXPECT_THAT(ToVector(members), IsEmpty());
}

TEST_F(AttrAccessTest, CompareTellsMatchFromNoMatch) {
    ASSERT_EQ(SetAttrValue(m_ctx, "Joe.Dom.Corp", kAttrFullName, kSyntaxCaseIgnoreString, "Joe Doe"), 1);
    struct Case {
        const char* value;
        uint32_t syntax;
        int32_t answer;
        uint8_t matched;
    };
    const Case cases[] = {
        {"joe doe", kSyntaxCaseIgnoreString, 1, 1},
        {"Jane Doe", kSyntaxCaseIgnoreString, 1, 0},
        {"Joe Doe", kSyntaxDistinguishedName, 0, 0}, // not the attribute's syntax
    };
    for (const auto& c : cases) {
        uint8_t matched = 0xAA;
        EXPECT_EQ(CompareAttrValue(m_ctx, kAttrFullName, c.syntax, "Joe.Dom.Corp", c.value, &matched),
                  c.answer)
            << c.value;
        EXPECT_EQ(matched, c.matched) << c.value;
    }
}

// ---- Lists ----------------------------------------------------------------------------------------------

TEST_F(AttrAccessTest, ListLargerThanOneRequestIsStoredWholeAndInOrder) {
    // 400 values of 60 bytes need about 30 KB of requests and eight replies of 4196 bytes.
    const auto values = NumberedValues(400, 60);
    const CStringArray array = ToArray(values);
    ASSERT_EQ(
        SetAttrValues(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &array),
        1);
    EXPECT_EQ(StoredList("Joe.Dom.Corp", kAttrEnabledWorkstationList), values);
    CString first;
    EXPECT_EQ(
        ReadStringAttr(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &first),
        1);
    EXPECT_EQ(first.Str(), values[0]);

    // A shorter list replaces the long one, and an empty one removes every value.
    const CStringArray shorter = ToArray({"B", "A"});
    ASSERT_EQ(
        SetAttrValues(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &shorter),
        1);
    EXPECT_THAT(StoredList("Joe.Dom.Corp", kAttrEnabledWorkstationList), ElementsAre("B", "A"));
    const CStringArray none;
    ASSERT_EQ(
        SetAttrValues(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &none), 1);
    EXPECT_THAT(StoredList("Joe.Dom.Corp", kAttrEnabledWorkstationList), IsEmpty());
}

TEST_F(AttrAccessTest, ValueThatDoesNotFitBehindItsChangeIsNotSentWithoutIt) {
    // Cost of an item: its bytes + 1 + 8. With the 28-byte attribute name a change costs 37, a 100-byte value
    // 109: after "remove all" and 110 pairs 287 bytes are left, so the next change fits and a 300-byte value
    // behind it does not. The probe below checks that arithmetic against the client.
    const auto attr = kAttrEnabledWorkstationList;
    std::vector<std::string> values = NumberedValues(110, 100);
    values.push_back(std::string(300, 'L'));
    values.push_back("after");

    DirBuffer* probe = nullptr;
    ASSERT_EQ(DirAllocBuffer(kDirBufferLarge, &probe), kDirOk);
    ASSERT_EQ(DirInitBuffer(m_ctx, kDirOpModify, probe), kDirOk);
    ASSERT_EQ(DirPutChange(m_ctx, probe, kDirChangeRemoveAllValues, attr), kDirOk);
    for (size_t i = 0; i < 110; ++i) {
        ASSERT_EQ(DirPutChange(m_ctx, probe, kDirChangeAddValue, attr), kDirOk);
        ASSERT_EQ(DirPutAttrValue(m_ctx, probe, kSyntaxCaseIgnoreString, values[i].c_str()), kDirOk);
    }
    ASSERT_EQ(DirPutChange(m_ctx, probe, kDirChangeAddValue, attr), kDirOk);
    ASSERT_EQ(DirPutAttrValue(m_ctx, probe, kSyntaxCaseIgnoreString, values[110].c_str()), kDirErrBufferFull);
    ASSERT_EQ(DirFreeBuffer(probe), kDirOk);

    const CStringArray array = ToArray(values);
    EXPECT_EQ(SetAttrValues(m_ctx, "Joe.Dom.Corp", attr, kSyntaxCaseIgnoreString, &array), 1);
    EXPECT_EQ(StoredList("Joe.Dom.Corp", attr), values);
}

TEST_F(AttrAccessTest, ValueLargerThanAnyRequestIsRefusedBeforeAnythingChanges) {
    const auto attr = kAttrEnabledWorkstationList;
    const CStringArray old = ToArray({"WS1", "WS2"});
    ASSERT_EQ(SetAttrValues(m_ctx, "Joe.Dom.Corp", attr, kSyntaxCaseIgnoreString, &old), 1);

    // The oversized value comes after more values than one request holds, so a flush would already have
    // emptied the list by the time it is reached.
    std::vector<std::string> values = NumberedValues(400, 60);
    values.push_back(std::string(kDirBufferLarge, 'h'));
    values.push_back("WS4");
    const CStringArray huge = ToArray(values);
    EXPECT_EQ(SetAttrValues(m_ctx, "Joe.Dom.Corp", attr, kSyntaxCaseIgnoreString, &huge), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrValueTooLarge);
    EXPECT_THAT(StoredList("Joe.Dom.Corp", attr), ElementsAre("WS1", "WS2"));
}

TEST_F(AttrAccessTest, RefusedValueNearTheEndOfALongRewriteLeavesTheListAsItWas) {
    // 10,000 values take many 16 KiB requests, so every earlier request would have gone (and the first one
    // emptied the list) by the time the bad value was reached.
    constexpr int kCount = 10000;
    constexpr int kBadAt = 9990;
    std::vector<std::string> users;
    for (int i = 0; i < kCount; ++i) {
        users.push_back("U" + std::to_string(i) + ".Dom.Corp");
        ASSERT_EQ(AddObject(users.back().c_str(), kClassNtUser), kDirOk);
    }
    ASSERT_EQ(AddObject("Staff.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    const std::vector<std::string> workstationsBefore{"WS1", "WS2"};
    const std::vector<std::string> membersBefore{"Joe.Dom.Corp"};
    struct Case {
        const char* label;
        const char* attr;
        std::string bad;
        int32_t code;
    };
    const Case cases[] = {
        {"too large", kAttrEnabledWorkstationList, std::string(kDirBufferLarge, 'h'), kDirErrValueTooLarge},
        {"no such object", kAttrMember, "Nobody.Dom.Corp", kDirErrDanglingReference},
        {"malformed name", kAttrMember, "U1..Dom.Corp", kDirErrBadName},
        {"name too long", kAttrMember, std::string(kDirMaxNameBytes + 1, 'n'), kDirErrNameTooLong},
    };
    for (const auto& c : cases) {
        const uint32_t syntax = SchemaSyntaxOf(c.attr);
        const bool names = syntax == kSyntaxDistinguishedName;
        const char* object = names ? "Staff.Dom.Corp" : "Joe.Dom.Corp";
        const std::vector<std::string>& before = names ? membersBefore : workstationsBefore;
        const CStringArray beforeArray = ToArray(before);
        ASSERT_EQ(SetAttrValues(m_ctx, object, c.attr, syntax, &beforeArray), 1) << c.label;
        std::vector<std::string> values = names ? users : NumberedValues(kCount, 60);
        values[kBadAt] = c.bad;
        const CStringArray array = ToArray(values);
        EXPECT_EQ(SetAttrValues(m_ctx, object, c.attr, syntax, &array), 0) << c.label;
        EXPECT_EQ(GetLastAttrError(), c.code) << c.label;
        EXPECT_EQ(StoredList(object, c.attr, syntax), before) << c.label;
    }
}

TEST_F(AttrAccessTest, ListTheVocabularyRefusesChangesNothing) {
    ASSERT_EQ(AddObject("Staff.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    const CStringArray members = ToArray({"Joe.Dom.Corp"});
    ASSERT_EQ(SetAttrValues(m_ctx, "Staff.Dom.Corp", kAttrMember, kSyntaxDistinguishedName, &members), 1);
    const CStringArray defaults = ToArray({"Users"});
    ASSERT_EQ(SetAttrValues(m_ctx, "Dom.Corp", kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, &defaults),
              1);
    struct Case {
        const char* object;
        const char* attr;
        uint32_t syntax;
        std::vector<std::string> values;
        int32_t code;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        // An empty list would otherwise remove every member before any value was looked at.
        {"Staff.Dom.Corp", kAttrMember, kSyntaxCaseIgnoreString, {}, kDirErrWrongSyntax, {"Joe.Dom.Corp"}},
        // The directory knows this attribute; the module keeps to its own vocabulary.
        {"Joe.Dom.Corp",
         "Aliased Object Name",
         kSyntaxDistinguishedName,
         {"Dom.Corp"},
         kDirErrNoSuchAttribute,
         {}},
        {"Dom.Corp",
         kAttrNtDefaultGroupName,
         kSyntaxCaseIgnoreString,
         {"A", "B"},
         kDirErrSingleValued,
         {"Users"}},
    };
    for (const auto& c : cases) {
        const CStringArray array = ToArray(c.values);
        EXPECT_EQ(SetAttrValues(m_ctx, c.object, c.attr, c.syntax, &array), 0) << c.attr;
        EXPECT_EQ(GetLastAttrError(), c.code) << c.attr;
        uint32_t storedSyntax = 0;
        ASSERT_EQ(DirGetSyntaxId(m_ctx, c.attr, &storedSyntax), kDirOk) << c.attr;
        EXPECT_EQ(StoredList(c.object, c.attr, storedSyntax), c.after) << c.attr;
    }
}

TEST_F(AttrAccessTest, RepeatsThatDifferOnlyInLetterCaseAreStoredOnce) {
    ASSERT_EQ(AddObject("Ann.Dom.Corp", kClassNtUser), kDirOk);
    ASSERT_EQ(AddObject("Staff.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    // A repeat far from its first spelling lands in a later request than the first.
    std::vector<std::string> longList = NumberedValues(600, 60);
    std::vector<std::string> longListStored = longList;
    longList[300] = "WS0-" + std::string(56, 'X');
    longListStored.erase(longListStored.begin() + 300);
    struct Case {
        const char* object;
        const char* attr;
        std::vector<std::string> values;
        std::vector<std::string> stored;
    };
    const Case cases[] = {
        {"Joe.Dom.Corp",
         kAttrEnabledWorkstationList,
         {"WS1", "ws1", "WS2", "Ws2", "WS3"},
         {"WS1", "WS2", "WS3"}},
        {"Joe.Dom.Corp", kAttrEnabledWorkstationList, longList, longListStored},
        // Names come back as the directory stores them, whichever spelling was kept.
        {"Staff.Dom.Corp",
         kAttrMember,
         {"joe.dom.corp", "Ann.Dom.Corp", "JOE.DOM.CORP", "ann.dom.corp.[Root]"},
         {"Joe.Dom.Corp", "Ann.Dom.Corp"}},
        {"Dom.Corp", kAttrNtDefaultGroupName, {"Users", "USERS"}, {"Users"}},
    };
    for (const auto& c : cases) {
        const uint32_t syntax = SchemaSyntaxOf(c.attr);
        const CStringArray array = ToArray(c.values);
        EXPECT_EQ(SetAttrValues(m_ctx, c.object, c.attr, syntax, &array), 1) << c.values.size();
        EXPECT_EQ(StoredList(c.object, c.attr, syntax), c.stored) << c.values.size();
    }
}

TEST_F(AttrAccessTest, ListOperationsTakeStringSyntaxesOnly) {
    const CStringArray array = ToArray({"1"});
    EXPECT_EQ(SetAttrValues(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxInteger, &array), 0);
    EXPECT_EQ(GetLastAttrError(), kDirErrWrongSyntax);
    CStringArray values = ToArray({"left over"});
    EXPECT_EQ(ReadAttrValues(m_ctx, "Dom.Corp", kAttrPortNumber, kSyntaxInteger, &values), 0);
    EXPECT_THAT(ToVector(values), IsEmpty());
}

TEST_F(AttrAccessTest, ReadingAListWithAnotherSyntaxAnswersZero) {
    const CStringArray array = ToArray({"WS1"});
    ASSERT_EQ(
        SetAttrValues(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &array),
        1);
    CStringArray values;
    EXPECT_EQ(
        ReadAttrValues(m_ctx, "Joe.Dom.Corp", kAttrEnabledWorkstationList, kSyntaxDistinguishedName, &values),
        0);
    EXPECT_EQ(GetLastAttrError(), kDirErrWrongSyntax);
    EXPECT_THAT(ToVector(values), IsEmpty());
}

// ---- Counting subordinates ------------------------------------------------------------------------------

TEST_F(AttrAccessTest, CountsEveryObjectBelowAContainerOverSeveralReplies) {
    for (int i = 0; i < 80; ++i) {
        ASSERT_EQ(AddObject(("User" + std::to_string(i) + ".Dom.Corp").c_str(), kClassNtUser), kDirOk);
    }
    struct Case {
        const char* container;
        uint32_t count;
    };
    const Case cases[] = {{"Dom.Corp", 81}, {"Corp", 1}, {"Joe.Dom.Corp", 0}};
    for (const auto& c : cases) {
        uint32_t count = 12345;
        EXPECT_EQ(CountSubordinates(c.container, &count), 1) << c.container;
        EXPECT_EQ(count, c.count) << c.container;
    }
    EXPECT_THAT(ShownIds(), IsEmpty());
}

TEST_F(AttrAccessTest, CountingAMissingContainerShowsTheListFailure) {
    uint32_t count = 7;
    EXPECT_EQ(CountSubordinates("Nowhere.Corp", &count), 0);
    EXPECT_EQ(count, 0u);
    ASSERT_THAT(ShownIds(), ElementsAre(14));
    EXPECT_EQ(GetLastAttrError(), kDirErrNoSuchObject);
}

TEST_F(AttrAccessTest, CountingWithNoStoreOpenShowsTheContextFailure) {
    ASSERT_EQ(DirCloseStore(), kDirOk);
    uint32_t count = 7;
    EXPECT_EQ(CountSubordinates("Dom.Corp", &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_THAT(ShownIds(), ElementsAre(13));
}

} // namespace

// With the English resource library the administrator reads what failed and the client's code.
TEST_F(AttrAccessTest, MessagesCarryTheirTextsAndTheClientsCode) {
    HMODULE library = LoadLibraryA(KELNT_BINARY_DIR "/lib/English/rckelnt.so");
    ASSERT_NE(library, nullptr) << LoadLibraryLastErrorText();
    const HINSTANCE before = AfxGetResourceHandle();
    AfxSetResourceHandle(library);

    uint32_t count = 0;
    EXPECT_EQ(CountSubordinates("Nowhere.Corp", &count), 0);
    EXPECT_EQ(CanWriteACL(m_ctx, "Admin", "Nowhere.Corp"), 0);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    EXPECT_EQ(CountSubordinates("Dom.Corp", &count), 0);

    AfxSetResourceHandle(before);
    EXPECT_EQ(FreeLibrary(library), TRUE);
    const auto& shown = Prompter::Instance().Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].stringId, 14);
    EXPECT_NE(shown[0].text.find("(error -701)"), std::string::npos) << shown[0].text;
    EXPECT_EQ(shown[1].stringId, 57348);
    EXPECT_EQ(shown[2].stringId, 13);
    for (const auto& box : shown) {
        EXPECT_FALSE(box.text.empty()) << box.stringId;
        EXPECT_EQ(box.buttons, static_cast<UINT>(MB_OK)) << box.stringId;
    }
}

TEST_F(AttrAccessTest, AListChangeTouchesOnlyItsOwnValuesAndTakesWhatIsAlreadySo) {
    const char* user = "Joe.Dom.Corp";
    const CStringArray stored = ToArray({"A", "B", "C"});
    ASSERT_EQ(SetAttrValues(m_ctx, user, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &stored), 1);
    // The person saw A, B and C, and left B, c (its letter case retyped) and D.
    const CStringArray after = ToArray({"B", "c", "D", "D"});
    CStringArray removed;
    CStringArray added;
    DiffAttrValues(stored, after, &removed, &added);
    EXPECT_EQ(ToVector(removed), (std::vector<std::string>{"A"}));
    EXPECT_EQ(ToVector(added), (std::vector<std::string>{"D"}));

    // Meanwhile another writer took A away already, put D in already and added E.
    ASSERT_EQ(RemoveAttrValue(m_ctx, user, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "A"), 1);
    ASSERT_EQ(AddAttrValue(m_ctx, user, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "D"), 1);
    ASSERT_EQ(AddAttrValue(m_ctx, user, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, "E"), 1);
    CStringArray refused;
    EXPECT_EQ(ChangeAttrValues(m_ctx, user, kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, &removed,
                               &added, &refused),
              1);
    EXPECT_TRUE(refused.IsEmpty());
    EXPECT_EQ(StoredList(user, kAttrEnabledWorkstationList), (std::vector<std::string>{"B", "C", "D", "E"}));

    // A name of no object is refused on its own; the other values of the change still go.
    ASSERT_EQ(AddObject("Staff.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    ASSERT_EQ(AddObject("Sales.Dom.Corp", kClassNtGlobalGroup), kDirOk);
    const CStringArray groups = ToArray({"Staff.Dom.Corp", "Ghost.Dom.Corp", "Sales.Dom.Corp"});
    EXPECT_EQ(ChangeAttrValues(m_ctx, user, kAttrGroupMembership, kSyntaxDistinguishedName, nullptr, &groups,
                               &refused),
              0);
    EXPECT_EQ(GetLastAttrError(), kDirErrDanglingReference);
    EXPECT_EQ(ToVector(refused), (std::vector<std::string>{"Ghost.Dom.Corp"}));
    EXPECT_EQ(StoredList(user, kAttrGroupMembership, kSyntaxDistinguishedName),
              (std::vector<std::string>{"Staff.Dom.Corp", "Sales.Dom.Corp"}));
}
