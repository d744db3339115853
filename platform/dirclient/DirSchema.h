// The schema the store knows: attributes with their syntax and whether they hold one value, and the classes
// with whether their objects may hold others.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dirclient {

struct AttributeDef {
    std::string_view name;
    uint32_t syntax;
    bool singleValued;
};

struct ClassDef {
    std::string_view name;
    bool container;
};

// Looked up without regard to ASCII letter case; nullptr when unknown.
const AttributeDef* FindAttribute(std::string_view name);
const ClassDef* FindClass(std::string_view name);
// The whole table, for stores that must declare it to a server.
std::span<const AttributeDef> SchemaAttributes();

inline constexpr std::string_view kAttrObjectClass = "Object Class";
inline constexpr std::string_view kAttrAcl = "ACL";
inline constexpr std::string_view kAttrCn = "CN";
inline constexpr std::string_view kAttrAliasedObjectName = "Aliased Object Name";
inline constexpr std::string_view kAttrPasswordMinimumLength = "Password Minimum Length";
inline constexpr std::string_view kAttrPasswordRequired = "Password Required";
inline constexpr std::string_view kAttrLoginDisabled = "Login Disabled";
inline constexpr std::string_view kAttrLoginExpirationTime = "Login Expiration Time";
inline constexpr std::string_view kAttrLoginIntruderLimit = "Login Intruder Limit";
inline constexpr std::string_view kAttrIntruderAttemptResetInterval = "Intruder Attempt Reset Interval";
inline constexpr std::string_view kAttrIntruderLockoutResetInterval = "Intruder Lockout Reset Interval";
inline constexpr std::string_view kAttrLoginIntruderAttempts = "Login Intruder Attempts";
inline constexpr std::string_view kAttrLoginIntruderResetTime = "Login Intruder Reset Time";
inline constexpr std::string_view kAttrLockedByIntruder = "Locked By Intruder";
inline constexpr std::string_view kAttrMember = "Member";
inline constexpr std::string_view kAttrGroupMembership = "KEL:Group Membership";
inline constexpr std::string_view kAttrPrimaryGroup = "KEL:Primary Group";
inline constexpr std::string_view kAttrQdsUser = "KEL:QDS User";
inline constexpr std::string_view kAttrApplicationServerList = "KEL:Application Server List";
inline constexpr std::string_view kEntryRights = "[Entry Rights]";
inline constexpr std::string_view kAllAttributesRights = "[All Attributes Rights]";
inline constexpr std::string_view kClassAlias = "Alias";
inline constexpr std::string_view kClassUser = "User";
inline constexpr std::string_view kClassRoot = "Tree Root";

} // namespace dirclient
