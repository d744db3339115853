// The directory client: the Dir* calls the module makes, plus a few session and host calls of our own.
//
// One process-wide session (the library is shared) holds the open store and the signed-in identity; host,
// module and tests all see the same one. Calls are serialised internally; every call answers 0 on success or
// a negative code of DirErrors.h.
//
// What is enforced (the store enforces the rights it reports): every call that reads or writes is one store
// transaction, begun before its first read, so that several processes may share one store file. Listing a
// container (DirList) and reading an object's information take the Browse entry right on it; reading values
// takes the Read right on each attribute (a read of every attribute gives those that may be read, and
// answers kDirErrNoRight when none may); comparing takes Compare; adding takes Create on the container,
// removing Delete, renaming Rename, moving Rename and Create on the new container; writing a value takes
// Write on its attribute (or Add-Self for one's own name). Nobody signed in acts as "[Public]", which a new
// store grants Browse over "[Root]" and nothing else. NT accounts and groups live only directly in an NT
// domain or workgroup system, and NT systems never below another (kDirErrContainment). The last user with
// the Supervisor entry right over "[Root]" keeps it (kDirErrLastSupervisor). Object ids are never reused; a
// session whose user was deleted, or renamed away and replaced under the name it signed in with, answers
// kDirErrIdentityGone to every call until it signs in again.
//
// Names are full names, leaf first ("Sales.Corp"); "[Root]" names the root and an object directly under it
// is named by its leaf alone. A "." preceded by a backslash belongs to the leaf (unless that backslash is the
// trail byte of a double-byte character); the backslash stays part of the stored leaf. Names match without
// regard to ASCII letter case and are given back as stored. A full name holds at most 511 bytes, so every
// name output buffer must hold 512.
#pragma once

#include <cstdint>

#include "platform/dirclient/DirErrors.h"

// Syntax numbers.
inline constexpr uint32_t kDirSyntaxDistinguishedName = 1; // value: char* (NUL-terminated)
inline constexpr uint32_t kDirSyntaxCaseIgnoreString = 3;  // value: char*
inline constexpr uint32_t kDirSyntaxBoolean = 7;           // value: uint32_t 0 or 1
inline constexpr uint32_t kDirSyntaxInteger = 8;           // value: int32_t
inline constexpr uint32_t kDirSyntaxOctetString = 9;       // value: DirOctetString
inline constexpr uint32_t kDirSyntaxNetAddress = 12;       // value: DirNetAddress
inline constexpr uint32_t kDirSyntaxObjectACL = 17;        // value: DirObjectACL
inline constexpr uint32_t kDirSyntaxClassName = 20;        // value: char*
inline constexpr uint32_t kDirSyntaxTime = 24;             // value: uint32_t seconds since 1970
inline constexpr uint32_t kDirSyntaxInterval = 27;         // value: uint32_t seconds

// Buffer operations for DirInitBuffer.
inline constexpr int32_t kDirOpRead = 3;
inline constexpr int32_t kDirOpCompare = 4;
inline constexpr int32_t kDirOpAdd = 7;
inline constexpr int32_t kDirOpModify = 9;
// List replies (DirList) and DirCloseIteration's operation for them.
inline constexpr int32_t kDirOpList = 3;

// Changes for DirPutChange.
inline constexpr int32_t kDirChangeAddValue = 2;
inline constexpr int32_t kDirChangeRemoveValue = 3;
inline constexpr int32_t kDirChangeRemoveAllValues = 6;

// Context keys and flags.
inline constexpr uint32_t kDirKeyFlags = 1;              // uint32_t
inline constexpr uint32_t kDirKeyWord = 2;               // uint32_t, kept for the caller
inline constexpr uint32_t kDirKeyNameContext = 3;        // char* (get: a buffer of 512 bytes)
inline constexpr uint32_t kDirFlagDerefAliases = 0x1;    // reads follow an alias to its object
inline constexpr uint32_t kDirFlagAliasBaseClass = 0x40; // object info of an alias: the aliased class
inline constexpr uint32_t kDirContextDefaultFlags = 0x0;

// Attribute rights ("ACL" privileges on an attribute or "[All Attributes Rights]").
inline constexpr uint32_t kDirRightCompare = 0x1;
inline constexpr uint32_t kDirRightRead = 0x2;
inline constexpr uint32_t kDirRightWrite = 0x4;
inline constexpr uint32_t kDirRightAddSelf = 0x8;
inline constexpr uint32_t kDirRightAttrSupervisor = 0x20;
// Entry rights ("ACL" privileges on "[Entry Rights]").
inline constexpr uint32_t kDirEntryBrowse = 0x1;
inline constexpr uint32_t kDirEntryCreate = 0x2;
inline constexpr uint32_t kDirEntryDelete = 0x4;
inline constexpr uint32_t kDirEntryRename = 0x8;
inline constexpr uint32_t kDirEntrySupervisor = 0x10;

// Object flags in DirObjectInfo.
inline constexpr uint32_t kDirObjectAlias = 0x1;
inline constexpr uint32_t kDirObjectContainer = 0x4;

inline constexpr uint32_t kDirMaxNameBytes = 511; // a name buffer holds kDirMaxNameBytes + 1
inline constexpr uint32_t kDirClassNameBytes = 132;

// Capacities the module uses; any size from 64 to 1 MiB is accepted.
inline constexpr uint32_t kDirBufferSmall = 4096;
inline constexpr uint32_t kDirBufferReply = 4196;
inline constexpr uint32_t kDirBufferLarge = 16384;

extern "C" {

// Client forms of values. A value read by DirGetAttrValue is one self-contained block: every pointer points
// inside the block, so one free() (or the caller's own buffer) releases it.
struct DirOctetString {
    uint32_t length;
    uint8_t* data;
};
struct DirNetAddress {
    uint32_t type;
    uint32_t length;
    uint8_t* address;
};
struct DirObjectACL {
    char* protectedAttrName; // an attribute name, "[All Attributes Rights]" or "[Entry Rights]"
    char* subjectName;       // an object's full name or "[Public]"
    uint32_t privileges;
};
struct DirObjectInfo {
    uint32_t objectFlags;      // kDirObjectAlias, kDirObjectContainer
    uint32_t subordinateCount; // objects directly below
    uint32_t modificationTime; // seconds since 1970 of the last write to the object
    char baseClass[132];       // NUL-terminated
};

// Opaque request or reply buffer of a fixed byte capacity. A request item costs its encoded size plus a
// header of 8 bytes (attribute names and changes: the name's bytes + 1 + 8; strings and names: bytes + 1 + 8;
// Boolean, Integer, Time, Interval: 4 + 8; octet strings: length + 4 + 8; net addresses: length + 8 + 8;
// ACL values: both names' bytes + 2 + 4 + 8). An item that does not fit answers -304 and is not added.
struct DirBuffer;

// ---- Session and host calls (ours) ----

// Opens the SQLite store at path. create=1 makes a new store when the file does not exist (holding "[Root]"
// and the user "Admin" with Supervisor on "[Root]" through an "ACL" value, no password, and "[Public]" with
// Browse): it is made aside, owner-only, and moved into place whole; when another process made it first,
// that one is opened. An existing file is opened, never overwritten, in constant time (no whole-file
// check: see DirCheckStore); one the caller may not write opens for reading, and every write then answers
// kDirErrReadOnlyStore. A file that is not a store answers kDirErrNotAStore, one whose first pages are
// damaged kDirErrStoreDamaged (damage elsewhere is answered by the request that meets it), a missing one
// with create=0 kDirErrNoSuchObject; in each case the file is left as it was. Closes any store open before.
// Nobody is signed in afterwards.
int32_t DirOpenStore(const char* path, int32_t create);
// What the last DirOpenStore found wrong, in words an operator can act on ("" when it said nothing more).
const char* DirStoreProblem(void);
// Opens a fresh in-memory store with the same initial content as a new file store.
int32_t DirOpenMemoryStore(void);
// Closes the store (frees every context and iteration). Answers 0 also when none is open.
int32_t DirCloseStore(void);
// Signs in as the user name (a full name). password NULL or "" for a user without one. A wrong password
// answers kDirErrBadPassword (after as long as a right one takes, whether or not the user exists) and leaves
// the identity as it was. A user whose "Login Disabled" is true answers kDirErrLoginDisabled, one whose
// "Login Expiration Time" has passed kDirErrLoginExpired, one locked by intruder detection
// kDirErrIntruderLocked. Intruder detection follows the policy of the user's container ("Login Intruder
// Limit" failures within "Intruder Attempt Reset Interval" lock for "Intruder Lockout Reset Interval") and
// keeps its count on the user ("Login Intruder Attempts", "Login Intruder Reset Time", "Locked By
// Intruder"), also when the sign-in is refused.
int32_t DirLogin(const char* name, const char* password);
// Moves object below newContainer in one request: attributes, "ACL" values and every Distinguished Name
// value naming it (they follow it) stay. Needs the Rename entry right on the object and Create on the
// new container.
int32_t DirMoveObject(int32_t ctx, const char* object, const char* newContainer);
// The whole-store check that an operator runs on purpose (opening a store never runs it): the storage's own
// check of every page, every object reachable from "[Root]", and links kept on both sides. With repair=1
// a one-sided group membership gets its other side and a primary group that is not among the account's
// groups is removed. Either way it takes the Supervisor entry right over "[Root]" (else kDirErrNoRight, and
// nothing is reported), since its findings name objects and values anywhere in the tree. line is called
// once per finding, in the forms "damaged | TEXT", "found | OBJECT | ATTR | WHAT",
// "repaired | OBJECT | ATTR | WHAT", and last "ok" or "N found". Answers kDirErrStoreDamaged when the store
// is damaged beyond repair.
typedef void (*DirCheckLine)(const char* text, void* user);
int32_t DirCheckStore(int32_t repair, DirCheckLine line, void* user);
// Copies the store's tree name (NUL-terminated) into out; kDirErrBufferFull when size is too small.
int32_t DirGetTreeName(char* out, uint32_t size);
// Sets the tree name kept in the store (at most 32 bytes).
int32_t DirSetTreeName(const char* name);
// Argon2id cost for passwords set from now on (tests choose libsodium's minimum: 1 and 8192). Hashes keep
// their own cost, so verification works whatever the setting.
int32_t DirSetPasswordHashCost(uint64_t opsLimit, uint64_t memLimit);

// ---- The module's calls ----

// A new context (flags 0, name context "[Root]"): a handle > 0, or -328 when no store is open or no more
// contexts can be made. Free it with DirFreeContext.
int32_t DirCreateContext(void);
// Frees the context and its open iterations.
int32_t DirFreeContext(int32_t ctx);
// key 1 and 2: value points to a uint32_t; key 3: value points to a char buffer of 512 bytes.
int32_t DirGetContextKey(int32_t ctx, uint32_t key, void* value);
// key 1 and 2: value points to a uint32_t; key 3: value is a char* name of an existing object (copied). The
// name context is kept and given back; names given to the calls are full names from "[Root]" whatever it is.
int32_t DirSetContextKey(int32_t ctx, uint32_t key, const void* value);

// Allocates a buffer of size bytes into *buf; free it with DirFreeBuffer.
int32_t DirAllocBuffer(uint32_t size, DirBuffer** buf);
// Empties buf and prepares it for a request of operation 3, 4, 7 or 9 (or as a reply buffer).
int32_t DirInitBuffer(int32_t ctx, int32_t operation, DirBuffer* buf);
int32_t DirFreeBuffer(DirBuffer* buf);
// Read request (op 3): one attribute name to read. Compare request (op 4): the attribute to compare.
// Add request (op 7): the attribute whose values follow.
int32_t DirPutAttrName(int32_t ctx, DirBuffer* buf, const char* attr);
// Modify request (op 9): a change on attr; values of changes 2 and 3 follow with DirPutAttrValue.
int32_t DirPutChange(int32_t ctx, DirBuffer* buf, int32_t change, const char* attr);
// A value in client form (see syntax numbers). The value is copied.
int32_t DirPutAttrValue(int32_t ctx, DirBuffer* buf, uint32_t syntax, const void* value);

// Reads attributes of object into reply. infoType 1 (names and values). allAttrs 1 reads every attribute
// (names may be NULL); 0 reads the attributes named in names (a read request). *iteration starts at -1; when
// more remains than fits the reply, it holds a handle to pass again; -1 when complete. An attribute whose
// values do not all fit goes on in the next reply under its name again. No named attribute with a value:
// kDirErrNoSuchAttribute.
int32_t DirRead(int32_t ctx, const char* object, uint32_t infoType, uint32_t allAttrs, DirBuffer* names,
                int32_t* iteration, DirBuffer* reply);
// Number of attributes in the reply; resets the reply's read position.
int32_t DirGetAttrCount(int32_t ctx, DirBuffer* reply, uint32_t* count);
// Next attribute of the reply: name (132 bytes), its value count in this reply and its syntax.
int32_t DirGetAttrName(int32_t ctx, DirBuffer* reply, char* name, uint32_t* valueCount, uint32_t* syntax);
// Bytes that the next value of the current attribute needs in client form.
int32_t DirComputeValueSize(int32_t ctx, DirBuffer* reply, uint32_t syntax, uint32_t* size);
// Copies the next value into value (DirComputeValueSize bytes) and moves on; syntax must match.
int32_t DirGetAttrValue(int32_t ctx, DirBuffer* reply, uint32_t syntax, void* value);

// Applies every change of the modify request (op 9) at once, or none. Needs Write on each attribute changed
// (or Add-Self for adding or removing one's own name). A context with flag 0x1 writes through an alias to
// the aliased object, as it reads; so do the password calls.
int32_t DirModifyObject(int32_t ctx, const char* object, int32_t reserved1, int32_t reserved2,
                        DirBuffer* buf);
// Creates object from an add request (op 7) whose values include "Object Class". Needs Create on the
// container.
int32_t DirAddObject(int32_t ctx, const char* object, int32_t reserved1, int32_t reserved2, DirBuffer* buf);
// Compare request (op 4, one attribute and one value): *matched 1 when the object holds the value, else 0.
int32_t DirCompare(int32_t ctx, const char* object, DirBuffer* buf, uint8_t* matched);
int32_t DirGetSyntaxId(int32_t ctx, const char* attr, uint32_t* syntax);

// Lists the objects directly below container into reply, with iteration as in DirRead.
int32_t DirList(int32_t ctx, const char* container, int32_t* iteration, DirBuffer* reply);
int32_t DirGetObjectCount(int32_t ctx, DirBuffer* reply, uint32_t* count);
// Next object of the list reply: its full name (512 bytes), its attribute count and its information.
int32_t DirGetObjectName(int32_t ctx, DirBuffer* reply, char* name512, uint32_t* attrCount,
                         DirObjectInfo* info);
// Ends an iteration early; -1 is accepted and does nothing.
int32_t DirCloseIteration(int32_t ctx, int32_t iteration, int32_t operation);

// Renames the object's leaf (newLeaf: one leaf, no unescaped "."). removeOld 1 replaces a "CN" value equal to
// the old leaf by the new one. Needs the Rename entry right.
int32_t DirRenameObject(int32_t ctx, const char* object, const char* newLeaf, int32_t removeOld);
// The object's full name as stored (the aliased object's with flag 0x1) and its information.
int32_t DirReadObjectInfo(int32_t ctx, const char* object, char* name512, DirObjectInfo* info);
// Removes an object without subordinates; values naming it disappear. Needs the Delete entry right.
int32_t DirRemoveObject(int32_t ctx, const char* object);
// Rights of subject ("[Public]" or an object) to attr of object; attr "[Entry Rights]" gives entry rights.
int32_t DirGetEffectiveRights(int32_t ctx, const char* subject, const char* object, const char* attr,
                              uint32_t* rights);
// The signed-in identity's full name; kDirErrNoIdentity when nobody is signed in.
int32_t DirWhoAmI(int32_t ctx, char* name512);
// Changes object's password given the old one (the user itself, or an identity with Supervisor on it).
int32_t DirPasswordCallA(int32_t ctx, int32_t reserved, const char* object, const char* oldPassword,
                         const char* newPassword);
// Sets object's password without the old one (needs the Supervisor entry right on the object).
int32_t DirPasswordCallB(int32_t ctx, const char* object, const char* newPassword, int32_t reserved);

} // extern "C"
