// A throwaway OpenLDAP server for tests: its own folder, a configuration made by kelnt-ldap's code, the
// directory's schema and access rules, and a unix socket (plus a loopback port when asked) as the only ways
// in. Each test gets a fresh directory below the server's suffix, so that one server serves a whole program.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace dirtest {

class SlapdServer {
public:
    struct Options {
        int port = 0;                   // 0: the unix socket only
        int serverId = 0;               // with peers: one of several replicating providers
        std::vector<std::string> peers; // the other providers' ldap:// URLs
        std::string replicatorPassword;
    };

    SlapdServer() = default;
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;
    ~SlapdServer() { Stop(); }

    // Makes the folder and configuration and starts the server; false (with Problem()) when it cannot.
    bool Start(const Options& options);
    bool Start() { return Start(Options{}); }
    // Starts it again on the same folder after Kill or Stop.
    bool Restart();
    void Stop(); // SIGTERM, and waits
    void Kill(); // SIGKILL, as a crash
    // A new, empty directory ("[Root]" and "Admin") below the suffix; its URL.
    std::string NewDirectory();
    // The URL of the directory below base on this server, by its socket or its port.
    std::string Url(const std::string& base) const;
    std::string PortUrl(const std::string& base) const;
    const std::string& Problem() const { return m_problem; }
    const std::string& Suffix() const { return m_suffix; }
    // Adds the LDIF as the manager; false when the server refuses it.
    bool AddAsManager(const std::string& ldif);

    // The server shared by one test program, started on first use and stopped when the program ends.
    static SlapdServer& Shared();

private:
    bool Launch();
    bool WaitReady();

    Options m_options;
    std::string m_folder;
    std::string m_socket;
    std::string m_suffix = "o=kel";
    std::string m_managerPassword;
    std::string m_problem;
    pid_t m_pid = 0;
    pid_t m_owner = 0; // the process that started it: forked children never stop it
    int m_directories = 0;
};

} // namespace dirtest
