// The NT accounts of a directory user made from a template: one hybrid user in every NT domain or NT
// workgroup system the template lists, with the template's NT settings and groups.
#pragma once

// The work of CUserExt::OnApplyTemplate (host message 279): user is the full name of the directory user the
// host has just made, templateName the template's full name. Every failure is shown and the work goes on
// with the next step or NT system; nothing that was made is removed. Answers 0.
long CreateAccountsFromTemplate(const char* user, const char* templateName);

// The group name of a "KEL:Template Groups" value ("g.Admins" or "l.Printers": a type prefix, then the name).
// Empty when the value has no such prefix or no name.
const char* TemplateGroupName(const char* value);
