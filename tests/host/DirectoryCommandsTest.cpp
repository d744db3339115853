#include "host/DirectoryCommands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/DirectoryOps.h"
#include "host/Sample.h"
#include "platform/dirclient/DirClient.h"

namespace {

class DirectoryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(1, 8192), 0);
        ASSERT_EQ(DirOpenMemoryStore(), 0);
        ASSERT_EQ(DirLogin("Admin", ""), 0);
        cvadmin::RegisterDirectoryCommands(m_interpreter);
    }
    void TearDown() override { (void)DirCloseStore(); }

    // Runs script text; answers the exit status. Output and errors collect in m_out and m_err.
    int Run(const std::string& text) {
        m_out.str("");
        m_err.str("");
        cvadmin::SplitResult split = cvadmin::SplitScript(text);
        EXPECT_EQ(split.error, "");
        return m_interpreter.Run(split.commands, /*stopOnError=*/true);
    }

    std::ostringstream m_out;
    std::ostringstream m_err;
    cvadmin::Interpreter m_interpreter{m_out, m_err};
};

TEST_F(DirectoryCommandsTest, BuildsListsAndDumpsATree) {
    ASSERT_EQ(Run("dir add Corp Organization\n"
                  "dir add NTDOM.Corp 'KEL:NT Domain'\n"
                  "dir set NTDOM.Corp Description 'Head office'\n"
                  "dir set NTDOM.Corp 'KEL:Port Number' 524\n"
                  "dir set NTDOM.Corp 'KEL:Maximum Password Age' 3888000\n"
                  "dir set NTDOM.Corp 'KEL:KEL Public Key' 0x0102ff\n"
                  "dir set NTDOM.Corp 'Network Address' 1:10.1.2.3\n"
                  "dir set NTDOM.Corp 'KEL:Discover Network Address' true\n"
                  "dir grant NTDOM.Corp '[Public]' Description 2\n"),
              0)
        << m_err.str();
    ASSERT_EQ(Run("ls; ls Corp"), 0) << m_err.str();
    EXPECT_NE(m_out.str().find("Corp | Organization\n"), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find("NTDOM.Corp | KEL:NT Domain\n"), std::string::npos) << m_out.str();

    ASSERT_EQ(Run("dump NTDOM.Corp"), 0) << m_err.str();
    for (const char* line :
         {"NTDOM.Corp | Description | 3 | Head office\n", "NTDOM.Corp | KEL:Port Number | 8 | 524\n",
          "NTDOM.Corp | KEL:Maximum Password Age | 27 | 3888000\n",
          "NTDOM.Corp | KEL:KEL Public Key | 9 | 0x0102ff\n",
          "NTDOM.Corp | Network Address | 12 | 1:10.1.2.3\n",
          "NTDOM.Corp | KEL:Discover Network Address | 7 | true\n",
          "NTDOM.Corp | ACL | 17 | Description|[Public]|2\n",
          "NTDOM.Corp | Object Class | 20 | KEL:NT Domain\n"})
        EXPECT_NE(m_out.str().find(line), std::string::npos) << line << m_out.str();

    ASSERT_EQ(Run("dump NTDOM.Corp Description 'KEL:Port Number'"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(),
              "NTDOM.Corp | Description | 3 | Head office\nNTDOM.Corp | KEL:Port Number | 8 | 524\n");

    // No values: the attribute goes, and a dump of it prints nothing.
    ASSERT_EQ(Run("dir set NTDOM.Corp Description; dump NTDOM.Corp Description"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "");
}

TEST_F(DirectoryCommandsTest, ErrorsStopTheScriptAndChangeNothing) {
    ASSERT_EQ(Run("dir add Corp Organization\ndir add NTDOM.Corp 'KEL:NT Domain'\n"
                  "dir set NTDOM.Corp 'KEL:Port Number' 524"),
              0);
    struct Case {
        const char* command;
        const char* errorPart;
    } cases[] = {
        {"dir set NTDOM.Corp 'KEL:Port Number' many", "Integer"},
        {"dir set NTDOM.Corp 'KEL:Port Number' 1 2", "cannot set KEL:Port Number"},
        {"dir set NTDOM.Corp 'No Such Attribute' 1", "unknown attribute"},
        {"dir set Nowhere.Corp Description x", "cannot set Description of Nowhere.Corp"},
        {"dir add Corp Organization", "cannot add Corp"},
        {"dir grant Corp Admin ACL lots", "decimal"},
        {"dump Nowhere.Corp", "dump Nowhere.Corp"},
        {"dump Nowhere.Corp 'No Such Attribute'", "dump Nowhere.Corp: no such object (-701)\n"},
        {"dump NTDOM.Corp 'No Such Attribute'",
         "dump NTDOM.Corp No Such Attribute: no such attribute (-702)\n"},
        {"frobnicate", "unknown command frobnicate\n"},
        {"dupm Nowhere.Corp", "unknown command dupm (did you mean dump?)\n"},
        {"LS Corp", "unknown command LS (did you mean ls?)\n"},
        {"dir set", "usage"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(std::string("ls\n") + c.command + "\nls Corp"), 1) << c.command;
        EXPECT_EQ(m_err.str().rfind("error | 2 | ", 0), 0u) << c.command << ": " << m_err.str();
        EXPECT_NE(m_err.str().find(c.errorPart), std::string::npos) << c.command << ": " << m_err.str();
        EXPECT_EQ(m_out.str().find("NTDOM"), std::string::npos) << "the script went on after " << c.command;
    }
    ASSERT_EQ(Run("dump NTDOM.Corp 'KEL:Port Number'"), 0);
    EXPECT_EQ(m_out.str(), "NTDOM.Corp | KEL:Port Number | 8 | 524\n");
}

TEST_F(DirectoryCommandsTest, AReadTheDirectoryRefusesIsAnErrorLineNeverSilence) {
    ASSERT_EQ(Run("dir add Corp Organization\ndir add Op.Corp User"), 0) << m_err.str();
    const std::string longName(600, 'a');
    struct Case {
        std::string command;
        std::string err; // empty: no error, and nothing to print
    } cases[] = {
        {"ls Nowhere.Corp", "error | 1 | ls Nowhere.Corp: no such object (-701)\n"},
        {"ls .Corp", "error | 1 | ls .Corp: malformed name (-707)\n"},
        {"ls " + longName, "error | 1 | ls " + longName + ": name too long (-708)\n"},
        {"dump Nowhere.Corp", "error | 1 | dump Nowhere.Corp: no such object (-701)\n"},
        {"dump Nowhere.Corp Description", "error | 1 | dump Nowhere.Corp: no such object (-701)\n"},
        {"dump .Corp", "error | 1 | dump .Corp: malformed name (-707)\n"},
        {"dump Corp 'No Such' Description", "error | 1 | dump Corp No Such: no such attribute (-702)\n"},
        // Only these two are no refusal: a leaf has no children, and the named attribute has no value.
        {"ls Op.Corp", ""},
        {"dump Corp Description", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.command + "\nls Corp"), c.err.empty() ? 0 : 1) << c.command;
        EXPECT_EQ(m_err.str(), c.err) << c.command;
        EXPECT_EQ(m_out.str(), c.err.empty() ? "Op.Corp | User\n" : "") << "the script stops: " << c.command;
    }
}

TEST_F(DirectoryCommandsTest, SignInAndRightsHold) {
    ASSERT_EQ(Run("dir add Corp Organization\ndir add Op.Corp User\ndir set Op.Corp surname Op\n"
                  "dir password Op.Corp pw-op\ndir grant Corp Op.Corp '[All Attributes Rights]' 3\n"
                  "dir add NTDOM.Corp 'KEL:NT Domain'"),
              0)
        << m_err.str();
    EXPECT_EQ(Run("login Op.Corp wrong"), 1);
    EXPECT_NE(m_err.str().find("cannot sign in as Op.Corp"), std::string::npos) << m_err.str();
    ASSERT_EQ(Run("login Op.Corp pw-op; dump NTDOM.Corp 'Object Class'"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "NTDOM.Corp | Object Class | 20 | KEL:NT Domain\n");
    EXPECT_EQ(Run("dir set NTDOM.Corp Description mine"), 1);
    EXPECT_NE(m_err.str().find(std::to_string(kDirErrNoRight)), std::string::npos) << m_err.str();
    ASSERT_EQ(Run("login Admin; dump NTDOM.Corp Description"), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "");
}

TEST_F(DirectoryCommandsTest, AGoneIdentityIsNamedAsTheLastLoginGaveIt) {
    using cvadmin::DirectoryOps;
    ASSERT_EQ(Run("dir add Corp Organization\ndir add Bob.Corp User\ndir password Bob.Corp pw-bob\n"
                  "login Bob.Corp pw-bob\nlogin Admin wrong"),
              1)
        << "the refused sign-in leaves Bob signed in";
    struct Case {
        int32_t code;
        const char* text;
    } cases[] = {
        {kDirErrIdentityGone,
         "dump X: the user Bob.Corp you signed in as is gone; sign in again with login (-734)"},
        {kDirErrNoSuchObject, "dump X: no such object (-701)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DirectoryOps::FailureText(c.code, "dump X"), c.text);

    ASSERT_EQ(Run("login Admin"), 0) << m_err.str();
    EXPECT_EQ(DirectoryOps::FailureText(kDirErrIdentityGone, "ls Corp"),
              "ls Corp: the user Admin you signed in as is gone; sign in again with login (-734)");
}

TEST_F(DirectoryCommandsTest, SampleTreeKeepsBothSidesOfEveryLink) {
    std::vector<cvadmin::SampleKey> keys;
    ASSERT_EQ(cvadmin::BuildSampleTree(&keys), "");
    ASSERT_EQ(keys.size(), 3u);
    ASSERT_EQ(Run("login Admin admin-secret\n"
                  "dump 'Domain Users.NTDOM.Corp' Member\n"
                  "dump jdoe.NTDOM.Corp 'KEL:Group Membership' 'KEL:Primary Group'\n"
                  "dump Mary.Sales.Corp 'KEL:Application Server List'\n"
                  "dump Mary.WKS1.Corp 'KEL:QDS User'\n"
                  "dump 'NT Staff.Sales.Corp' 'KEL:Application Server List'\n"),
              0)
        << m_err.str();
    const std::string out = m_out.str();
    for (const char* line : {"Domain Users.NTDOM.Corp | Member | 1 | jdoe.NTDOM.Corp\n",
                             "Domain Users.NTDOM.Corp | Member | 1 | Mary.NTDOM.Corp\n",
                             "jdoe.NTDOM.Corp | KEL:Group Membership | 1 | Domain Admins.NTDOM.Corp\n",
                             "jdoe.NTDOM.Corp | KEL:Primary Group | 1 | Domain Users.NTDOM.Corp\n",
                             "Mary.Sales.Corp | KEL:Application Server List | 1 | Mary.NTDOM.Corp\n",
                             "Mary.Sales.Corp | KEL:Application Server List | 1 | Mary.WKS1.Corp\n",
                             "Mary.WKS1.Corp | KEL:QDS User | 1 | Mary.Sales.Corp\n",
                             "NT Staff.Sales.Corp | KEL:Application Server List | 1 | WKS1.Corp\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;

    // Each NT system publishes the public half of its own agent key.
    for (const cvadmin::SampleKey& key : keys) {
        ASSERT_EQ(Run("dump " + key.system + " 'KEL:KEL Public Key'"), 0) << m_err.str();
        std::string hex;
        for (uint8_t b : key.publicBlob)
            hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 0xF];
        EXPECT_EQ(m_out.str(), key.system + " | KEL:KEL Public Key | 9 | 0x" + hex + "\n");
        EXPECT_NE(key.privateBlob, key.publicBlob);
    }
    EXPECT_NE(keys[0].publicBlob, keys[1].publicBlob) << "every system has a key of its own";

    // The operator may change the workstation's description, and nothing of the domain.
    ASSERT_EQ(Run(std::string("login ") + cvadmin::kSampleOperator + " " + cvadmin::kSampleOperatorPassword +
                  "\ndir set WKS1.Corp Description 'Changed by the operator'"),
              0)
        << m_err.str();
    EXPECT_EQ(Run("dir set NTDOM.Corp Description 'Changed by the operator'"), 1);
}

} // namespace
