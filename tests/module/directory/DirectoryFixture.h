// A fresh in-memory directory for each test, signed in as "Admin", with a fresh prompter.
#pragma once

#include "module/directory/AttrAccess.h"
#include "tests/platform/dirclient/TestStore.h"
#include "platform/dirclient/DirClient.h"
#include "platform/winapi/Prompter.h"

#include <gtest/gtest.h>

#include <vector>

class DirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Prompter::Instance().Reset();
        ASSERT_EQ(dirtest::OpenTestStore(), kDirOk);
        ASSERT_EQ(DirSetPasswordHashCost(1, 8192), kDirOk);
        ASSERT_EQ(DirLogin("Admin", ""), kDirOk);
        m_ctx = DirCreateContext();
        ASSERT_GT(m_ctx, 0);
    }
    void TearDown() override {
        static_cast<void>(DirFreeContext(m_ctx));
        static_cast<void>(DirCloseStore());
        Prompter::Instance().Reset();
    }

    // Creates object of objectClass as the signed-in identity; answers the client's code.
    int32_t AddObject(const char* object, const char* objectClass) const {
        DirBuffer* buf = nullptr;
        int32_t rc = DirAllocBuffer(kDirBufferSmall, &buf);
        if (rc != kDirOk) {
            return rc;
        }
        rc = DirInitBuffer(m_ctx, kDirOpAdd, buf);
        if (rc == kDirOk) {
            rc = DirPutAttrName(m_ctx, buf, "Object Class");
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(m_ctx, buf, kDirSyntaxClassName, objectClass);
        }
        if (rc == kDirOk) {
            rc = DirAddObject(m_ctx, object, 0, 0, buf);
        }
        static_cast<void>(DirFreeBuffer(buf));
        return rc;
    }

    // String ids of the message boxes shown so far.
    static std::vector<int> ShownIds() {
        std::vector<int> ids;
        for (const auto& box : Prompter::Instance().Messages()) {
            ids.push_back(box.stringId);
        }
        return ids;
    }

    int32_t m_ctx = 0;
};
