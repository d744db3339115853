// The store a test of the module works on: a fresh in-memory directory, or, when the test program runs with
// KELNT_TEST_STORE=ldap (as the test command runs the module's tests a second time), a fresh directory on the
// program's throwaway LDAP server, so that the module is tried on both.
#pragma once

#include <cstdint>

namespace dirtest {

// Opens the store (nobody signed in); answers the client's code.
int32_t OpenTestStore();

} // namespace dirtest
