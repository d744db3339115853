// The fixture of the conformance suite: each test runs against the in-memory store and the SQLite file store.
#pragma once

#include <gtest/gtest.h>

#include <sodium.h>

#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/TestClient.h"

namespace dirtest {

enum class StoreKind { Memory, Sqlite };

class DirConformance : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), kDirOk);
        if (GetParam() == StoreKind::Memory) {
            ASSERT_EQ(DirOpenMemoryStore(), kDirOk);
        } else {
            ASSERT_EQ(DirOpenStore(m_dir.File("tree.db").c_str(), /*create=*/1), kDirOk);
        }
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    }
    void TearDown() override { EXPECT_EQ(DirCloseStore(), kDirOk); }

    // A small tree: Corp (Organization) > Sales (Organizational Unit) > Bob (User), and group Staff in Corp.
    void BuildTree() {
        Client admin;
        ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
        ASSERT_EQ(admin.Add("Sales.Corp", "Organizational Unit"), kDirOk);
        ASSERT_EQ(admin.Add("Bob.Sales.Corp", "User"), kDirOk);
        ASSERT_EQ(admin.Add("NT.Corp", "KEL:NT Domain"), kDirOk);
        ASSERT_EQ(admin.Add("Staff.NT.Corp", "KEL:NT Global Group"), kDirOk);
    }

    TempDir m_dir;
};

} // namespace dirtest
