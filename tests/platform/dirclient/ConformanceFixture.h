// The fixture of the conformance suite: each test runs against the in-memory store, the SQLite file store and
// a directory on a throwaway LDAP server, and there once more with every list of more than one value kept
// in blocks of two below its object.
#pragma once

#include <gtest/gtest.h>

#include <sodium.h>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirStore.h"
#include "tests/platform/dirclient/SlapdServer.h"
#include "tests/platform/dirclient/TestClient.h"

namespace dirtest {

enum class StoreKind { Memory, Sqlite, Ldap, LdapBlocks };

inline const char* StoreName(StoreKind kind) {
    return kind == StoreKind::Memory       ? "Memory"
           : kind == StoreKind::Sqlite     ? "Sqlite"
           : kind == StoreKind::LdapBlocks ? "LdapBlocks"
                                           : "Ldap";
}

inline bool IsLdap(StoreKind kind) {
    return kind == StoreKind::Ldap || kind == StoreKind::LdapBlocks;
}

class DirConformance : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), kDirOk);
        if (GetParam() == StoreKind::Memory) {
            ASSERT_EQ(DirOpenMemoryStore(), kDirOk);
        } else if (GetParam() == StoreKind::Sqlite) {
            ASSERT_EQ(DirOpenStore(m_dir.File("tree.db").c_str(), /*create=*/1), kDirOk);
        } else {
            if (GetParam() == StoreKind::LdapBlocks) {
                dirclient::SetLdapListBlocks(1, 2);
            }
            SlapdServer& server = SlapdServer::Shared();
            ASSERT_EQ(server.Problem(), "");
            m_url = server.NewDirectory();
            ASSERT_NE(m_url, "");
            ASSERT_EQ(DirOpenStore(m_url.c_str(), /*create=*/0), kDirOk) << DirStoreProblem();
        }
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    }
    void TearDown() override {
        EXPECT_EQ(DirCloseStore(), kDirOk);
        dirclient::SetLdapListBlocks(0, 0);
    }

    // A small tree: Corp (Organization) > Sales (Organizational Unit) > Bob (User), and group Staff in Corp.
    void BuildTree() {
        Client admin;
        ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
        ASSERT_EQ(admin.Add("Sales.Corp", "Organizational Unit"), kDirOk);
        ASSERT_EQ(admin.Add("Bob.Sales.Corp", "User"), kDirOk);
        ASSERT_EQ(admin.Add("NT.Corp", "KEL:NT Domain"), kDirOk);
        ASSERT_EQ(admin.Add("Staff.NT.Corp", "KEL:NT Global Group"), kDirOk);
    }

    // Where the test's store lives: to open it again as a later session would.
    std::string StoreAddress() const { return IsLdap(GetParam()) ? m_url : m_dir.File("tree.db"); }

    TempDir m_dir;
    std::string m_url;
};

} // namespace dirtest
