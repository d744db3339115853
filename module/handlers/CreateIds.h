// Resource ids of the creation dialogs: templates, control ids, help contexts and messages.
#pragma once

constexpr unsigned kIddCreateDomain = 129;
constexpr unsigned kIddCreateWS = 130;
constexpr unsigned kIddCreateNTUser = 131;
constexpr unsigned kIddCreateGlobalGroup = 132;
constexpr unsigned kIddCreateLocalGroup = 133;
constexpr unsigned kIddCreateHybridUser = 145;

constexpr int kIdcCreateSystemName = 1001; // domain and workgroup system
constexpr int kIdcCreateGlobalGroupName = 1004;
constexpr int kIdcCreateAccountName = 100; // NT user, local group, hybrid user
constexpr int kIdcCreateUserFullName = 101;
constexpr int kIdcCreateUseTemplate = 110;
constexpr int kIdcCreateTemplate = 1209;
constexpr int kIdcCreateBrowseTemplate = 1210;
constexpr int kIdcCreateDirectoryUser = 1025;
constexpr int kIdcCreateBrowseUser = 1026;

constexpr int kMaxSystemNameChars = 64;
constexpr int kMaxFullNameChars = 64;
constexpr int kMaxLocalGroupNameChars = 64;
constexpr int kMaxHybridNameChars = 64;

constexpr unsigned kHelpCreateGlobalGroup = 2;
constexpr unsigned kHelpCreateLocalGroup = 3;
constexpr unsigned kHelpCreateNTUser = 4;

// Question (Yes/No): the NT system holds no objects yet; upload it first?
constexpr unsigned kQstUploadEmptySystem = 16;
// The hybrid user's directory user could not list the new account.
constexpr unsigned kMsgHybridNotListed = 57365;
// The new NT user's primary group could not be set to the default group.
constexpr unsigned kMsgPrimaryGroupNotSet = 57375;
// Format: the typed name, the container (%s, %s): the name is not one leaf of that container.
constexpr unsigned kFmtCreateBadName = 57580;
// The help of a creation dialog that has no help section.
constexpr unsigned kMsgNoHelpSection = 57510;
