#include "platform/dirclient/DirErrors.h"

extern "C" const char* DirErrorText(int32_t code) {
    switch (code) {
    case kDirOk:
        return "success";
    case kDirErrPasswordRepeated:
        return "the new password repeats the old one";
    case kDirErrPasswordTooShort:
        return "the new password is too short";
    case kDirErrBufferFull:
        return "the buffer is full";
    case kDirErrNoContext:
        return "no directory context";
    case kDirErrNoSuchObject:
        return "no such object";
    case kDirErrNoSuchAttribute:
        return "no such attribute";
    case kDirErrNoSuchValue:
        return "no such value";
    case kDirErrWrongSyntax:
        return "the value has the wrong syntax";
    case kDirErrSingleValued:
        return "the attribute holds a single value";
    case kDirErrNoRight:
        return "no right to do this";
    case kDirErrBadName:
        return "malformed name";
    case kDirErrNameTooLong:
        return "name too long";
    case kDirErrObjectExists:
        return "the object exists already";
    case kDirErrNotAStore:
        return "the file is not a directory store";
    case kDirErrStoreDamaged:
        return "the directory store is damaged";
    case kDirErrBadPassword:
        return "wrong password";
    case kDirErrNoSuchClass:
        return "no such class";
    case kDirErrNotContainer:
        return "the object is not a container";
    case kDirErrBadArgument:
        return "bad argument";
    case kDirErrBadIteration:
        return "no such iteration";
    case kDirErrValueExists:
        return "the attribute holds that value already";
    case kDirErrNotEmpty:
        return "the container is not empty";
    case kDirErrStoreFailed:
        return "the store failed to read or write";
    case kDirErrNoStore:
        return "no directory store is open";
    case kDirErrMissingClass:
        return "no object class given";
    case kDirErrWrongBuffer:
        return "the buffer does not hold this kind of request";
    case kDirErrNoMoreItems:
        return "no more items in the reply";
    case kDirErrDanglingReference:
        return "the value names no object";
    case kDirErrNotAUser:
        return "the object is not a user";
    case kDirErrReadOnlyAttribute:
        return "the attribute cannot be changed";
    case kDirErrNoIdentity:
        return "nobody is signed in";
    case kDirErrValueTooLarge:
        return "the value is too large";
    case kDirErrOutOfMemory:
        return "out of memory";
    case kDirErrLoop:
        return "the object would be below itself";
    case kDirErrLoginDisabled:
        return "the user's login is disabled";
    case kDirErrLoginExpired:
        return "the user's login has expired";
    case kDirErrIntruderLocked:
        return "the user is locked out after too many failed sign-ins";
    case kDirErrIdentityGone:
        return "the user signed in is gone; sign in again";
    case kDirErrContainment:
        return "an object of this class cannot be placed in that container";
    case kDirErrLastSupervisor:
        return "nobody else would hold Supervisor over [Root]";
    case kDirErrReadOnlyStore:
        return "the directory store is open for reading only";
    case kDirErrConflict:
        return "another client changed the directory at the same moment; try again";
    case kDirErrControlInName:
        return "a name may not hold a line break, tab or other control character";
    default:
        return "unknown error";
    }
}
