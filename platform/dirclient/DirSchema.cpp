#include "platform/dirclient/DirSchema.h"

#include <array>
#include <string>
#include <unordered_map>

#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"

namespace dirclient {

namespace {

constexpr uint32_t kDn = kDirSyntaxDistinguishedName;
constexpr uint32_t kStr = kDirSyntaxCaseIgnoreString;
constexpr uint32_t kBool = kDirSyntaxBoolean;
constexpr uint32_t kInt = kDirSyntaxInteger;
constexpr uint32_t kOctets = kDirSyntaxOctetString;
constexpr uint32_t kTime = kDirSyntaxTime;
constexpr uint32_t kInterval = kDirSyntaxInterval;
constexpr bool kSingle = true;
constexpr bool kMulti = false;
constexpr size_t kMaxAttributeNameBytes = 131;

constexpr std::array kAttributes{
    AttributeDef{"ACL", kDirSyntaxObjectACL, kMulti},
    AttributeDef{"Aliased Object Name", kDn, kSingle},
    AttributeDef{"CN", kStr, kSingle},
    AttributeDef{"Description", kStr, kSingle},
    AttributeDef{"Full Name", kStr, kSingle},
    AttributeDef{"Intruder Attempt Reset Interval", kInterval, kSingle},
    AttributeDef{"Intruder Lockout Reset Interval", kInterval, kSingle},
    AttributeDef{"Login Allowed Time Map", kOctets, kSingle},
    AttributeDef{"Login Disabled", kBool, kSingle},
    AttributeDef{"Login Expiration Time", kTime, kSingle},
    AttributeDef{"Locked By Intruder", kBool, kSingle},
    AttributeDef{"Login Intruder Attempts", kInt, kSingle},
    AttributeDef{"Login Intruder Limit", kInt, kSingle},
    AttributeDef{"Login Intruder Reset Time", kTime, kSingle},
    AttributeDef{"Member", kDn, kMulti},
    AttributeDef{"Network Address", kDirSyntaxNetAddress, kMulti},
    AttributeDef{"Object Class", kDirSyntaxClassName, kSingle},
    AttributeDef{"Password Allow Change", kBool, kSingle},
    AttributeDef{"Password Minimum Length", kInt, kSingle},
    AttributeDef{"Password Required", kBool, kSingle},
    AttributeDef{"surname", kStr, kSingle},
    AttributeDef{"KEL:Alternate Home Directory", kStr, kSingle},
    AttributeDef{"KEL:Application Server List", kDn, kMulti},
    AttributeDef{"KEL:Authentication", kOctets, kSingle},
    AttributeDef{"KEL:Connection Retry Interval", kInt, kSingle},
    AttributeDef{"KEL:Connection Timeout", kInt, kSingle},
    AttributeDef{"KEL:Discover Network Address", kBool, kSingle},
    AttributeDef{"KEL:Enabled Workstation List", kStr, kMulti},
    AttributeDef{"KEL:Expire Password", kBool, kSingle},
    AttributeDef{"KEL:Force Logoff", kBool, kSingle},
    AttributeDef{"KEL:Global Account", kBool, kSingle},
    AttributeDef{"KEL:Group Membership", kDn, kMulti},
    AttributeDef{"KEL:Home Dir Drive", kStr, kSingle},
    AttributeDef{"KEL:KEL Public Key", kOctets, kSingle},
    AttributeDef{"KEL:Logon Hours", kOctets, kSingle},
    AttributeDef{"KEL:Logon Required to Change PWD", kBool, kSingle},
    AttributeDef{"KEL:Max File Transfer Size", kInt, kSingle},
    AttributeDef{"KEL:Maximum Password Age", kInterval, kSingle},
    AttributeDef{"KEL:Maximum Ping Retries", kInt, kSingle},
    AttributeDef{"KEL:Minimum Password Age", kInterval, kSingle},
    AttributeDef{"KEL:Must Change Password", kBool, kSingle},
    AttributeDef{"KEL:Notification Delay", kInterval, kSingle},
    AttributeDef{"KEL:NT Default Group Name", kStr, kSingle},
    AttributeDef{"KEL:Password History Length", kInt, kSingle},
    AttributeDef{"KEL:Ping Retry Delay", kInterval, kSingle},
    AttributeDef{"KEL:Port Number", kInt, kSingle},
    AttributeDef{"KEL:Primary Group", kDn, kSingle},
    AttributeDef{"KEL:Profile Path", kStr, kSingle},
    AttributeDef{"KEL:QDS User", kDn, kSingle},
    AttributeDef{"KEL:Script Name", kStr, kSingle},
    AttributeDef{"KEL:Server Update Enabled", kBool, kSingle},
    AttributeDef{"KEL:Template Groups", kStr, kMulti},
    AttributeDef{"KEL:Template Primary Group", kStr, kSingle},
    AttributeDef{"KEL:UF Lockout", kBool, kSingle},
};

constexpr std::array kClasses{
    ClassDef{"Tree Root", true},           ClassDef{"Organization", true},
    ClassDef{"Organizational Unit", true}, ClassDef{"User", false},
    ClassDef{"Template", false},           ClassDef{"Alias", false},
    ClassDef{"KEL:NT Domain", true},       ClassDef{"KEL:NT Workgroup System", true},
    ClassDef{"KEL:NT User", false},        ClassDef{"KEL:NT Global Group", false},
    ClassDef{"KEL:NT Local Group", false}, ClassDef{"KEL:Hybrid User", false},
};

} // namespace

const AttributeDef* FindAttribute(std::string_view name) {
    // Looked up for every value put and stored, so by folded name rather than by a walk of the table.
    static const std::unordered_map<std::string, const AttributeDef*> byName = [] {
        std::unordered_map<std::string, const AttributeDef*> map;
        for (const auto& def : kAttributes) {
            map.emplace(FoldName(def.name), &def);
        }
        return map;
    }();
    if (name.size() > kMaxAttributeNameBytes) {
        return nullptr;
    }
    const auto it = byName.find(FoldName(name));
    return it == byName.end() ? nullptr : it->second;
}

std::span<const AttributeDef> SchemaAttributes() {
    return kAttributes;
}

const ClassDef* FindClass(std::string_view name) {
    // A stored object's class is the schema's own spelling, and every listed child asks for its class: the
    // exact spelling is tried before the comparison without case. No two classes differ in case only.
    for (const auto& def : kClasses) {
        if (def.name == name) {
            return &def;
        }
    }
    for (const auto& def : kClasses) {
        if (NamesEqual(def.name, name)) {
            return &def;
        }
    }
    return nullptr;
}

} // namespace dirclient
