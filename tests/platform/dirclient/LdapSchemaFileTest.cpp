// The schema shipped for operators (resources/ldap/kelnt-schema.ldif) is what kelnt-ldap makes from the
// directory's schema table, and names every attribute of that table the way the client reads it back.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/dirclient/DirSchema.h"
#include "platform/dirclient/LdapSchema.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The LDIF's logical lines: a line that starts with one blank continues the one before it.
std::vector<std::string> Unfolded(const std::string& ldif) {
    std::vector<std::string> lines;
    std::istringstream in(ldif);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.front() == ' ' && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

// The quoted word after KEY in an attribute type's description, with \27 and \5C read back.
std::string QuotedAfter(const std::string& line, const std::string& key) {
    const size_t at = line.find(key + " '");
    if (at == std::string::npos) {
        return {};
    }
    std::string out;
    for (size_t i = at + key.size() + 2; i < line.size() && line[i] != '\''; ++i) {
        if (line.compare(i, 3, "\\27") == 0) {
            out += '\'';
            i += 2;
        } else if (line.compare(i, 3, "\\5C") == 0 || line.compare(i, 3, "\\5c") == 0) {
            out += '\\';
            i += 2;
        } else {
            out += line[i];
        }
    }
    return out;
}

TEST(LdapSchemaFile, IsWhatTheToolPrintsAndNamesEveryDirectoryAttribute) {
    const std::string shipped = ReadFile(std::string(KELNT_SOURCE_DIR) + "/resources/ldap/kelnt-schema.ldif");
    ASSERT_NE(shipped, "");

    FILE* pipe = ::popen((std::string(KELNT_BINARY_DIR) + "/bin/kelnt-ldap schema").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    std::array<char, 4096> chunk{};
    size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        printed.append(chunk.data(), n);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(printed, shipped) << "the schema table changed: write `build/bin/kelnt-ldap schema` to "
                                   "resources/ldap/kelnt-schema.ldif";

    std::map<std::string, std::string> descriptionOf; // LDAP name -> DESC
    for (const std::string& line : Unfolded(shipped)) {
        if (line.rfind("olcAttributeTypes: ", 0) == 0) {
            descriptionOf[QuotedAfter(line, "NAME")] = QuotedAfter(line, "DESC");
        }
    }
    ASSERT_FALSE(dirclient::SchemaAttributes().empty());
    for (const auto& def : dirclient::SchemaAttributes()) {
        const std::string name = dirclient::ldapmap::AttributeName(def.name);
        const auto it = descriptionOf.find(name);
        ASSERT_NE(it, descriptionOf.end()) << def.name << " has no attribute type " << name;
        EXPECT_EQ(it->second, def.name) << name;
    }
}

} // namespace
