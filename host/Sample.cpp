#include "host/Sample.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <vector>

#include "agent/KeyGenerator.h"
#include "host/DirectoryOps.h"
#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirStore.h"

namespace cvadmin {

namespace {

// Collects the first failure and skips everything after it, so the builder reads as a list of facts.
class Builder {
public:
    // An object of the snap-in's classes also gets its naming attribute "CN", as the snap-in's creation
    // dialogs give it: its pages show it as the account's user name.
    void Add(const std::string& object, const std::string& className) {
        Run([&] { return DirectoryOps::Add(object, className); });
        if (className.rfind("KEL:", 0) == 0)
            Set(object, "CN", {object.substr(0, object.find('.'))});
    }
    void Set(const std::string& object, const std::string& attribute,
             const std::vector<std::string>& values) {
        Run([&] { return DirectoryOps::Set(object, attribute, values); });
    }
    void Grant(const std::string& object, const std::string& subject, const std::string& attr,
               uint32_t rights) {
        Run([&] { return DirectoryOps::Grant(object, subject, attr, rights); });
    }
    void Password(const std::string& user, const std::string& password) {
        Run([&] { return DirectoryOps::SetPassword(user, password); });
    }
    // Membership on both sides: the group's "Member" and the account's "KEL:Group Membership".
    void Join(const std::string& account, const std::string& group) {
        Run([&] { return DirectoryOps::AddValue(group, "Member", account); });
        Run([&] { return DirectoryOps::AddValue(account, "KEL:Group Membership", group); });
    }
    const std::string& Error() const { return m_error; }

private:
    template <typename F> void Run(F step) {
        if (!m_error.empty())
            return;
        DirOutcome outcome = step();
        if (!outcome.Ok())
            m_error = outcome.error;
    }
    std::string m_error;
};

void AddNtSystem(Builder& b, const std::string& system, const std::string& className,
                 const std::string& defaultGroup, const std::string& description) {
    b.Add(system, className);
    b.Set(system, "Description", {description});
    b.Set(system, "KEL:NT Default Group Name", {defaultGroup});
    b.Add(defaultGroup + "." + system, "KEL:NT Global Group");
    b.Set(defaultGroup + "." + system, "Description", {"Every account of " + system});
}

void AddNtUser(Builder& b, const std::string& user, const std::string& fullName, const std::string& primary) {
    b.Add(user, "KEL:NT User");
    b.Set(user, "Full Name", {fullName});
    b.Join(user, primary);
    b.Set(user, "KEL:Primary Group", {primary});
}

} // namespace

std::string BuildSampleTree(std::vector<SampleKey>* keys) {
    Builder b;
    const std::string corp = "Corp";
    const std::string sales = "Sales.Corp";
    const std::string domain = "NTDOM.Corp";
    const std::string workstation = "WKS1.Corp";
    const std::string branch = "BRANCH.Corp";

    b.Password("Admin", kSampleAdminPassword);
    b.Add(corp, "Organization");
    b.Add(sales, "Organizational Unit");

    AddNtSystem(b, domain, "KEL:NT Domain", "Domain Users", "The head office NT domain");
    AddNtSystem(b, workstation, "KEL:NT Workgroup System", "None", "A stand-alone NT server");
    b.Add("Domain Admins." + domain, "KEL:NT Global Group");
    b.Set("Domain Admins." + domain, "Description", {"Administrators of the domain"});
    b.Add("Administrators." + domain, "KEL:NT Local Group");
    b.Set("Administrators." + domain, "Description", {"Members can administer the domain controllers"});
    b.Add("Users." + workstation, "KEL:NT Local Group");
    // A second domain, so that accounts can move between domains.
    AddNtSystem(b, branch, "KEL:NT Domain", "Domain Users", "The branch office NT domain");
    b.Add("Domain Admins." + branch, "KEL:NT Global Group");

    AddNtUser(b, "jdoe." + domain, "John Doe", "Domain Users." + domain);
    b.Join("jdoe." + domain, "Domain Admins." + domain);
    b.Join("jdoe." + domain, "Administrators." + domain);
    AddNtUser(b, "asmith." + domain, "Anne Smith", "Domain Users." + domain);
    b.Set("asmith." + domain, "Description", {"Accounts payable"});
    AddNtUser(b, "backup." + workstation, "Backup Operator", "None." + workstation);
    b.Join("backup." + workstation, "Users." + workstation);

    // A directory user with an NT account in each NT system, named back from each account.
    const std::string mary = "Mary.Sales.Corp";
    b.Add(mary, "User");
    b.Set(mary, "surname", {"Jones"});
    b.Set(mary, "Full Name", {"Mary Jones"});
    b.Password(mary, "mary-secret");
    for (const std::string& system : {domain, workstation}) {
        const std::string account = "Mary." + system;
        const std::string group = (system == domain ? "Domain Users." : "None.") + system;
        b.Add(account, "KEL:Hybrid User");
        b.Set(account, "KEL:QDS User", {mary});
        b.Join(account, group);
        b.Set(account, "KEL:Primary Group", {group});
        b.Grant(account, mary, "[All Attributes Rights]", 2);
        b.Grant(account, mary, "KEL:Authentication", 6);
    }
    b.Set(mary, "KEL:Application Server List", {"Mary." + domain, "Mary." + workstation});
    // Self-service, as a site offering it sets it up: Mary may read her own list of NT accounts and the keys
    // her NT systems publish, so that she changes her password on all of them at once (and nothing more).
    b.Grant(mary, mary, "KEL:Application Server List", 2);
    for (const std::string& system : {domain, workstation})
        b.Grant(system, mary, "KEL:KEL Public Key", 2);

    // New directory users made from this template get an NT account in both systems.
    const std::string nt = "NT Staff.Sales.Corp";
    b.Add(nt, "Template");
    b.Set(nt, "KEL:Application Server List", {domain, workstation});
    b.Set(nt, "KEL:Template Groups", {"g.Domain Users"});
    b.Set(nt, "KEL:Template Primary Group", {"Domain Users"});
    b.Set(nt, "KEL:Must Change Password", {"true"});
    b.Set(nt, "KEL:Profile Path", {"\\\\NTDOM\\profiles"});

    // An operator who may read the whole organisation but write only the workstation's descriptions.
    const std::string op = kSampleOperator;
    b.Add(op, "User");
    b.Set(op, "surname", {"Operator"});
    b.Password(op, kSampleOperatorPassword);
    b.Grant(corp, op, "[Entry Rights]", 0x1);
    b.Grant(corp, op, "[All Attributes Rights]", 0x3);
    b.Grant(workstation, op, "Description", 0x7);
    if (!b.Error().empty())
        return b.Error();

    // The agent of each NT system publishes its public key; passwords set through the module are sealed
    // under it.
    for (const std::string system : kSampleNtSystems) {
        agent::KeyPair pair = agent::GenerateKeyPair(848);
        if (pair.code != agent::kKeygenOk)
            return "cannot make an agent key for " + system + " (code " + std::to_string(pair.code) + ")";
        std::vector<uint8_t> publicBlob(pair.publicBlob.begin(), pair.publicBlob.end());
        if (DirOutcome published = DirectoryOps::SetOctets(system, "KEL:KEL Public Key", publicBlob);
            !published.Ok())
            return published.error;
        if (keys != nullptr)
            keys->push_back(
                {system, publicBlob, std::vector<uint8_t>(pair.privateBlob.begin(), pair.privateBlob.end())});
    }
    return {};
}

std::string SampleKeyFile(const std::string& storeFile, const std::string& system, const std::string& kind) {
    // A directory on a server has no file to put the keys beside: they go into the current folder.
    std::string base = dirclient::IsLdapUrl(storeFile) ? std::string("sample") : storeFile;
    std::size_t slash = base.find_last_of('/');
    std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        base.erase(dot);
    return base + "-" + system.substr(0, system.find('.')) + "." + kind + ".key";
}

std::string MakeSampleDirectory(const std::string& storeFile) {
    struct stat st {};
    if (stat(storeFile.c_str(), &st) == 0)
        return storeFile + " exists already; the sample is made only in a new file";
    for (const char* system : kSampleNtSystems)
        for (const char* kind : {"public", "private"})
            if (std::string path = SampleKeyFile(storeFile, system, kind); stat(path.c_str(), &st) == 0)
                return path + " exists already; the sample writes its agent keys only into new files";
    if (int32_t code = DirOpenStore(storeFile.c_str(), 1); code != 0)
        return "cannot make the store " + storeFile + ": " + DirErrorText(code);
    std::string error;
    if (int32_t code = DirLogin("Admin", ""); code != 0)
        error = std::string("cannot sign in as Admin: ") + DirErrorText(code);
    std::vector<SampleKey> keys;
    if (error.empty())
        error = BuildSampleTree(&keys);
    (void)DirCloseStore();
    for (const SampleKey& key : keys) {
        if (!error.empty())
            break;
        for (const auto& [kind, blob] :
             {std::pair{"public", &key.publicBlob}, std::pair{"private", &key.privateBlob}}) {
            std::string path = SampleKeyFile(storeFile, key.system, kind);
            // The private key is the agent's secret: readable by its owner alone.
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          kind == std::string("private") ? 0600 : 0644);
            bool written =
                fd >= 0 && write(fd, blob->data(), blob->size()) == static_cast<ssize_t>(blob->size());
            if (fd >= 0 && close(fd) != 0)
                written = false;
            if (!written) {
                error = "cannot write the key file " + path + ": " + std::strerror(errno);
                break;
            }
        }
    }
    return error;
}

} // namespace cvadmin
