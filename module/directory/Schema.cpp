#include "module/directory/Schema.h"

#include <array>
#include <cstring>

namespace {

constexpr bool kList = true;
constexpr bool kSingle = false;

constexpr std::array kAttributes{
    SchemaAttribute{kAttrApplicationServerList, kSyntaxDistinguishedName, kList},
    SchemaAttribute{kAttrGroupMembership, kSyntaxDistinguishedName, kList},
    SchemaAttribute{kAttrPrimaryGroup, kSyntaxDistinguishedName, kSingle},
    SchemaAttribute{kAttrQdsUser, kSyntaxDistinguishedName, kSingle},
    SchemaAttribute{kAttrMember, kSyntaxDistinguishedName, kList},

    SchemaAttribute{kAttrCN, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrDescription, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrFullName, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrSurname, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrAlternateHomeDirectory, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrEnabledWorkstationList, kSyntaxCaseIgnoreString, kList},
    SchemaAttribute{kAttrHomeDirDrive, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrProfilePath, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrScriptName, kSyntaxCaseIgnoreString, kSingle},
    SchemaAttribute{kAttrTemplateGroups, kSyntaxCaseIgnoreString, kList},
    SchemaAttribute{kAttrTemplatePrimaryGroup, kSyntaxCaseIgnoreString, kSingle},

    SchemaAttribute{kAttrDiscoverNetworkAddress, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrExpirePassword, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrForceLogoff, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrGlobalAccount, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrLogonRequiredToChangePwd, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrMustChangePassword, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrServerUpdateEnabled, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrUfLockout, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrLoginDisabled, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrPasswordAllowChange, kSyntaxBoolean, kSingle},
    SchemaAttribute{kAttrPasswordRequired, kSyntaxBoolean, kSingle},

    SchemaAttribute{kAttrConnectionRetryInterval, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrConnectionTimeout, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrMaxFileTransferSize, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrMaximumPingRetries, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrPasswordHistoryLength, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrPortNumber, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrLoginIntruderLimit, kSyntaxInteger, kSingle},
    SchemaAttribute{kAttrPasswordMinimumLength, kSyntaxInteger, kSingle},

    SchemaAttribute{kAttrKelPublicKey, kSyntaxOctetString, kSingle},
    SchemaAttribute{kAttrAuthentication, kSyntaxOctetString, kSingle},
    SchemaAttribute{kAttrLogonHours, kSyntaxOctetString, kSingle},
    SchemaAttribute{kAttrLoginAllowedTimeMap, kSyntaxOctetString, kSingle},

    SchemaAttribute{kAttrNetworkAddress, kSyntaxNetAddress, kSingle},
    // "ACL" holds many values, but the module only ever adds single ones to it.
    SchemaAttribute{kAttrAcl, kSyntaxObjectACL, kSingle},
    SchemaAttribute{kAttrObjectClass, kSyntaxClassName, kSingle},
    SchemaAttribute{kAttrLoginExpirationTime, kSyntaxTime, kSingle},

    SchemaAttribute{kAttrMaximumPasswordAge, kSyntaxInterval, kSingle},
    SchemaAttribute{kAttrMinimumPasswordAge, kSyntaxInterval, kSingle},
    SchemaAttribute{kAttrNotificationDelay, kSyntaxInterval, kSingle},
    SchemaAttribute{kAttrPingRetryDelay, kSyntaxInterval, kSingle},
    SchemaAttribute{kAttrIntruderAttemptResetInterval, kSyntaxInterval, kSingle},
    SchemaAttribute{kAttrIntruderLockoutResetInterval, kSyntaxInterval, kSingle},
};

constexpr std::array kClasses{
    SchemaClass{kClassNtDomain, true},     SchemaClass{kClassNtWorkgroupSystem, true},
    SchemaClass{kClassNtUser, true},       SchemaClass{kClassNtGlobalGroup, true},
    SchemaClass{kClassNtLocalGroup, true}, SchemaClass{kClassHybridUser, true},
    SchemaClass{kClassUser, false},        SchemaClass{kClassTemplate, false},
};

} // namespace

bool NamesEqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        auto ca = static_cast<unsigned char>(*a);
        auto cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') {
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        }
        if (ca != cb) {
            return false;
        }
        if (ca == '\0') {
            return true;
        }
    }
}

std::span<const SchemaAttribute> SchemaAttributes() {
    return kAttributes;
}

std::span<const SchemaClass> SchemaClasses() {
    return kClasses;
}

namespace {

template <typename Entry> const Entry* FindByName(std::span<const Entry> table, const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (const Entry& entry : table) {
        if (NamesEqualNoCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

const SchemaAttribute* FindSchemaAttribute(const char* name) {
    return FindByName<SchemaAttribute>(kAttributes, name);
}

const SchemaClass* FindSchemaClass(const char* name) {
    return FindByName<SchemaClass>(kClasses, name);
}

uint32_t SchemaSyntaxOf(const char* name) {
    const SchemaAttribute* attribute = FindSchemaAttribute(name);
    return attribute != nullptr ? attribute->syntax : 0;
}

bool IsMultiValuedAttribute(const char* name) {
    const SchemaAttribute* attribute = FindSchemaAttribute(name);
    return attribute != nullptr && attribute->multiValued;
}
