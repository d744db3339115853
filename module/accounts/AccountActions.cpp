// The tools that the page opens are not part of this library yet: the attributes sheet and the
// change-password wizard each bring their own implementation of AccountActions.h, which takes this file's
// place.
#include "module/accounts/AccountActions.h"

#include "module/accounts/ForeignAccount.h"

bool ShowHybridAttributes(CForeignAccount& /*page*/, CNTAccountEntry& /*entry*/, bool /*mayEdit*/) {
    return false;
}

void WriteHybridAttributes(CNTAccountEntry& /*entry*/) {}

void ReleaseHybridAttributes(CNTAccountEntry& entry) {
    entry.m_sheet = nullptr;
}

void RunChangePasswordWizard(CForeignAccount& /*page*/, const char* /*user*/) {}
