#include "tests/platform/dirclient/TestStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/SlapdServer.h"

namespace dirtest {

int32_t OpenTestStore() {
    const char* kind = std::getenv("KELNT_TEST_STORE");
    if (kind == nullptr || std::strcmp(kind, "ldap") != 0) {
        return DirOpenMemoryStore();
    }
    // The new directory's passwords are hashed as the tests hash theirs: cheaply.
    (void)DirSetPasswordHashCost(1, 8192);
    SlapdServer& server = SlapdServer::Shared();
    if (!server.Problem().empty()) {
        std::fprintf(stderr, "no LDAP server for the test: %s\n", server.Problem().c_str());
        return kDirErrStoreFailed;
    }
    const std::string url = server.NewDirectory();
    if (url.empty()) {
        return kDirErrStoreFailed;
    }
    const int32_t rc = DirOpenStore(url.c_str(), 0);
    if (rc != kDirOk) {
        std::fprintf(stderr, "%s: %s\n", url.c_str(), DirStoreProblem());
    }
    return rc;
}

} // namespace dirtest
