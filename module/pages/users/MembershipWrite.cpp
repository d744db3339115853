#include "module/pages/users/MembershipWrite.h"

#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/pages/users/NTUserPage_Groups.h"
#include "platform/ui/MessageBox.h"

#include <strings.h>

namespace {

bool Holds(const CStringArray& names, const char* name) {
    for (INT_PTR i = 0; i < names.GetSize(); ++i) {
        if (name != nullptr && strcasecmp(names[i], name) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

MembershipWrite WriteMembershipChange(int32_t ctx, const char* account, const CStringArray& read,
                                      const CStringArray& listed, const char* chosenPrimary) {
    MembershipWrite result;
    CStringArray leaving;
    CStringArray joining;
    DiffAttrValues(read, listed, &leaving, &joining);

    CStringArray joined;
    for (INT_PTR i = 0; i < joining.GetSize(); ++i) {
        const CString& group = joining[i];
        if (AddAttrValue(ctx, group, kAttrMember, kSyntaxDistinguishedName, account) == 1 ||
            GetLastAttrError() == kDirErrValueExists) {
            joined.Add(group);
        } else {
            FormatMessageBox(kFmtGroupRefusedMember, MB_OK, {static_cast<const char*>(group), account});
        }
    }
    CStringArray notNamed;
    static_cast<void>(ChangeAttrValues(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, nullptr,
                                       &joined, &notNamed));
    if (chosenPrimary != nullptr) {
        const bool linked = Holds(joining, chosenPrimary)
                                ? Holds(joined, chosenPrimary) && !Holds(notNamed, chosenPrimary)
                                : Holds(listed, chosenPrimary);
        if (linked) {
            static_cast<void>(SetAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, chosenPrimary));
        }
    }
    // The primary group, as stored now, is never left: another administrator may have chosen a group the
    // person removed since the list was loaded. It stays, as the Remove button would have kept it.
    CString primaryNow;
    const bool primaryRead =
        ReadStringAttr(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName, &primaryNow) == 1 ||
        GetLastAttrError() == kDirErrNoSuchAttribute;
    CStringArray leaves;
    for (INT_PTR i = 0; i < leaving.GetSize(); ++i) {
        const CString& group = leaving[i];
        if (primaryRead && strcasecmp(primaryNow, group) == 0) {
            AfxMessageBox(kMsgPrimaryGroupNotRemoved);
            result.keptPrimary.Add(group);
            continue;
        }
        // A primary group that could not be read is taken off first when it names the group that goes, as a
        // leave does: then the account's side, then the group's.
        if (!primaryRead) {
            static_cast<void>(RemoveAttrValue(ctx, account, kAttrPrimaryGroup, kSyntaxDistinguishedName,
                                              static_cast<const char*>(group)));
        }
        leaves.Add(group);
    }
    CStringArray stillNamed;
    static_cast<void>(ChangeAttrValues(ctx, account, kAttrGroupMembership, kSyntaxDistinguishedName, &leaves,
                                       nullptr, &stillNamed));
    for (INT_PTR i = 0; i < leaves.GetSize(); ++i) {
        if (!Holds(stillNamed, leaves[i])) {
            static_cast<void>(RemoveAttrValue(ctx, leaves[i], kAttrMember, kSyntaxDistinguishedName, account));
        }
    }
    for (INT_PTR i = 0; i < read.GetSize(); ++i) {
        if (!Holds(leaves, read[i]) || Holds(stillNamed, read[i])) {
            result.now.Add(read[i]);
        }
    }
    for (INT_PTR i = 0; i < joined.GetSize(); ++i) {
        if (!Holds(notNamed, joined[i])) {
            result.now.Add(joined[i]);
        }
    }
    return result;
}
