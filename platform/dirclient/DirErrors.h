// Result codes of the directory client. Every Dir* call answers 0 on success or one of these; the codes are
// what callers see and show (no translation layer sits between the store and its callers).
#pragma once

#include <cstdint>

inline constexpr int32_t kDirOk = 0;
// Fixed by the module's expectations.
inline constexpr int32_t kDirErrPasswordRepeated = -215; // the new password repeats the current one
inline constexpr int32_t kDirErrPasswordTooShort = -216; // shorter than "Password Minimum Length", or empty
inline constexpr int32_t kDirErrBufferFull = -304;       // the next item does not fit into the request buffer
inline constexpr int32_t kDirErrNoContext = -328; // no context could be made (or the handle is unknown)
// Our own.
inline constexpr int32_t kDirErrNoSuchObject = -701;
inline constexpr int32_t kDirErrNoSuchAttribute = -702; // unknown to the schema, or no value to read
inline constexpr int32_t kDirErrNoSuchValue = -703;     // removing a value the attribute does not hold
inline constexpr int32_t kDirErrWrongSyntax = -704;     // value syntax differs from the attribute's syntax
inline constexpr int32_t kDirErrSingleValued = -705;    // a second value for a single-valued attribute
inline constexpr int32_t kDirErrNoRight = -706;         // the signed-in identity lacks the right for a write
inline constexpr int32_t kDirErrBadName = -707;         // malformed full name or leaf
inline constexpr int32_t kDirErrNameTooLong = -708;     // a full name of more than 511 bytes
inline constexpr int32_t kDirErrObjectExists = -709;
inline constexpr int32_t kDirErrNotAStore = -710; // the file is not a directory store (left untouched)
inline constexpr int32_t kDirErrStoreDamaged = -711;
inline constexpr int32_t kDirErrBadPassword = -712;
inline constexpr int32_t kDirErrNoSuchClass = -713;
inline constexpr int32_t kDirErrNotContainer = -714;
inline constexpr int32_t kDirErrBadArgument = -715; // null pointer, unknown key, operation or change code
inline constexpr int32_t kDirErrBadIteration = -716;
inline constexpr int32_t kDirErrValueExists = -717;  // adding a value the attribute already holds
inline constexpr int32_t kDirErrNotEmpty = -718;     // removing a container that still has objects
inline constexpr int32_t kDirErrStoreFailed = -719;  // the store could not read or write (disk, lock)
inline constexpr int32_t kDirErrNoStore = -720;      // no store is open
inline constexpr int32_t kDirErrMissingClass = -721; // an add request without "Object Class"
inline constexpr int32_t kDirErrWrongBuffer = -722;  // buffer initialised for another operation, or empty
inline constexpr int32_t kDirErrNoMoreItems = -723;  // reading past the last attribute, value or object
inline constexpr int32_t kDirErrDanglingReference = -724; // a Distinguished Name value naming no object
inline constexpr int32_t kDirErrNotAUser = -725;          // a password call on an object that is no user
inline constexpr int32_t kDirErrReadOnlyAttribute = -726; // "Object Class" after creation
inline constexpr int32_t kDirErrNoIdentity = -727;        // nobody is signed in
inline constexpr int32_t kDirErrValueTooLarge = -728;     // a value larger than any buffer can carry
inline constexpr int32_t kDirErrOutOfMemory = -729;
inline constexpr int32_t kDirErrLoop = -730; // moving a container below itself, or an alias chain loop
inline constexpr int32_t kDirErrLoginDisabled = -731;  // sign-in refused: "Login Disabled" is true
inline constexpr int32_t kDirErrLoginExpired = -732;   // sign-in refused: "Login Expiration Time" has passed
inline constexpr int32_t kDirErrIntruderLocked = -733; // sign-in refused: locked after failed attempts
inline constexpr int32_t kDirErrIdentityGone = -734;   // the signed-in user was deleted or renamed away
inline constexpr int32_t kDirErrContainment = -735;    // the class may not live in that container
inline constexpr int32_t kDirErrLastSupervisor = -736; // would leave nobody with Supervisor over "[Root]"
inline constexpr int32_t kDirErrReadOnlyStore = -737;  // the store file is open for reading only
inline constexpr int32_t kDirErrConflict = -738; // another client changed the directory during the request
inline constexpr int32_t kDirErrControlInName = -739; // a new leaf holding a control character (line break)

extern "C" {
// A short English text for a code; never NULL ("unknown error" for a code that is not ours).
const char* DirErrorText(int32_t code);
}
