// What the NT accounts page hands to the two tools it opens: the attributes sheet of one hybrid account and
// the change-password wizard of all the user's accounts. The page reaches them only through these calls, so
// that each tool plugs in by its own implementation of this header.
#pragma once

class CForeignAccount;
class CNTAccountEntry;

// Runs the attributes sheet of entry's account modally under page, creating it on first use and keeping it
// in the entry (mayEdit: the page's may-edit flag). Answers true when the sheet ended with OK and changed
// something that WriteHybridAttributes must write.
bool ShowHybridAttributes(CForeignAccount& page, CNTAccountEntry& entry, bool mayEdit);
// Writes what entry's attributes sheet changed to its account; called by the page's apply for every entry
// that holds a sheet.
void WriteHybridAttributes(CNTAccountEntry& entry);
// Deletes entry's sheet, if it has one; the entry is going.
void ReleaseHybridAttributes(CNTAccountEntry& entry);

// Runs the change-password wizard modally under page for user (a full name) and the accounts the page lists;
// the accounts it gave the new password drop a password still pending in their sheets.
void RunChangePasswordWizard(CForeignAccount& page, const char* user);
