// The directory classes and attributes the module reads and writes, each attribute with the syntax through
// which every attribute operation handles it. Reading an attribute with another syntax gives no value, so
// the syntax is part of each attribute's contract: take it from here, never from a literal at the call site.
#pragma once

#include "platform/dirclient/DirClient.h"

#include <cstdint>
#include <span>

// ---- Syntaxes -------------------------------------------------------------------------------------------
inline constexpr uint32_t kSyntaxDistinguishedName = kDirSyntaxDistinguishedName;
inline constexpr uint32_t kSyntaxCaseIgnoreString = kDirSyntaxCaseIgnoreString;
inline constexpr uint32_t kSyntaxBoolean = kDirSyntaxBoolean;
inline constexpr uint32_t kSyntaxInteger = kDirSyntaxInteger;
inline constexpr uint32_t kSyntaxOctetString = kDirSyntaxOctetString;
inline constexpr uint32_t kSyntaxNetAddress = kDirSyntaxNetAddress;
inline constexpr uint32_t kSyntaxObjectACL = kDirSyntaxObjectACL;
inline constexpr uint32_t kSyntaxClassName = kDirSyntaxClassName;
inline constexpr uint32_t kSyntaxTime = kDirSyntaxTime;
inline constexpr uint32_t kSyntaxInterval = kDirSyntaxInterval;

// ---- Names that are not attributes ----------------------------------------------------------------------
inline constexpr char kNameRoot[] = "[Root]";
inline constexpr char kNamePublic[] = "[Public]";
inline constexpr char kAclAllAttributesRights[] = "[All Attributes Rights]";
inline constexpr char kAclEntryRights[] = "[Entry Rights]";

// ---- Classes --------------------------------------------------------------------------------------------
inline constexpr char kClassNtDomain[] = "KEL:NT Domain";
inline constexpr char kClassNtWorkgroupSystem[] = "KEL:NT Workgroup System";
inline constexpr char kClassNtUser[] = "KEL:NT User";
inline constexpr char kClassNtGlobalGroup[] = "KEL:NT Global Group";
inline constexpr char kClassNtLocalGroup[] = "KEL:NT Local Group";
inline constexpr char kClassHybridUser[] = "KEL:Hybrid User";
inline constexpr char kClassUser[] = "User";
inline constexpr char kClassTemplate[] = "Template";

// ---- Attributes -----------------------------------------------------------------------------------------
// Distinguished Name
inline constexpr char kAttrApplicationServerList[] = "KEL:Application Server List";
inline constexpr char kAttrGroupMembership[] = "KEL:Group Membership";
inline constexpr char kAttrPrimaryGroup[] = "KEL:Primary Group";
inline constexpr char kAttrQdsUser[] = "KEL:QDS User";
inline constexpr char kAttrMember[] = "Member";
// Case Ignore String
inline constexpr char kAttrCN[] = "CN";
inline constexpr char kAttrDescription[] = "Description";
inline constexpr char kAttrFullName[] = "Full Name";
inline constexpr char kAttrSurname[] = "surname";
inline constexpr char kAttrAlternateHomeDirectory[] = "KEL:Alternate Home Directory";
inline constexpr char kAttrEnabledWorkstationList[] = "KEL:Enabled Workstation List";
inline constexpr char kAttrHomeDirDrive[] = "KEL:Home Dir Drive";
inline constexpr char kAttrNtDefaultGroupName[] = "KEL:NT Default Group Name";
inline constexpr char kAttrProfilePath[] = "KEL:Profile Path";
inline constexpr char kAttrScriptName[] = "KEL:Script Name";
inline constexpr char kAttrTemplateGroups[] = "KEL:Template Groups";
inline constexpr char kAttrTemplatePrimaryGroup[] = "KEL:Template Primary Group";
// Boolean
inline constexpr char kAttrDiscoverNetworkAddress[] = "KEL:Discover Network Address";
inline constexpr char kAttrExpirePassword[] = "KEL:Expire Password";
inline constexpr char kAttrForceLogoff[] = "KEL:Force Logoff";
inline constexpr char kAttrGlobalAccount[] = "KEL:Global Account";
inline constexpr char kAttrLogonRequiredToChangePwd[] = "KEL:Logon Required to Change PWD";
inline constexpr char kAttrMustChangePassword[] = "KEL:Must Change Password";
inline constexpr char kAttrServerUpdateEnabled[] = "KEL:Server Update Enabled";
inline constexpr char kAttrUfLockout[] = "KEL:UF Lockout";
inline constexpr char kAttrLoginDisabled[] = "Login Disabled";
inline constexpr char kAttrPasswordAllowChange[] = "Password Allow Change";
inline constexpr char kAttrPasswordRequired[] = "Password Required";
// Integer
inline constexpr char kAttrConnectionRetryInterval[] = "KEL:Connection Retry Interval";
inline constexpr char kAttrConnectionTimeout[] = "KEL:Connection Timeout";
inline constexpr char kAttrMaxFileTransferSize[] = "KEL:Max File Transfer Size";
inline constexpr char kAttrMaximumPingRetries[] = "KEL:Maximum Ping Retries";
inline constexpr char kAttrPasswordHistoryLength[] = "KEL:Password History Length";
inline constexpr char kAttrPortNumber[] = "KEL:Port Number";
inline constexpr char kAttrLoginIntruderLimit[] = "Login Intruder Limit";
inline constexpr char kAttrPasswordMinimumLength[] = "Password Minimum Length";
// Octet String
inline constexpr char kAttrKelPublicKey[] = "KEL:KEL Public Key";
inline constexpr char kAttrAuthentication[] = "KEL:Authentication";
inline constexpr char kAttrLogonHours[] = "KEL:Logon Hours";
inline constexpr char kAttrLoginAllowedTimeMap[] = "Login Allowed Time Map";
// Net Address, Object ACL, Class Name, Time
inline constexpr char kAttrNetworkAddress[] = "Network Address";
inline constexpr char kAttrAcl[] = "ACL";
inline constexpr char kAttrObjectClass[] = "Object Class";
inline constexpr char kAttrLoginExpirationTime[] = "Login Expiration Time";
// Interval
inline constexpr char kAttrMaximumPasswordAge[] = "KEL:Maximum Password Age";
inline constexpr char kAttrMinimumPasswordAge[] = "KEL:Minimum Password Age";
inline constexpr char kAttrNotificationDelay[] = "KEL:Notification Delay";
inline constexpr char kAttrPingRetryDelay[] = "KEL:Ping Retry Delay";
inline constexpr char kAttrIntruderAttemptResetInterval[] = "Intruder Attempt Reset Interval";
inline constexpr char kAttrIntruderLockoutResetInterval[] = "Intruder Lockout Reset Interval";

// ---- The table ------------------------------------------------------------------------------------------
struct SchemaAttribute {
    const char* name;
    uint32_t syntax;
    // Read and written as whole lists (ReadAttrValues, SetAttrValues, AddAttrValue, RemoveAttrValue);
    // every other attribute is used as a single value.
    bool multiValued;
};

struct SchemaClass {
    const char* name;
    // One of the module's own classes (as opposed to the directory's "User" and "Template").
    bool ownClass;
};

// Every attribute the module uses, grouped by syntax.
std::span<const SchemaAttribute> SchemaAttributes();
std::span<const SchemaClass> SchemaClasses();

// Directory names match without regard to ASCII letter case (and only ASCII: other bytes match exactly).
// Both names must be NUL-terminated.
bool NamesEqualNoCase(const char* a, const char* b);

// Directory names match without regard to ASCII letter case, so lookups do too. Null when not in the table.
const SchemaAttribute* FindSchemaAttribute(const char* name);
const SchemaClass* FindSchemaClass(const char* name);
// The attribute's syntax, or 0 for a name the table does not hold.
uint32_t SchemaSyntaxOf(const char* name);
// True for an attribute of the table that is kept as a list.
bool IsMultiValuedAttribute(const char* name);
