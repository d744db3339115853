#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cvadmin {

// Outcome of one directory operation: the client's code and, on failure, a sentence for a person.
struct [[nodiscard]] DirOutcome {
    int32_t code = 0;
    std::string error;

    bool Ok() const { return code == 0 && error.empty(); }
};

struct ListedObject {
    std::string name;
    std::string baseClass;
};

struct DumpedValue {
    std::string attribute;
    uint32_t syntax = 0;
    std::string text;
};

// The host's own directory operations (the `ls`, `dump` and `dir` commands and the sample builder). They
// act as the signed-in identity, on the object named, never following an alias; every write is one
// request, so it happens whole or not at all.
class DirectoryOps {
public:
    // Signs in; on success the name is kept for error texts (see FailureText).
    static DirOutcome Login(const std::string& name, const std::string& password);
    // The sentence for a failed operation: `what` was tried, then the client's text and code. When the
    // signed-in user is gone, it names that user as given to the last successful Login, since the
    // client's text cannot know who it was.
    static std::string FailureText(int32_t code, const std::string& what);
    static DirOutcome List(const std::string& container, std::vector<ListedObject>& out);
    // Every value of the named attributes (of all attributes when `attributes` is empty), in the store's
    // order.
    static DirOutcome Dump(const std::string& object, const std::vector<std::string>& attributes,
                           std::vector<DumpedValue>& out);
    static DirOutcome Add(const std::string& object, const std::string& className);
    // Makes `newName` an object of `className` with every value of `object` but its "Object Class" and
    // "ACL", in one add request: the copy is made whole or not at all. A copy whose values one request
    // cannot carry is refused before anything is made.
    //
    // A link kept on two objects is never carried by one side: an NT account's copy takes neither its groups
    // ("KEL:Group Membership", "KEL:Primary Group") nor its directory user ("KEL:QDS User"), and a directory
    // user's copy not its NT accounts ("KEL:Application Server List"), an NT group's copy not its members
    // ("Member"). JoinGroupsOfOriginal and JoinMembersOfOriginal give the copy its links on both sides
    // afterwards.
    static DirOutcome Copy(const std::string& object, const std::string& newName,
                           const std::string& className);
    // Joins the copy of an NT account to each group of the original in the copy's NT system, as every
    // writer of the link does: the group's "Member", then the copy's "KEL:Group Membership", then, for the
    // original's primary group and only once both sides hold it, "KEL:Primary Group". A group that refuses
    // the member is not named by the copy. Each group not joined goes to `notJoined` with the reason.
    static void JoinGroupsOfOriginal(const std::string& original, const std::string& copy,
                                     std::vector<std::string>& notJoined);
    // The group's side: a copied NT group takes the original's accounts in the copy's NT system as members
    // on both sides, in the same order (the group's "Member" first). Members that are no NT accounts (aliases,
    // groups) are kept on the group's side, as the original keeps them.
    static void JoinMembersOfOriginal(const std::string& original, const std::string& copy,
                                      std::vector<std::string>& notJoined);
    static DirOutcome MakeAlias(const std::string& object, const std::string& target);
    // Replaces every value of the attribute by the values given in their text forms (none: removes the
    // attribute).
    static DirOutcome Set(const std::string& object, const std::string& attribute,
                          const std::vector<std::string>& values);
    static DirOutcome AddValue(const std::string& object, const std::string& attribute,
                               const std::string& value);
    static DirOutcome Remove(const std::string& object);
    // The object's base class as the directory reports it.
    static DirOutcome BaseClass(const std::string& object, std::string& out);
    static DirOutcome Rename(const std::string& object, const std::string& newLeaf);
    // The directory's own move: attributes, rights and the names that refer to the object go along.
    static DirOutcome Move(const std::string& object, const std::string& newContainer);
    static DirOutcome Grant(const std::string& object, const std::string& subject,
                            const std::string& protectedAttr, uint32_t rights);
    static DirOutcome SetPassword(const std::string& user, const std::string& password);
    // The store's whole-file check with the repair of one-sided links; each finding goes to `lines` as the
    // directory words it. Without the Supervisor right over "[Root]" it is refused and finds nothing.
    static DirOutcome Check(std::vector<std::string>& lines);
    static DirOutcome SetOctets(const std::string& object, const std::string& attribute,
                                const std::vector<uint8_t>& bytes);
};

} // namespace cvadmin
