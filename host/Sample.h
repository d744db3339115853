#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cvadmin {

// Makes the sample directory in a new store file: an organisation with a unit, NT systems with their
// accounts and groups, a directory user with hybrid accounts, a template and a limited operator. Each NT
// system publishes a fresh agent key; the key files lie beside the store (see SampleKeyFile). Refuses to
// touch an existing file. Answers an empty string on success, else what went wrong.
[[nodiscard]] std::string MakeSampleDirectory(const std::string& storeFile);

// An NT system's agent key pair as the sample made it.
struct SampleKey {
    std::string system;               // the NT system's full name
    std::vector<uint8_t> publicBlob;  // as published in "KEL:KEL Public Key"
    std::vector<uint8_t> privateBlob; // what the NT side's agent keeps
};

// Builds the same tree in whatever store is open, signed in as "Admin" (tests use a memory store), and
// hands back the keys it published.
[[nodiscard]] std::string BuildSampleTree(std::vector<SampleKey>* keys = nullptr);

// "out/sample.db", "NTDOM.Corp", "private" -> "out/sample-NTDOM.private.key"
std::string SampleKeyFile(const std::string& storeFile, const std::string& system, const std::string& kind);

// The NT systems of the sample, each with an agent key of its own.
inline constexpr const char* kSampleNtSystems[] = {"NTDOM.Corp", "WKS1.Corp", "BRANCH.Corp"};

// Sign-in details of the sample, for the README and the example script.
inline constexpr const char* kSampleAdminPassword = "admin-secret";
inline constexpr const char* kSampleOperator = "Operator.Sales.Corp";
inline constexpr const char* kSampleOperatorPassword = "operator-secret";
inline constexpr const char* kSampleUser = "Mary.Sales.Corp";
inline constexpr const char* kSampleUserPassword = "mary-secret";

} // namespace cvadmin
