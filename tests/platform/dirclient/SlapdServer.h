// A throwaway OpenLDAP server for tests and benchmarks: its own folder, a configuration made by kelnt-ldap's
// code, the directory's schema and access rules, and a unix socket (plus a port on 127.0.0.1 when asked) as
// the only ways in. Each test gets a fresh directory below the server's suffix, so that one server serves a
// whole program. Built as the static library kelnt_slapd.
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
        // A provider other than the first starts with an empty database and receives the suffix, the
        // replicator's entry and every directory from its peers.
        bool durable = false; // true: every write synced to disk, as an operator's server
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
    const std::string& Folder() const { return m_folder; }
    pid_t Pid() const { return m_pid; }
    // Adds the LDIF as the manager; false when the server refuses it.
    bool AddAsManager(const std::string& ldif);

    // The server shared by one test program, started on first use and stopped when the program ends.
    static SlapdServer& Shared();
    // A TCP port on 127.0.0.1 that nothing listens on now (0 when none could be had). Another process may
    // take it before the server does; Start then fails with the server's log named in Problem().
    static int FreeLoopbackPort();

private:
    bool Launch();
    bool WaitReady();
    void End(int signal); // the server this process started, and waits for it

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
