// The NT accounts of a directory user made from a template: one hybrid user in every NT domain or NT
// workgroup system the template lists, with the template's NT settings and groups.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The work of CUserExt::OnApplyTemplate (host message 279): user is the full name of the directory user the
// host has just made, templateName the template's full name. Every failure is shown and the work goes on
// with the next step or NT system; nothing that was made is removed. Answers 0.
long CreateAccountsFromTemplate(const char* user, const char* templateName);

// The group name of a "KEL:Template Groups" value ("g.Admins" or "l.Printers": a type prefix, then the name).
// Empty when the value has no such prefix or no name.
const char* TemplateGroupName(const char* value);

// One NT setting an account takes over from a template: the attribute, its syntax, and whether every value
// is copied (a list) or the first.
struct CopiedSetting {
    const char* attr;
    uint32_t syntax;
    bool list;
};

// Writes to account each of settings that the template holds, in order; a setting the template does not
// hold is left alone. Each failed write is shown (57363, naming the setting, the template and the account)
// and the others are still tried.
void CopyTemplateSettings(int32_t ctx, const char* templateName, const char* account,
                          std::span<const CopiedSetting> settings);

// Joins account to each group of the template's "KEL:Template Groups" (the name after the "g."/"l." prefix,
// in the NT system server); the one named by "KEL:Template Primary Group" (ASCII letter case ignored)
// becomes its primary group. Every failure is shown (57350) and the next group is tried.
void JoinTemplateGroups(int32_t ctx, const char* templateName, const char* account, const char* server);

// The steps every new hybrid account of a directory user takes, whoever makes it (a template, the user's NT
// accounts page).
//
// Creates account as a "KEL:Hybrid User" whose "KEL:QDS User" names user, in one add request, so that the
// account never exists without naming its user; the request also carries its "CN" (the account's leaf) and,
// when globalAccount holds a value, "KEL:Global Account". Answers the client's code (0 when made); nothing
// is shown.
int32_t CreateHybridAccount(int32_t ctx, const char* account, const char* user,
                            std::optional<bool> globalAccount);
// Whether accounts made from the template are global: its "KEL:Global Account", or true when it holds none,
// as its NT account defaults page shows it. Empty when the directory refused the read: nothing is decided.
std::optional<bool> TemplateGlobalAccount(int32_t ctx, const char* templateName);
// Gives user the right to read its account and to write its NT password. Each failure is shown (57361,
// naming the user, the protected attribute and the account) and the other right is still tried.
void GrantUserRights(int32_t ctx, const char* account, const char* user);
// Joins account to the default group of its NT system server and makes it the primary group, in the order
// of GroupLinks. A default group name that cannot be read is shown (57354) and no group is joined.
void JoinDefaultGroup(int32_t ctx, const char* account, const char* server);
