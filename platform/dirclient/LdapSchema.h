// How the directory lies on an LDAP server: one entry per object, all directly below the store's base entry
// ("kelId=ID,BASE"), so that an object's DN never changes when it is renamed or moved and a reference can be
// the DN of the object it names. The tree is kept in kelParent; the grants that the "ACL" values make are
// kept on each entry in a form the server's access rules can read (kelGrant), so that the server itself
// refuses a write that the directory's rights do not allow, whoever the client is.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dirclient/DirStore.h"

namespace dirclient::ldapmap {

// The LDAP name of a directory attribute: "kel" followed by its words, letters and digits only
// ("KEL:Group Membership" is kelKELGroupMembership). The directory's own spelling goes into the attribute
// type's description, from which a client reads the mapping back.
std::string AttributeName(std::string_view directoryName);

// The schema as an olcSchemaConfig entry (cn=kel,cn=schema,cn=config).
std::string SchemaLdif();
// The server's access rules for the database with that suffix, in the order they are to be loaded.
std::vector<std::string> AccessRules(std::string_view suffix);

struct ServerConfig {
    std::string folder;             // the server's own folder: database, pid file, socket
    std::string suffix;             // the database's suffix, e.g. "o=kel"
    std::string managerPassword;    // empty: nobody can bind as the manager
    int serverId = 0;               // 1.. when the server is one of several providers
    std::vector<std::string> peers; // the other providers' URLs
    std::string replicatorPassword; // the clear password the providers bind to each other with
    bool durable = true;            // false: no fsync (throwaway test servers)
    bool logOperations = true;      // false: no log line per operation (throwaway test servers)
};
// A complete cn=config for slapadd -n0: modules, schema, the database and, with peers, multi-provider
// replication.
std::string ConfigLdif(const ServerConfig& config);

// The entries of a new directory ("[Root]" and "Admin" below the base entry), as LDIF for slapadd.
// replicatorPassword, when not empty, also makes the entry the providers bind as.
[[nodiscard]] int32_t InitialTreeLdif(std::string_view base, std::string_view replicatorPassword,
                                      std::string* ldif);

// The DN of an object, and the id a DN names (0 when it names no object of this base).
std::string ObjectDn(int64_t id, std::string_view base);
int64_t IdOfDn(std::string_view dn, std::string_view base);

// What one object is on the server: its attributes with their values, in the store's encoding.
using EntryValues = std::map<std::string, std::vector<std::string>>; // LDAP attribute -> values
EntryValues EncodeObject(const ObjectRecord& record, const std::vector<StoredValue>& values,
                         std::string_view base, std::string_view passwordValue);
std::string EncodeValue(const StoredValue& value);
[[nodiscard]] bool DecodeValue(std::string_view attr, std::string_view encoded, StoredValue* out);
// The kelGrant values that an object's "ACL" values make.
std::vector<std::string> GrantsOf(const std::vector<StoredValue>& values, std::string_view base);

// The clear text that stands for "no password" at bind: a user without a password may be signed in as by
// anyone, as in the directory, but the server only knows identities it can bind.
inline constexpr std::string_view kNoPassword = "kel:no-password";

std::string Ldif(const std::string& dn, const EntryValues& values);

} // namespace dirclient::ldapmap
