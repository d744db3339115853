#include "platform/dirclient/LdapSchema.h"

#include <algorithm>
#include <set>

#include <sodium.h>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirSchema.h"
#include "platform/dirclient/Directory.h"

namespace dirclient::ldapmap {

namespace {

// A private arc (2.25 is for UUID-based identifiers and needs no registration).
constexpr std::string_view kArc = "2.25.170217052815334904571623447212036914117";
constexpr std::string_view kOctetSyntax = "1.3.6.1.4.1.1466.115.121.1.40";
constexpr std::string_view kDnSyntax = "1.3.6.1.4.1.1466.115.121.1.12";
constexpr std::string_view kIntegerSyntax = "1.3.6.1.4.1.1466.115.121.1.27";
constexpr std::string_view kBooleanSyntax = "1.3.6.1.4.1.1466.115.121.1.7";
constexpr std::string_view kIa5Syntax = "1.3.6.1.4.1.1466.115.121.1.26";

struct OwnAttribute {
    std::string_view name;
    std::string_view syntax;
    bool single;
    std::string_view description;
};

// The attributes the store keeps besides the directory's own.
constexpr OwnAttribute kOwnAttributes[] = {
    {"kelId", kIntegerSyntax, true, "the object's id, never reused"},
    {"kelParent", kDnSyntax, true, "the container that holds the object"},
    {"kelLeaf", kOctetSyntax, true, "the object's leaf name as given"},
    {"kelLeafKey", kOctetSyntax, true, "the leaf folded for comparison"},
    {"kelClass", kOctetSyntax, true, "the object's base class"},
    {"kelModTime", kIntegerSyntax, true, "the time of the last change"},
    {"kelHasPassword", kBooleanSyntax, true, "whether the user has a password of its own"},
    {"kelRefs", kDnSyntax, false, "the objects that values of this object name"},
    {"kelAttrCount", kIntegerSyntax, true, "how many attributes of the object hold values"},
    {"kelGrant", kDnSyntax, false, "what the ACL values of this object grant, for the access rules"},
    {"kelSerial", kIntegerSyntax, true, "raised by every write request"},
    {"kelLastId", kIntegerSyntax, true, "the highest id ever given"},
    {"kelMeta", kOctetSyntax, false, "store settings as KEY=VALUE"},
    {"kelPending", kOctetSyntax, false, "the steps of a request being applied"},
    {"kelBlock", kIa5Syntax, true, "a block of a long list: ATTRIBUTE.NUMBER"},
    {"kelBlockAttr", kIa5Syntax, true, "the attribute whose values a block holds"},
};

std::string Equality(std::string_view syntax) {
    if (syntax == kDnSyntax) {
        return " EQUALITY distinguishedNameMatch";
    }
    if (syntax == kIntegerSyntax) {
        return " EQUALITY integerMatch ORDERING integerOrderingMatch";
    }
    if (syntax == kBooleanSyntax) {
        return " EQUALITY booleanMatch";
    }
    if (syntax == kIa5Syntax) {
        return " EQUALITY caseExactIA5Match";
    }
    return " EQUALITY octetStringMatch";
}

std::string Quoted(std::string_view text) {
    // Descriptions are quoted strings where a quote and a backslash are escaped as \27 and \5C.
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "\\27";
        } else if (c == '\\') {
            out += "\\5C";
        } else {
            out += c;
        }
    }
    return out + "'";
}

bool NeedsBase64(std::string_view value) {
    if (value.empty()) {
        return false;
    }
    if (value.front() == ' ' || value.front() == ':' || value.front() == '<' || value.back() == ' ') {
        return true;
    }
    for (unsigned char c : value) {
        if (c < 0x20 || c >= 0x7f) {
            return true;
        }
    }
    return false;
}

std::string Base64(std::string_view bytes) {
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.find('\0'));
    return out;
}

std::string Line(std::string_view attr, std::string_view value) {
    if (NeedsBase64(value)) {
        return std::string(attr) + ":: " + Base64(value) + "\n";
    }
    return std::string(attr) + ": " + std::string(value) + "\n";
}

// Who a grant applies to, as the access rules see it: the user bound, every container that holds it, and
// everyone.
constexpr std::string_view kSubjects = "(user | user/kelParent* | [cn=kelpublic])";

// Whose grants count: those on the object and its containers; for a block of values, on the object above
// it and its containers.
constexpr std::string_view kTheObject = "this | this/kelParent*";
constexpr std::string_view kTheBlocksObject = "this/-1 | this/-1/kelParent*";

std::string GrantSet(std::string_view grants, std::string_view on = kTheObject) {
    return "set=\"(" + std::string(on) + ")/kelGrant & ((" + std::string(grants) + ") + " +
           std::string(kSubjects) + ")\"";
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

} // namespace

std::string AttributeName(std::string_view directoryName) {
    std::string out = "kel";
    bool wordStart = true;
    for (char c : directoryName) {
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum) {
            wordStart = true;
            continue;
        }
        out += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = false;
    }
    return out;
}

std::string ObjectDn(int64_t id, std::string_view base) {
    return "kelId=" + std::to_string(id) + "," + std::string(base);
}

int64_t IdOfDn(std::string_view dn, std::string_view base) {
    constexpr std::string_view kPrefix = "kelid=";
    if (dn.size() <= kPrefix.size() + base.size() + 1 || Lower(dn.substr(0, kPrefix.size())) != kPrefix) {
        return 0;
    }
    const size_t comma = dn.find(',');
    if (comma == std::string_view::npos || Lower(dn.substr(comma + 1)) != Lower(base)) {
        return 0;
    }
    int64_t id = 0;
    for (char c : dn.substr(kPrefix.size(), comma - kPrefix.size())) {
        if (c < '0' || c > '9' || id > (INT64_MAX - 9) / 10) {
            return 0;
        }
        id = id * 10 + (c - '0');
    }
    return id;
}

std::string SchemaLdif() {
    std::string ldif = "dn: cn=kel,cn=schema,cn=config\nobjectClass: olcSchemaConfig\ncn: kel\n";
    std::string may;
    int number = 1;
    for (const auto& own : kOwnAttributes) {
        ldif += "olcAttributeTypes: ( " + std::string(kArc) + ".1." + std::to_string(number++) + " NAME '" +
                std::string(own.name) + "' DESC " + Quoted(own.description) + Equality(own.syntax) +
                " SYNTAX " + std::string(own.syntax) + (own.single ? " SINGLE-VALUE" : "") + " )\n";
        if (own.name != "kelId" && own.name != "kelSerial" && own.name != "kelLastId" &&
            own.name != "kelMeta" && own.name != "kelPending" && own.name != "kelBlock" &&
            own.name != "kelBlockAttr") {
            may += " $ " + std::string(own.name);
        }
    }
    number = 100;
    std::string values;
    for (const auto& def : SchemaAttributes()) {
        // Every directory value is one octet string in the store's encoding (syntax, reference, key, data),
        // single-valued or not: the client checks the directory's rules, the server keeps the bytes.
        ldif += "olcAttributeTypes: ( " + std::string(kArc) + ".1." + std::to_string(number++) + " NAME '" +
                AttributeName(def.name) + "' DESC " + Quoted(def.name) +
                " EQUALITY octetStringMatch SYNTAX " + std::string(kOctetSyntax) + " )\n";
        values += " $ " + AttributeName(def.name);
    }
    may += values;
    ldif +=
        "olcObjectClasses: ( " + std::string(kArc) +
        ".2.1 NAME 'kelObject' DESC 'a directory object' SUP top STRUCTURAL MUST kelId MAY ( userPassword" +
        may + " ) )\n";
    ldif += "olcObjectClasses: ( " + std::string(kArc) +
            ".2.2 NAME 'kelStore' DESC 'the base entry of a directory' SUP top STRUCTURAL MAY ( kelSerial $ "
            "kelLastId $ kelMeta $ kelPending ) )\n";
    // A long list's values live in blocks below the object's entry, so that one more value rewrites one
    // block instead of the whole object (kelId names the object, for the check that begins a request).
    ldif += "olcObjectClasses: ( " + std::string(kArc) +
            ".2.3 NAME 'kelBlock' DESC 'values of a long list of the object above' SUP top STRUCTURAL MUST "
            "( kelBlock $ kelId $ kelBlockAttr ) MAY ( kelRefs" +
            values + " ) )\n";
    return ldif;
}

std::vector<std::string> AccessRules(std::string_view suffix) {
    // The rules name the kinds of entries rather than one directory's base, so that one database may hold
    // several directories (each below its own base entry).
    const std::string sub = "to dn.subtree=\"" + std::string(suffix) + "\" ";
    const std::string object = sub + "filter=(objectClass=kelObject)";
    const std::string replicator = "by dn.exact=\"cn=replicator," + std::string(suffix) + "\" read ";
    const std::string super = GrantSet("[cn=e-super,]");
    std::vector<std::string> rules;
    // Passwords of every entry (the replicator's too) serve binds only, and first: the next rule lets nobody
    // read everything else.
    rules.push_back(sub + "attrs=userPassword " + replicator + "by anonymous auth by " + super +
                    " write by self write by * auth");
    // Nobody signed in reads at once, in one rule for every entry and attribute: the server walks the rules
    // for each attribute and value it returns, and a listing of 10,000 children took a third longer when
    // each attribute's own rule answered. The client reads as nobody and checks read rights itself; writes
    // by nobody stop here, refused, whatever "[Public]" is granted. Everyone else goes on to the rules that
    // work out grants.
    rules.push_back(sub + "by anonymous read by * break");
    // Every write asks for the entry's entryCSN (that it is unchanged, and what it is now): answered here,
    // not after the server walked every rule below for it.
    rules.push_back(sub + "attrs=entryCSN by * read");
    // A base entry counts write requests (every write request raises kelSerial, so that two requests that
    // read the same state cannot both commit) and holds the directory's settings.
    rules.push_back(sub +
                    "filter=(objectClass=kelStore) attrs=kelSerial,kelLastId,kelMeta,kelPending,children " +
                    replicator + "by users write by * read");
    rules.push_back(object + " attrs=kelId,kelClass by * read");
    rules.push_back(object + " attrs=kelModTime,kelRefs,kelAttrCount by users write by * read");
    rules.push_back(object + " attrs=kelHasPassword by " + super + " write by self write by * read");
    // Creating an object takes Create on its container: for an add, "this" is the new entry itself.
    rules.push_back(object + " attrs=entry by " + super + " write by set=\"(this/kelParent | " +
                    "this/kelParent/kelParent*)/kelGrant & (([cn=e-create,] | [cn=e-super,]) + " +
                    std::string(kSubjects) + ")\" +a continue by " + GrantSet("[cn=e-delete,]") +
                    " +z continue by * +rscxd");
    rules.push_back(object + " attrs=kelLeaf,kelLeafKey by " + GrantSet("[cn=e-super,] | [cn=e-rename,]") +
                    " write by * read");
    // A move needs Delete where the object was; Create where it goes is the client's check.
    rules.push_back(object + " attrs=kelParent by " + GrantSet("[cn=e-super,] | [cn=e-delete,]") +
                    " write by * read");
    const std::string aclName = Lower(AttributeName(kAttrAcl));
    rules.push_back(object + " attrs=kelGrant by " +
                    GrantSet("[cn=e-super,] | [cn=a-all,] | [cn=a-" + aclName + ",]") + " write by * read");
    // Add or Remove Self is granted as Write here: the values are the store's encoding, not DNs the server
    // could compare with the user bound, so the client checks that the value is the user itself.
    for (const auto& def : SchemaAttributes()) {
        const std::string name = AttributeName(def.name);
        const std::string lower = Lower(name);
        rules.push_back(object + " attrs=" + name + " by " +
                        GrantSet("[cn=e-super,] | [cn=a-all,] | [cn=a-" + lower + ",]") + " write by " +
                        GrantSet("[cn=s-all,] | [cn=s-" + lower + ",]") + " write by * read");
    }
    // A block of a long list takes the rights of its list on the object above it. Making a block takes
    // what adding a value takes; a block goes only with its object (the right to delete the object), so
    // that clients see every change of a block as a change of its entryCSN. What a block is (its object,
    // attribute and name) cannot be changed once it is made: the client keeps nothing of a block whose
    // name and content disagree.
    rules.push_back(object + " attrs=children by users write by * read");
    const std::string block = sub + "filter=(objectClass=kelBlock)";
    rules.push_back(block + " attrs=kelId,kelBlock,kelBlockAttr,objectClass by * read");
    rules.push_back(block + " attrs=kelRefs by users write by * read");
    for (const auto& def : SchemaAttributes()) {
        const std::string name = AttributeName(def.name);
        const std::string lower = Lower(name);
        const std::string writers =
            GrantSet("[cn=e-super,] | [cn=a-all,] | [cn=a-" + lower + ",]", kTheBlocksObject);
        const std::string self = GrantSet("[cn=s-all,] | [cn=s-" + lower + ",]", kTheBlocksObject);
        const std::string its = sub + "filter=(&(objectClass=kelBlock)(kelBlockAttr=" + name + "))";
        rules.push_back(its + " attrs=entry by " +
                        GrantSet("[cn=e-super,] | [cn=e-delete,]", kTheBlocksObject) + " write by " +
                        writers + " =arscxd by " + self + " =arscxd by * read");
        rules.push_back(its + " attrs=" + name + " by " + writers + " write by " + self + " write by * read");
    }
    rules.push_back("to * by * read");
    return rules;
}

std::string ConfigLdif(const ServerConfig& config) {
    const std::string& b = config.suffix;
    std::string ldif = "dn: cn=config\nobjectClass: olcGlobal\ncn: config\n";
    ldif += "olcPidFile: " + config.folder + "/slapd.pid\n";
    if (config.serverId > 0) {
        ldif += "olcServerID: " + std::to_string(config.serverId) + "\n";
    }
    if (!config.logOperations) {
        // Each operation's log lines cost the server about as much as the operation itself when there is
        // no system log to take them (a modify: ~35 us of ~40 us).
        ldif += "olcLogLevel: none\n";
    }
    ldif += "\ndn: cn=module{0},cn=config\nobjectClass: olcModuleList\ncn: module{0}\n"
            "olcModulePath: /usr/lib/ldap\nolcModuleLoad: back_mdb\nolcModuleLoad: argon2\n";
    if (!config.peers.empty()) {
        ldif += "olcModuleLoad: syncprov\n";
    }
    ldif += "\ndn: cn=schema,cn=config\nobjectClass: olcSchemaConfig\ncn: schema\n\n"
            "include: file:///etc/ldap/schema/core.ldif\n\n";
    ldif += SchemaLdif();
    ldif += "\ndn: olcDatabase={-1}frontend,cn=config\nobjectClass: olcDatabaseConfig\n"
            "objectClass: olcFrontendConfig\nolcDatabase: {-1}frontend\nolcPasswordHash: {ARGON2}\n"
            "olcSizeLimit: unlimited\n";
    ldif += "\ndn: olcDatabase={0}config,cn=config\nobjectClass: olcDatabaseConfig\nolcDatabase: {0}config\n"
            "olcAccess: {0}to * by * none\n";
    ldif += "\ndn: olcDatabase={1}mdb,cn=config\nobjectClass: olcDatabaseConfig\nobjectClass: olcMdbConfig\n"
            "olcDatabase: {1}mdb\n";
    ldif += Line("olcSuffix", b);
    // Replication writes what it receives as the manager. It has no password unless one is given (test
    // servers, whose fixtures make a directory per test below one suffix).
    ldif += Line("olcRootDN", "cn=manager," + b);
    if (!config.managerPassword.empty()) {
        ldif += Line("olcRootPW", config.managerPassword);
    }
    ldif += "olcDbDirectory: " + config.folder + "/db\nolcDbMaxSize: 4294967296\n";
    if (!config.durable) {
        ldif += "olcDbNoSync: TRUE\n";
    }
    ldif += "olcDbIndex: objectClass eq\nolcDbIndex: kelId eq\nolcDbIndex: kelParent eq\n"
            "olcDbIndex: kelLeafKey eq\nolcDbIndex: kelRefs eq\nolcDbIndex: entryCSN eq\n"
            "olcDbIndex: entryUUID eq\n";
    ldif += Line("olcLimits", "dn.exact=\"cn=replicator," + b + "\" size=unlimited time=unlimited");
    int index = 0;
    for (const auto& rule : AccessRules(b)) {
        ldif += Line("olcAccess", "{" + std::to_string(index++) + "}" + rule);
    }
    if (!config.peers.empty()) {
        int rid = 1;
        for (const auto& peer : config.peers) {
            std::string number = std::to_string(rid++);
            number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
            ldif += Line("olcSyncrepl", "rid=" + std::string(number) + " provider=" + peer +
                                            " bindmethod=simple binddn=\"cn=replicator," + b +
                                            "\" credentials=" + config.replicatorPassword + " searchbase=\"" +
                                            b + "\" type=refreshAndPersist retry=\"1 +\" timeout=3");
        }
        ldif += "olcMultiProvider: TRUE\n";
        ldif += "\ndn: olcOverlay={0}syncprov,olcDatabase={1}mdb,cn=config\nobjectClass: olcOverlayConfig\n"
                "objectClass: olcSyncProvConfig\nolcOverlay: {0}syncprov\n";
    }
    return ldif;
}

std::string Ldif(const std::string& dn, const EntryValues& values) {
    std::string out = Line("dn", dn);
    for (const auto& [attr, list] : values) {
        for (const auto& value : list) {
            out += Line(attr, value);
        }
    }
    return out;
}

std::string EncodeValue(const StoredValue& value) {
    // Thousands of values go through here for one list: one allocation each.
    char head[64];
    const int size = std::snprintf(head, sizeof head, "%u:%lld:%zu:", value.syntax,
                                   static_cast<long long>(value.ref), value.key.size());
    std::string out;
    out.reserve(static_cast<size_t>(size) + value.key.size() + value.data.size());
    out.append(head, static_cast<size_t>(size));
    out.append(value.key);
    out.append(value.data);
    return out;
}

bool DecodeValue(std::string_view attr, std::string_view encoded, StoredValue* out) {
    uint64_t fields[3] = {0, 0, 0};
    size_t at = 0;
    for (uint64_t& field : fields) {
        size_t digits = 0;
        while (at < encoded.size() && encoded[at] >= '0' && encoded[at] <= '9' && digits < 19) {
            field = field * 10 + static_cast<uint64_t>(encoded[at++] - '0');
            ++digits;
        }
        if (digits == 0 || at >= encoded.size() || encoded[at] != ':') {
            return false;
        }
        ++at;
    }
    if (fields[2] > encoded.size() - at || fields[0] > UINT32_MAX) {
        return false;
    }
    out->attr = std::string(attr);
    out->syntax = static_cast<uint32_t>(fields[0]);
    out->ref = static_cast<int64_t>(fields[1]);
    out->key = std::string(encoded.substr(at, fields[2]));
    out->data = std::string(encoded.substr(at + fields[2]));
    return true;
}

std::vector<std::string> GrantsOf(const std::vector<StoredValue>& values, std::string_view base) {
    std::set<std::string> grants;
    for (const auto& value : values) {
        if (!NamesEqual(value.attr, kAttrAcl) || value.data.size() < 4) {
            continue;
        }
        uint32_t privileges = 0;
        for (int i = 0; i < 4; ++i) {
            privileges |= static_cast<uint32_t>(static_cast<uint8_t>(value.data[i])) << (8 * i);
        }
        const size_t nul = value.data.find('\0', 4);
        const std::string protectedAttr =
            value.data.substr(4, nul == std::string::npos ? std::string::npos : nul - 4);
        const std::string subject = value.ref != 0 ? Lower(ObjectDn(value.ref, base)) : "cn=kelpublic";
        auto grant = [&](const std::string& what) { grants.insert("cn=" + what + "," + subject); };
        if (NamesEqual(protectedAttr, kEntryRights)) {
            if ((privileges & kDirEntrySupervisor) != 0) {
                grant("e-super");
            }
            if ((privileges & kDirEntryCreate) != 0) {
                grant("e-create");
            }
            if ((privileges & kDirEntryDelete) != 0) {
                grant("e-delete");
            }
            if ((privileges & kDirEntryRename) != 0) {
                grant("e-rename");
            }
            continue;
        }
        const std::string which =
            NamesEqual(protectedAttr, kAllAttributesRights) ? "all" : Lower(AttributeName(protectedAttr));
        if ((privileges & (kDirRightWrite | kDirRightAttrSupervisor)) != 0) {
            grant("a-" + which);
        }
        if ((privileges & kDirRightAddSelf) != 0) {
            grant("s-" + which);
        }
    }
    return {grants.begin(), grants.end()};
}

EntryValues EncodeObject(const ObjectRecord& record, const std::vector<StoredValue>& values,
                         std::string_view base, std::string_view passwordValue) {
    EntryValues entry;
    entry["objectClass"] = {"kelObject"};
    entry["kelId"] = {std::to_string(record.id)};
    if (record.parent != 0) {
        entry["kelParent"] = {ObjectDn(record.parent, base)};
    }
    entry["kelLeaf"] = {record.leaf};
    entry["kelLeafKey"] = {FoldName(record.leaf)};
    entry["kelClass"] = {record.className};
    entry["kelModTime"] = {std::to_string(record.modTime)};
    if (!passwordValue.empty()) {
        entry["userPassword"] = {std::string(passwordValue)};
        entry["kelHasPassword"] = {record.passwordHash.empty() ? "FALSE" : "TRUE"};
    }
    std::set<int64_t> refs;
    std::set<std::string> attrs;
    for (const auto& value : values) {
        attrs.insert(value.attr);
        entry[AttributeName(value.attr)].push_back(EncodeValue(value));
        if (value.ref != 0) {
            refs.insert(value.ref);
        }
    }
    for (int64_t ref : refs) {
        entry["kelRefs"].push_back(ObjectDn(ref, base));
    }
    // A listing reads this rather than every value of every child.
    entry["kelAttrCount"] = {std::to_string(attrs.size())};
    auto grants = GrantsOf(values, base);
    if (!grants.empty()) {
        entry["kelGrant"] = std::move(grants);
    }
    return entry;
}

int32_t InitialTreeLdif(std::string_view base, std::string_view replicatorPassword, std::string* ldif) {
    auto memory = MakeMemoryStore();
    DirStore& store = *memory;
    Directory directory(store);
    int32_t rc = directory.Initialize();
    if (rc != kDirOk) {
        return rc;
    }
    rc = store.Begin(/*write=*/false);
    if (rc != kDirOk) {
        return rc;
    }
    std::vector<ObjectRecord> objects;
    rc = store.ListAllObjects(&objects);
    std::string treeName;
    if (rc == kDirOk) {
        rc = store.GetMeta("tree name", &treeName);
    }
    std::string noPassword;
    if (rc == kDirOk) {
        rc = Directory::HashPassword(std::string(kNoPassword).c_str(), &noPassword);
    }
    const std::string b(base);
    const size_t equals = b.find('=');
    const size_t comma = b.find(',');
    if (equals == std::string::npos || (comma != std::string::npos && comma < equals)) {
        store.Rollback();
        return kDirErrBadArgument;
    }
    std::string text =
        Line("dn", b) + "objectClass: top\nobjectClass: extensibleObject\nobjectClass: kelStore\n";
    text += Line(b.substr(0, equals),
                 b.substr(equals + 1, comma == std::string::npos ? std::string::npos : comma - equals - 1));
    int64_t lastId = 0;
    for (const auto& object : objects) {
        lastId = std::max(lastId, object.id);
    }
    text += "kelSerial: 1\nkelLastId: " + std::to_string(lastId) + "\n";
    text += Line("kelMeta", "tree name=" + treeName) + "\n";
    for (const auto& object : objects) {
        std::vector<StoredValue> values;
        if (rc == kDirOk) {
            rc = store.ReadValues(object.id, "", &values);
        }
        const std::string password =
            "{ARGON2}" + (object.passwordHash.empty() ? noPassword : object.passwordHash);
        const bool user = NamesEqual(object.className, kClassUser);
        text +=
            Ldif(ObjectDn(object.id, base), EncodeObject(object, values, base, user ? password : "")) + "\n";
    }
    if (rc == kDirOk && !replicatorPassword.empty()) {
        std::string hash;
        rc = Directory::HashPassword(std::string(replicatorPassword).c_str(), &hash);
        text += Line("dn", "cn=replicator," + b) +
                "objectClass: applicationProcess\nobjectClass: simpleSecurityObject\ncn: replicator\n" +
                Line("userPassword", "{ARGON2}" + hash) + "\n";
    }
    store.Rollback();
    if (rc == kDirOk) {
        *ldif = std::move(text);
    }
    return rc;
}

} // namespace dirclient::ldapmap
