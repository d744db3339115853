#include "DirectoryFixture.h"

#include "module/directory/Schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// The vocabulary and the directory must agree on every syntax, or a page would read nothing.
TEST_F(DirectoryTest, EveryAttributeHasTheDirectorysSyntax) {
    for (const auto& attribute : SchemaAttributes()) {
        uint32_t syntax = 0;
        EXPECT_EQ(DirGetSyntaxId(m_ctx, attribute.name, &syntax), kDirOk) << attribute.name;
        EXPECT_EQ(syntax, attribute.syntax) << attribute.name;
    }
}

TEST_F(DirectoryTest, EveryClassCanBeCreated) {
    ASSERT_EQ(AddObject("Corp", "Organization"), kDirOk);
    ASSERT_EQ(AddObject("Dom.Corp", kClassNtDomain), kDirOk);
    // NT accounts and groups live only in an NT system; everything else is made in the organisation.
    const std::set<std::string> accountClasses{kClassNtUser, kClassNtGlobalGroup, kClassNtLocalGroup,
                                               kClassHybridUser};
    for (const auto& schemaClass : SchemaClasses()) {
        const bool account = accountClasses.count(schemaClass.name) != 0;
        const std::string name = std::string("Sample") + std::to_string(schemaClass.ownClass) +
                                 std::to_string(&schemaClass - SchemaClasses().data()) +
                                 (account ? ".Dom.Corp" : ".Corp");
        EXPECT_EQ(AddObject(name.c_str(), schemaClass.name), kDirOk) << schemaClass.name;
        if (account) {
            const std::string misplaced = "Misplaced" + name;
            EXPECT_EQ(AddObject(("Misplaced." + std::string("Corp")).c_str(), schemaClass.name),
                      kDirErrContainment)
                << schemaClass.name;
        }
    }
}

TEST(Schema, LookupIgnoresLetterCaseAndKnowsTheLists) {
    struct Case {
        const char* name;
        uint32_t syntax;
        bool multiValued;
    };
    const Case cases[] = {
        {"Member", kSyntaxDistinguishedName, true},
        {"member", kSyntaxDistinguishedName, true},
        {"KEL:GROUP MEMBERSHIP", kSyntaxDistinguishedName, true},
        {"KEL:Application Server List", kSyntaxDistinguishedName, true},
        {"KEL:Enabled Workstation List", kSyntaxCaseIgnoreString, true},
        {"KEL:Template Groups", kSyntaxCaseIgnoreString, true},
        {"KEL:Primary Group", kSyntaxDistinguishedName, false},
        {"Login Disabled", kSyntaxBoolean, false},
        {"KEL:Port Number", kSyntaxInteger, false},
        {"KEL:Authentication", kSyntaxOctetString, false},
        {"Network Address", kSyntaxNetAddress, false},
        {"ACL", kSyntaxObjectACL, false},
        {"Object Class", kSyntaxClassName, false},
        {"Login Expiration Time", kSyntaxTime, false},
        {"KEL:Maximum Password Age", kSyntaxInterval, false},
        {"No Such Attribute", 0, false},
        {"", 0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SchemaSyntaxOf(c.name), c.syntax) << c.name;
        EXPECT_EQ(IsMultiValuedAttribute(c.name), c.multiValued) << c.name;
    }
    EXPECT_EQ(FindSchemaAttribute(nullptr), nullptr);
}

TEST(Schema, TableHoldsEachNameOnceAndExactlyFiveLists) {
    std::set<std::string> names;
    int lists = 0;
    for (const auto& attribute : SchemaAttributes()) {
        EXPECT_TRUE(names.insert(attribute.name).second) << attribute.name;
        lists += attribute.multiValued ? 1 : 0;
    }
    EXPECT_EQ(lists, 5);
    EXPECT_EQ(names.size(), 50u);
}

TEST(Schema, ClassesAreTheModulesSixAndTheDirectorysTwo) {
    struct Case {
        const char* name;
        bool known;
        bool ownClass;
    };
    const Case cases[] = {
        {"KEL:NT Domain", true, true},
        {"kel:nt workgroup system", true, true},
        {"KEL:NT User", true, true},
        {"KEL:NT Global Group", true, true},
        {"KEL:NT Local Group", true, true},
        {"KEL:Hybrid User", true, true},
        {"User", true, false},
        {"Template", true, false},
        {"Organization", false, false},
    };
    for (const auto& c : cases) {
        const SchemaClass* found = FindSchemaClass(c.name);
        ASSERT_EQ(found != nullptr, c.known) << c.name;
        if (found != nullptr) {
            EXPECT_EQ(found->ownClass, c.ownClass) << c.name;
        }
    }
    EXPECT_EQ(SchemaClasses().size(), 8u);
}

} // namespace
