// Resource ids of a template's NT-account pages: the NT systems accounts made from it go to, and the
// defaults those accounts get.
#pragma once

// ---- The servers page (laid out as the user's NT accounts page, which shares its template and title) ----
constexpr unsigned kIddTemplateServers = 110;
constexpr unsigned kIdsTemplateServersTitle = 57380;
constexpr unsigned kHelpTemplateServers = 10;
constexpr int kIdcServersAdd = 120;
constexpr int kIdcServersRemove = 121;
constexpr int kIdcServersList = 122;
constexpr int kIdcServersUnused1 = 123;
constexpr int kIdcServersUnused2 = 124;
constexpr int kIdcServersUnused3 = 1211;
// Format: an NT system that holds nothing yet (%s).
constexpr unsigned kFmtTemplateServerEmpty = 23;
// Format: an NT system that already holds an object named after the template (%s, the template).
constexpr unsigned kFmtTemplateNameTaken = 24;

// ---- The NT account defaults page -----------------------------------------------------------------------
constexpr unsigned kIddTemplateAccount = 1089;
constexpr unsigned kIdsTemplateAccountTitle = 57381;
constexpr unsigned kHelpTemplateAccount = 16;
constexpr int kIdcTplScript = 1097;
constexpr int kIdcTplLocalPath = 1098;
constexpr int kIdcTplLocal = 1099;
constexpr int kIdcTplNetworkPath = 1102;
constexpr int kIdcTplDrive = 1105;
constexpr int kIdcTplProfilePath = 1110;
constexpr int kIdcTplConnect = 1111;
constexpr int kIdcTplMustChange = 1009;
constexpr int kIdcTplGlobalAccount = 1010;
constexpr int kIdcTplNeverExpires = 1068;
constexpr int kIdcTplGroups = 1205;
constexpr int kIdcTplAddGroup = 1206;
constexpr int kIdcTplRemoveGroup = 1207;
constexpr int kIdcTplSetPrimary = 1222;
constexpr int kIdcTplPrimaryGroup = 1223;
constexpr int kTplWorkstationIds[] = {1202, 1203, 1204, 1008, 1011, 1012, 1013, 1014};
// An NT workstation name has at most this many characters.
constexpr int kTplWorkstationLength = 15;
// The must-change box was cleared at the write, since the password never expires.
constexpr unsigned kMsgTemplateMustChangeCleared = 26;
// The primary group stays among several groups selected for removal.
constexpr unsigned kMsgTemplatePrimaryKept = 38;
