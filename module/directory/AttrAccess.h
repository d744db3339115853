// The module's attribute operations over the directory client. Each operation builds its own request,
// frees every buffer it allocates on every path, keeps nothing between calls and answers 1 for success or
// 0 for failure. Only CanWriteACL, IsCurrentIdentity and CountSubordinates show messages; every other
// failure is silent and the caller decides what to tell the administrator.
//
// Object names are full names ("Alice.Sales.Corp"); attribute names and their syntaxes come from
// module/directory/Schema.h. Values are in the client's form for their syntax: a string (syntax 1, 3, 20)
// is a NUL-terminated char array, a Boolean a uint32_t, an ACL value a DirObjectACL (DirClient.h).
#pragma once

#include "platform/dirclient/DirClient.h"
#include "platform/ui/StringArray.h"

#include <cstdint>

// Write right in a rights word.
inline constexpr uint32_t kRightWrite = kDirRightWrite;

// A new context that follows aliases, with the name context "[Root]". Answers the context handle (free it
// with DirFreeContext; CDirContext makes one and frees it), or -328 when none can be made.
int32_t CreateDirContext();
// As CreateDirContext, but reads act on an alias itself rather than on the object it names (the group
// member pages list aliases as members).
int32_t CreateDirContextAlt();

// 1 when subject may write the object's "ACL". A failed rights query shows message 57348 and answers 0.
int32_t CanWriteACL(int32_t ctx, const char* subject, const char* object);
// 1 when subject may write attr of object; 0 otherwise or when the query fails (no message).
int32_t CanWriteAttribute(int32_t ctx, const char* subject, const char* object, const char* attr);
// 1 when name is the signed-in identity (ASCII letter case ignored). A failed identity query shows message
// 57349 and answers 0.
int32_t IsCurrentIdentity(int32_t ctx, const char* name);

// Reads the first value of attr. On 1, *value is a new block the caller frees with free() (or owns with
// DirValuePtr). On 0 (no value, another syntax stored, client failure) *value is null and nothing is
// allocated.
int32_t ReadAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, void** value);
// Empties values, then appends every value of attr in stored order. String syntaxes only (1, 3, 20); any
// other syntax answers 0. On a failure part way the strings already appended stay.
int32_t ReadAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                       CStringArray* values);

// One modify request that adds (AddAttrValue) or removes (RemoveAttrValue) one value.
int32_t AddAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, const void* value);
int32_t RemoveAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                        const void* value);
// Replaces every value of attr by value in one modify request. An empty Case Ignore String (syntax 3, "")
// removes the attribute altogether.
int32_t SetAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, const void* value);
// Replaces every value of attr by the strings of values, in order (string syntaxes only); an empty array
// removes all values. As many values as fit go into one 16384-byte request; more are sent in further
// requests. Before the first request every value is checked, so that a list the directory would refuse
// changes nothing: syntax must be attr's syntax in the vocabulary (kDirErrWrongSyntax; an attribute outside
// it kDirErrNoSuchAttribute), a name must name an object (kDirErrDanglingReference, kDirErrBadName,
// kDirErrNameTooLong), a value must fit an empty request (kDirErrValueTooLarge), and a single-valued
// attribute takes one value (kDirErrSingleValued). A repeat of an earlier value, as the directory compares
// them (letter case ignored; names as the objects they name), is dropped. Answers 1 only when every request
// succeeded; a request that fails all the same (the store itself) stops the write, and the values of
// earlier requests stay stored.
int32_t SetAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                      const CStringArray* values);

// One person's change of a list that others may change at the same time: the values of `before` (the list
// as the person was shown it) that `after` (the list as the person left it) lacks go to *removed, the values
// of `after` that `before` lacks to *added, each once and in the order given. Values match as the directory
// compares strings: ASCII letter case ignored.
void DiffAttrValues(const CStringArray& before, const CStringArray& after, CStringArray* removed,
                    CStringArray* added);
// Removes the strings of removed from attr of object, then adds those of added (string syntaxes only; either
// may be null), against the values stored when each request runs: every other value stays as it is, whoever
// put it there. A value already gone, or already there, counts as written. As many changes as fit go into
// one request; a request the directory refuses is sent again value by value, so that one refused value does
// not hold up the others. Answers 1 when every change holds; otherwise 0, GetLastAttrError the first
// refusal, and *refused (when given) the values whose change was refused.
int32_t ChangeAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                         const CStringArray* removed, const CStringArray* added,
                         CStringArray* refused = nullptr);

// As ChangeAttrValues, for a list whose order the person sees and means (the first values are the ones that
// count, as with workstation names): before is the list as the person was shown it, after as the person left
// it. The list stored now is read; the values the person removed go, the values the person added come, and
// the list is written in the person's order, followed by the values others added since (a value another
// writer removed stays removed). The request that writes the list also takes away, one by one, every value
// the read found, so a list changed between the read and the write refuses it, and it is worked out again.
// A list too long for one request takes the person's change unordered (ChangeAttrValues). Answers 1 when the
// list was written, 0 otherwise with GetLastAttrError.
int32_t ChangeOrderedAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                                const CStringArray* before, const CStringArray* after);

// Compares value with the values of attr of object. *matched is cleared first and set to 1 when the object
// holds the value. The caller's syntax must be the attribute's syntax in the directory's schema.
int32_t CompareAttrValue(int32_t ctx, const char* attr, uint32_t syntax, const char* object,
                         const void* value, uint8_t* matched);

// Counts the objects directly below container, using a context of its own. Failures are shown (format 12,
// message 13, format 14, format 15) and answer 0.
int32_t CountSubordinates(const char* container, uint32_t* count);

// The client's code of the last failure of an operation above (kDirOk after a success); a diagnostic for
// callers and tests, the operations' answers stay 1/0.
int32_t GetLastAttrError();
