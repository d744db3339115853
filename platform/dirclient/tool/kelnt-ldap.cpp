// Makes what an LDAP server needs to hold a directory: the schema, a whole server configuration (one server
// or one of several replicating providers) and the entries of a new directory, as LDIF for slapadd.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sodium.h>

#include "platform/dirclient/DirErrors.h"
#include "platform/dirclient/LdapSchema.h"

namespace {

int Usage() {
    std::fputs("usage: kelnt-ldap schema\n"
               "       kelnt-ldap config --folder DIR --base DN [--server-id N --peer URL... "
               "--replicator-password PW] [--no-sync]\n"
               "       kelnt-ldap init --base DN [--replicator-password PW]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || sodium_init() < 0) {
        return Usage();
    }
    const std::string command = argv[1];
    dirclient::ldapmap::ServerConfig config;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--no-sync") {
            config.durable = false;
        } else if (a == "--folder" && hasValue) {
            config.folder = argv[++i];
        } else if (a == "--base" && hasValue) {
            config.suffix = argv[++i];
        } else if (a == "--server-id" && hasValue) {
            config.serverId = std::atoi(argv[++i]);
        } else if (a == "--peer" && hasValue) {
            config.peers.emplace_back(argv[++i]);
        } else if (a == "--replicator-password" && hasValue) {
            config.replicatorPassword = argv[++i];
        } else {
            std::fprintf(stderr, "kelnt-ldap: unknown argument %s\n", a.c_str());
            return Usage();
        }
    }
    if (command == "schema") {
        std::fputs(dirclient::ldapmap::SchemaLdif().c_str(), stdout);
        return 0;
    }
    if (command == "config") {
        if (config.folder.empty() || config.folder.front() != '/' || config.suffix.empty()) {
            std::fputs("kelnt-ldap: config needs --folder (an absolute path) and --base\n", stderr);
            return 2;
        }
        if (!config.peers.empty() && (config.serverId <= 0 || config.replicatorPassword.empty())) {
            std::fputs("kelnt-ldap: a replicating provider needs --server-id and --replicator-password\n",
                       stderr);
            return 2;
        }
        std::fputs(dirclient::ldapmap::ConfigLdif(config).c_str(), stdout);
        return 0;
    }
    if (command == "init") {
        std::string ldif;
        const int32_t rc =
            dirclient::ldapmap::InitialTreeLdif(config.suffix, config.replicatorPassword, &ldif);
        if (rc != kDirOk) {
            std::fprintf(stderr, "kelnt-ldap: cannot make the entries for %s (%d)\n", config.suffix.c_str(),
                         rc);
            return 1;
        }
        std::fputs(ldif.c_str(), stdout);
        return 0;
    }
    return Usage();
}
