#include "host/Sample.h"

#include <sys/stat.h>

#include <vector>

#include "host/DirectoryOps.h"
#include "platform/dirclient/DirClient.h"

namespace cvadmin {

namespace {

// Collects the first failure and skips everything after it, so the builder reads as a list of facts.
class Builder {
public:
    void Add(const std::string& object, const std::string& className) {
        Run([&] { return DirectoryOps::Add(object, className); });
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

std::string BuildSampleTree() {
    Builder b;
    const std::string corp = "Corp";
    const std::string sales = "Sales.Corp";
    const std::string domain = "NTDOM.Corp";
    const std::string workstation = "WKS1.Corp";

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
    return b.Error();
}

std::string MakeSampleDirectory(const std::string& storeFile) {
    struct stat st {};
    if (stat(storeFile.c_str(), &st) == 0)
        return storeFile + " exists already; the sample is made only in a new file";
    if (int32_t code = DirOpenStore(storeFile.c_str(), 1); code != 0)
        return "cannot make the store " + storeFile + ": " + DirErrorText(code);
    std::string error;
    if (int32_t code = DirLogin("Admin", ""); code != 0)
        error = std::string("cannot sign in as Admin: ") + DirErrorText(code);
    if (error.empty())
        error = BuildSampleTree();
    (void)DirCloseStore();
    return error;
}

} // namespace cvadmin
