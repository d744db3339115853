// The NT accounts of a directory user made from a template: one hybrid user in every NT domain or NT
// workgroup system the template lists, with the template's NT settings and groups.
#pragma once

#include <cstdint>
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
