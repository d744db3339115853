#include "tests/platform/dirclient/SlapdServer.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <sodium.h>

#include "platform/dirclient/LdapSchema.h"

extern char** environ;

namespace dirtest {

namespace {

std::string UrlPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '/') {
            out += "%2F";
        } else {
            out += c;
        }
    }
    return out;
}

// Starts the program with its output appended to log; 0 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

int Run(const std::vector<std::string>& argv, const std::string& log) {
    const pid_t pid = Spawn(argv, log);
    if (pid == 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

} // namespace

bool SlapdServer::Start(const Options& options) {
    m_options = options;
    if (sodium_init() < 0) {
        return false;
    }
    if (!std::filesystem::exists("/usr/sbin/slapd") || !std::filesystem::exists("/usr/sbin/slapadd")) {
        m_problem = "slapd is not installed (scripts/setup.sh installs it)";
        return false;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "slapd-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        m_problem = "cannot make a folder for the server";
        return false;
    }
    m_folder = pattern;
    m_socket = m_folder + "/ldapi";
    unsigned char random[12];
    randombytes_buf(random, sizeof random);
    for (unsigned char c : random) {
        m_managerPassword += "0123456789abcdef"[c >> 4];
        m_managerPassword += "0123456789abcdef"[c & 0xf];
    }
    dirclient::ldapmap::ServerConfig config;
    config.folder = m_folder;
    config.suffix = m_suffix;
    config.managerPassword = m_managerPassword;
    config.durable = options.durable;
    config.logOperations = false;
    config.serverId = options.serverId;
    config.peers = options.peers;
    config.replicatorPassword = options.replicatorPassword;
    std::filesystem::create_directories(m_folder + "/cfg");
    std::filesystem::create_directories(m_folder + "/db");
    const std::string log = m_folder + "/log";
    const std::string configText = dirclient::ldapmap::ConfigLdif(config);
    if (!WriteFile(m_folder + "/config.ldif", configText) ||
        Run({"/usr/sbin/slapadd", "-n0", "-F", m_folder + "/cfg", "-l", m_folder + "/config.ldif"}, log) !=
            0) {
        m_problem = "slapadd refused the configuration (see " + log + ")";
        return false;
    }
    std::string top = "dn: " + m_suffix + "\nobjectClass: organization\no: kel\n";
    if (!options.replicatorPassword.empty()) {
        char out[crypto_pwhash_STRBYTES];
        if (crypto_pwhash_str(out, options.replicatorPassword.c_str(), options.replicatorPassword.size(),
                              crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN) != 0) {
            return false;
        }
        top += "\ndn: cn=replicator," + m_suffix +
               "\nobjectClass: applicationProcess\nobjectClass: simpleSecurityObject\ncn: replicator\n"
               "userPassword: {ARGON2}" +
               std::string(out) + "\n";
    }
    if (options.serverId <= 1 &&
        (!WriteFile(m_folder + "/top.ldif", top) ||
         Run({"/usr/sbin/slapadd", "-n1", "-F", m_folder + "/cfg", "-l", m_folder + "/top.ldif"}, log) !=
             0)) {
        m_problem = "slapadd refused the suffix entry (see " + log + ")";
        return false;
    }
    m_owner = getpid();
    return Launch();
}

bool SlapdServer::Launch() {
    std::string urls = "ldapi://" + UrlPath(m_socket);
    if (m_options.port != 0) {
        urls += " ldap://127.0.0.1:" + std::to_string(m_options.port) + "/";
    }
    m_pid = Spawn({"/usr/sbin/slapd", "-F", m_folder + "/cfg", "-h", urls, "-d", "0"}, m_folder + "/log");
    if (m_pid == 0) {
        m_problem = "cannot start slapd";
        return false;
    }
    return WaitReady();
}

bool SlapdServer::WaitReady() {
    for (int i = 0; i < 500; ++i) {
        LDAP* ld = nullptr;
        const std::string uri = "ldapi://" + UrlPath(m_socket);
        if (ldap_initialize(&ld, uri.c_str()) == LDAP_SUCCESS) {
            int version = LDAP_VERSION3;
            ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
            berval none{0, nullptr};
            const int rc = ldap_sasl_bind_s(ld, nullptr, LDAP_SASL_SIMPLE, &none, nullptr, nullptr, nullptr);
            ldap_unbind_ext_s(ld, nullptr, nullptr);
            if (rc == LDAP_SUCCESS) {
                return true;
            }
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = 0;
            m_problem = "slapd ended at start (see " + m_folder + "/log)";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_problem = "slapd did not answer within 5 s";
    return false;
}

bool SlapdServer::Restart() {
    return m_pid == 0 && Launch();
}

void SlapdServer::End(int signal) {
    if (m_pid != 0 && getpid() == m_owner) {
        kill(m_pid, signal);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
    }
}

void SlapdServer::Stop() {
    End(SIGTERM);
    if (!m_folder.empty() && getpid() == m_owner && m_pid == 0) {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
        m_folder.clear();
    }
}

void SlapdServer::Kill() {
    End(SIGKILL);
}

std::string SlapdServer::Url(const std::string& base) const {
    return "ldapi://" + UrlPath(m_socket) + "/" + base;
}

std::string SlapdServer::PortUrl(const std::string& base) const {
    return "ldap://127.0.0.1:" + std::to_string(m_options.port) + "/" + base;
}

bool SlapdServer::AddAsManager(const std::string& ldif) {
    const std::string file = m_folder + "/add-" + std::to_string(m_directories) + ".ldif";
    if (!WriteFile(file, ldif)) {
        return false;
    }
    const int rc = Run({"/usr/bin/ldapadd", "-x", "-H", "ldapi://" + UrlPath(m_socket), "-D",
                        "cn=manager," + m_suffix, "-w", m_managerPassword, "-f", file},
                       m_folder + "/log");
    std::filesystem::remove(file);
    return rc == 0;
}

std::string SlapdServer::NewDirectory() {
    const std::string base = "ou=d" + std::to_string(++m_directories) + "," + m_suffix;
    std::string ldif;
    if (dirclient::ldapmap::InitialTreeLdif(base, "", &ldif) != 0) {
        return {};
    }
    if (!AddAsManager(ldif)) {
        return {};
    }
    return Url(base);
}

int SlapdServer::FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

SlapdServer& SlapdServer::Shared() {
    static std::unique_ptr<SlapdServer> server = [] {
        auto made = std::make_unique<SlapdServer>();
        if (!made->Start()) {
            std::fprintf(stderr, "the test LDAP server did not start: %s\n", made->Problem().c_str());
        }
        return made;
    }();
    return *server;
}

} // namespace dirtest
