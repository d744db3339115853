#pragma once

#include <string>

namespace cvadmin {

// Makes the sample directory in a new store file: an organisation with a unit, NT systems with their
// accounts and groups, a directory user with hybrid accounts, a template and a limited operator. Refuses
// to touch an existing file. Answers an empty string on success, else what went wrong.
[[nodiscard]] std::string MakeSampleDirectory(const std::string& storeFile);

// Builds the same tree in whatever store is open, signed in as "Admin" (tests use a memory store).
[[nodiscard]] std::string BuildSampleTree();

// Sign-in details of the sample, for the README and the example script.
inline constexpr const char* kSampleAdminPassword = "admin-secret";
inline constexpr const char* kSampleOperator = "Operator.Sales.Corp";
inline constexpr const char* kSampleOperatorPassword = "operator-secret";

} // namespace cvadmin
