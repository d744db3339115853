#include "host/DirectoryOps.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <strings.h>

#include "host/ValueText.h"
#include "platform/dirclient/DirClient.h"
#include "platform/dirclient/DirNames.h"

namespace cvadmin {

namespace {

// Room for the largest request the host sends (a `dir set` with many values) and for replies.
constexpr uint32_t kHostBufferBytes = 65536;
// The smallest and largest request buffers the directory client makes.
constexpr uint32_t kMinRequestBytes = 64;
constexpr uint32_t kMaxRequestBytes = 1u << 20;

std::string g_signedInName;

DirOutcome Failed(int32_t code, const std::string& what) {
    return DirOutcome{code, DirectoryOps::FailureText(code, what)};
}

class Context {
public:
    Context() : m_handle(DirCreateContext()) {}
    ~Context() {
        if (m_handle > 0)
            (void)DirFreeContext(m_handle);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    int32_t Handle() const { return m_handle; }
    bool Ok() const { return m_handle > 0; }

private:
    int32_t m_handle;
};

struct BufferDeleter {
    void operator()(DirBuffer* buffer) const { (void)DirFreeBuffer(buffer); }
};
using Buffer = std::unique_ptr<DirBuffer, BufferDeleter>;

int32_t MakeBuffer(int32_t ctx, int32_t operation, Buffer& out) {
    DirBuffer* raw = nullptr;
    if (int32_t code = DirAllocBuffer(kHostBufferBytes, &raw); code != 0)
        return code;
    out.reset(raw);
    return DirInitBuffer(ctx, operation, raw);
}

// Reads the next value of the reply's current attribute into a new block.
int32_t NextValue(int32_t ctx, DirBuffer* reply, uint32_t syntax, ClientValue& out, uint32_t& size) {
    if (int32_t code = DirComputeValueSize(ctx, reply, syntax, &size); code != 0)
        return code;
    out.reset(std::calloc(1, size == 0 ? 1 : size));
    if (!out)
        return kDirErrOutOfMemory;
    return DirGetAttrValue(ctx, reply, syntax, out.get());
}

} // namespace

std::string DirectoryOps::FailureText(int32_t code, const std::string& what) {
    std::string text = DirErrorText(code);
    if (code == kDirErrIdentityGone)
        text = "the user " + (g_signedInName.empty() ? std::string() : g_signedInName + " ") +
               "you signed in as is gone; sign in again with login";
    return what + ": " + text + " (" + std::to_string(code) + ")";
}

DirOutcome DirectoryOps::Login(const std::string& name, const std::string& password) {
    if (int32_t code = DirLogin(name.c_str(), password.c_str()); code != 0)
        return Failed(code, "cannot sign in as " + name);
    g_signedInName = name;
    return {};
}

DirOutcome DirectoryOps::List(const std::string& container, std::vector<ListedObject>& out) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    Buffer reply;
    if (int32_t code = MakeBuffer(ctx.Handle(), kDirOpList, reply); code != 0)
        return Failed(code, "ls " + container);
    int32_t iteration = -1;
    do {
        if (int32_t code = DirList(ctx.Handle(), container.c_str(), &iteration, reply.get()); code != 0) {
            (void)DirCloseIteration(ctx.Handle(), iteration, kDirOpList);
            return Failed(code, "ls " + container);
        }
        uint32_t count = 0;
        if (int32_t code = DirGetObjectCount(ctx.Handle(), reply.get(), &count); code != 0)
            return Failed(code, "ls " + container);
        for (uint32_t i = 0; i < count; ++i) {
            char name[kDirMaxNameBytes + 1] = {};
            uint32_t attrCount = 0;
            DirObjectInfo info{};
            if (int32_t code = DirGetObjectName(ctx.Handle(), reply.get(), name, &attrCount, &info);
                code != 0)
                return Failed(code, "ls " + container);
            out.push_back({name, info.baseClass});
        }
    } while (iteration != -1);
    return {};
}

namespace {

// Hands every value of the named attributes (of all attributes when `attributes` is empty) to `take`, in
// client form, in the store's order. Only "the attribute has no value" for named attributes is no
// failure; any other refusal, at any step of the reply, is one, so that a refused read is never silence.
DirOutcome ReadValues(
    const std::string& what, const std::string& object, const std::vector<std::string>& attributes,
    const std::function<void(const char* attr, uint32_t syntax, ClientValue value, uint32_t size)>& take) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    Buffer names;
    if (!attributes.empty()) {
        if (int32_t code = MakeBuffer(ctx.Handle(), kDirOpRead, names); code != 0)
            return Failed(code, what);
        for (const std::string& attribute : attributes) {
            uint32_t syntax = 0;
            if (int32_t code = DirGetSyntaxId(ctx.Handle(), attribute.c_str(), &syntax); code != 0) {
                // An object that is not there is the first thing wrong, whatever the attribute names.
                std::string className;
                if (DirOutcome found = DirectoryOps::BaseClass(object, className); !found.Ok())
                    return Failed(found.code, what);
                return Failed(code, what + " " + attribute);
            }
            if (int32_t code = DirPutAttrName(ctx.Handle(), names.get(), attribute.c_str()); code != 0)
                return Failed(code, what);
        }
    }
    Buffer reply;
    if (int32_t code = MakeBuffer(ctx.Handle(), kDirOpRead, reply); code != 0)
        return Failed(code, what);
    int32_t iteration = -1;
    bool first = true;
    do {
        int32_t code = DirRead(ctx.Handle(), object.c_str(), 1, attributes.empty() ? 1 : 0, names.get(),
                               &iteration, reply.get());
        // Only the first reply can say that none of the named attributes holds a value.
        if (code == kDirErrNoSuchAttribute && !attributes.empty() && first)
            return {};
        first = false;
        if (code != 0) {
            (void)DirCloseIteration(ctx.Handle(), iteration, kDirOpRead);
            return Failed(code, what);
        }
        uint32_t attrCount = 0;
        if (code = DirGetAttrCount(ctx.Handle(), reply.get(), &attrCount); code != 0)
            return Failed(code, what);
        for (uint32_t a = 0; a < attrCount; ++a) {
            char attrName[kDirClassNameBytes + 1] = {};
            uint32_t valueCount = 0;
            uint32_t syntax = 0;
            if (code = DirGetAttrName(ctx.Handle(), reply.get(), attrName, &valueCount, &syntax); code != 0)
                return Failed(code, what);
            for (uint32_t v = 0; v < valueCount; ++v) {
                ClientValue value;
                uint32_t size = 0;
                if (code = NextValue(ctx.Handle(), reply.get(), syntax, value, size); code != 0)
                    return Failed(code, what + " " + attrName);
                take(attrName, syntax, std::move(value), size);
            }
        }
    } while (iteration != -1);
    return {};
}

} // namespace

DirOutcome DirectoryOps::Dump(const std::string& object, const std::vector<std::string>& attributes,
                              std::vector<DumpedValue>& out) {
    return ReadValues("dump " + object, object, attributes,
                      [&out](const char* attr, uint32_t syntax, ClientValue value, uint32_t) {
                          out.push_back({attr, syntax, FormatValue(syntax, value.get())});
                      });
}

// Creates object in one add request: its class and, for an alias, the object it names.
DirOutcome AddObject(const std::string& object, const std::string& className, const char* aliasOf,
                     const std::string& failure) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    Buffer request;
    int32_t code = MakeBuffer(ctx.Handle(), kDirOpAdd, request);
    if (code == 0)
        code = DirPutAttrName(ctx.Handle(), request.get(), "Object Class");
    if (code == 0)
        code = DirPutAttrValue(ctx.Handle(), request.get(), kDirSyntaxClassName, className.c_str());
    if (code == 0 && aliasOf != nullptr) {
        code = DirPutAttrName(ctx.Handle(), request.get(), "Aliased Object Name");
        if (code == 0)
            code = DirPutAttrValue(ctx.Handle(), request.get(), kDirSyntaxDistinguishedName, aliasOf);
    }
    if (code == 0)
        code = DirAddObject(ctx.Handle(), object.c_str(), 0, 0, request.get());
    if (code != 0)
        return Failed(code, failure);
    return {};
}

// One modify request on one attribute: with `replace` every old value goes first; then each value given
// in its text form is added.
DirOutcome ModifyValues(const std::string& object, const std::string& attribute,
                        const std::vector<std::string>& values, bool replace, const std::string& failure) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    uint32_t syntax = 0;
    if (int32_t code = DirGetSyntaxId(ctx.Handle(), attribute.c_str(), &syntax); code != 0)
        return Failed(code, "unknown attribute " + attribute);
    std::vector<ClientValue> parsed;
    for (const std::string& text : values) {
        ParsedValue value = ParseValue(syntax, text);
        if (!value.error.empty())
            return DirOutcome{kDirErrWrongSyntax, attribute + ": " + value.error};
        parsed.push_back(std::move(value.value));
    }
    Buffer request;
    int32_t code = MakeBuffer(ctx.Handle(), kDirOpModify, request);
    if (code == 0 && replace)
        code = DirPutChange(ctx.Handle(), request.get(), kDirChangeRemoveAllValues, attribute.c_str());
    for (std::size_t i = 0; code == 0 && i < parsed.size(); ++i) {
        code = DirPutChange(ctx.Handle(), request.get(), kDirChangeAddValue, attribute.c_str());
        if (code == 0)
            code = DirPutAttrValue(ctx.Handle(), request.get(), syntax, parsed[i].get());
    }
    if (code == kDirErrBufferFull)
        return Failed(code, "the values of " + attribute + " do not fit into one request");
    if (code == 0)
        code = DirModifyObject(ctx.Handle(), object.c_str(), 0, 0, request.get());
    if (code != 0)
        return Failed(code, failure);
    return {};
}

namespace {

bool IsNtAccountClass(const std::string& className) {
    return className == "KEL:NT User" || className == "KEL:Hybrid User";
}

// One side of a link that takes a request on each of two objects: a copy never holds it alone.
bool IsNtGroupClass(const std::string& className) {
    return className == "KEL:NT Global Group" || className == "KEL:NT Local Group";
}

bool IsOneSideOfALink(const std::string& className, const char* attr) {
    if (IsNtGroupClass(className))
        return std::strcmp(attr, "Member") == 0;
    if (IsNtAccountClass(className))
        return std::strcmp(attr, "KEL:Group Membership") == 0 ||
               std::strcmp(attr, "KEL:Primary Group") == 0 || std::strcmp(attr, "KEL:QDS User") == 0;
    return className == "User" && std::strcmp(attr, "KEL:Application Server List") == 0;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// The container part of a full name, as the directory splits it.
std::string ContainerPart(const std::string& fullName) {
    std::vector<std::string> leaves;
    if (dirclient::SplitName(fullName, &leaves) != 0 || leaves.size() < 2)
        return "[Root]";
    std::string container = leaves[1];
    for (std::size_t i = 2; i < leaves.size(); ++i)
        container += "." + leaves[i];
    return container;
}

} // namespace

void DirectoryOps::JoinGroupsOfOriginal(const std::string& original, const std::string& copy,
                                        std::vector<std::string>& notJoined) {
    std::vector<DumpedValue> links;
    if (DirOutcome read = Dump(original, {"KEL:Group Membership", "KEL:Primary Group"}, links); !read.Ok()) {
        notJoined.push_back(read.error);
        return;
    }
    std::string primary;
    for (const DumpedValue& link : links)
        if (link.attribute == "KEL:Primary Group")
            primary = link.text;
    const std::string system = ContainerPart(copy);
    for (const DumpedValue& link : links) {
        if (link.attribute != "KEL:Group Membership")
            continue;
        const std::string& group = link.text;
        if (!SameName(ContainerPart(group), system)) {
            notJoined.push_back(group + " | it is not a group of " + system);
            continue;
        }
        if (DirOutcome member = AddValue(group, "Member", copy); !member.Ok()) {
            notJoined.push_back(group + " | " + member.error);
            continue;
        }
        if (DirOutcome membership = AddValue(copy, "KEL:Group Membership", group); !membership.Ok()) {
            notJoined.push_back(group + " | " + membership.error);
            continue;
        }
        if (SameName(group, primary)) {
            if (DirOutcome set = Set(copy, "KEL:Primary Group", {group}); !set.Ok())
                notJoined.push_back(group + " | " + set.error);
        }
    }
}

void DirectoryOps::JoinMembersOfOriginal(const std::string& original, const std::string& copy,
                                         std::vector<std::string>& notJoined) {
    std::vector<DumpedValue> members;
    if (DirOutcome read = Dump(original, {"Member"}, members); !read.Ok()) {
        notJoined.push_back(read.error);
        return;
    }
    const std::string system = ContainerPart(copy);
    for (const DumpedValue& member : members) {
        const std::string& account = member.text;
        std::string className;
        if (DirOutcome base = BaseClass(account, className); !base.Ok() || !IsNtAccountClass(className)) {
            // An alias or a group among the members is kept on the group's side only, as on the original.
            if (DirOutcome kept = AddValue(copy, "Member", account); !kept.Ok())
                notJoined.push_back(account + " | " + kept.error);
            continue;
        }
        if (!SameName(ContainerPart(account), system)) {
            notJoined.push_back(account + " | it is not an account of " + system);
            continue;
        }
        if (DirOutcome added = AddValue(copy, "Member", account); !added.Ok()) {
            notJoined.push_back(account + " | " + added.error);
            continue;
        }
        if (DirOutcome membership = AddValue(account, "KEL:Group Membership", copy); !membership.Ok())
            notJoined.push_back(account + " | " + membership.error);
    }
}

DirOutcome DirectoryOps::Copy(const std::string& object, const std::string& newName,
                              const std::string& className) {
    struct Copied {
        std::string attribute;
        uint32_t syntax = 0;
        ClientValue value;
    };
    std::vector<Copied> values;
    // What the request needs, counted generously: each name and value with room for the buffer's own
    // bookkeeping of an item.
    constexpr uint64_t kItemRoom = 64;
    uint64_t need = 2 * kItemRoom + sizeof "Object Class" + className.size() + 1;
    DirOutcome read = ReadValues("copy " + object, object, {},
                                 [&](const char* attr, uint32_t syntax, ClientValue value, uint32_t size) {
                                     // The copy takes the attributes, not the rights: those belong to the
                                     // object that was copied.
                                     if (std::strcmp(attr, "Object Class") == 0 ||
                                         std::strcmp(attr, "ACL") == 0 || IsOneSideOfALink(className, attr))
                                         return;
                                     if (values.empty() || values.back().attribute != attr)
                                         need += kItemRoom + std::strlen(attr) + 1;
                                     need += kItemRoom + size;
                                     values.push_back({attr, syntax, std::move(value)});
                                 });
    if (!read.Ok())
        return read;

    const std::string failure = "cannot copy " + object + " to " + newName;
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    // One add request carries the class and every value, so the directory makes the copy whole or refuses
    // it whole; a buffer too small for the guess grows up to the largest a request may have.
    uint32_t capacity = static_cast<uint32_t>(std::clamp<uint64_t>(need, kMinRequestBytes, kMaxRequestBytes));
    for (;;) {
        Buffer request;
        DirBuffer* raw = nullptr;
        int32_t code = DirAllocBuffer(capacity, &raw);
        if (code == 0) {
            request.reset(raw);
            code = DirInitBuffer(ctx.Handle(), kDirOpAdd, raw);
        }
        if (code == 0)
            code = DirPutAttrName(ctx.Handle(), raw, "Object Class");
        if (code == 0)
            code = DirPutAttrValue(ctx.Handle(), raw, kDirSyntaxClassName, className.c_str());
        for (std::size_t i = 0; code == 0 && i < values.size(); ++i) {
            if (i == 0 || values[i].attribute != values[i - 1].attribute)
                code = DirPutAttrName(ctx.Handle(), raw, values[i].attribute.c_str());
            if (code == 0)
                code = DirPutAttrValue(ctx.Handle(), raw, values[i].syntax, values[i].value.get());
        }
        if (code == kDirErrBufferFull && capacity < kMaxRequestBytes) {
            capacity = capacity > kMaxRequestBytes / 2 ? kMaxRequestBytes : capacity * 2;
            continue;
        }
        if (code == kDirErrBufferFull)
            return DirOutcome{code, failure + ": its values need more than the " +
                                        std::to_string(kMaxRequestBytes / 1024 / 1024) +
                                        " MiB that one request can carry, so nothing was made"};
        if (code == 0)
            code = DirAddObject(ctx.Handle(), newName.c_str(), 0, 0, raw);
        if (code != 0)
            return Failed(code, failure);
        return {};
    }
}

DirOutcome DirectoryOps::Add(const std::string& object, const std::string& className) {
    return AddObject(object, className, nullptr, "cannot add " + object + " of class " + className);
}

DirOutcome DirectoryOps::MakeAlias(const std::string& object, const std::string& target) {
    return AddObject(object, "Alias", target.c_str(), "cannot make the alias " + object + " of " + target);
}

DirOutcome DirectoryOps::Set(const std::string& object, const std::string& attribute,
                             const std::vector<std::string>& values) {
    return ModifyValues(object, attribute, values, /*replace=*/true,
                        "cannot set " + attribute + " of " + object);
}

DirOutcome DirectoryOps::AddValue(const std::string& object, const std::string& attribute,
                                  const std::string& text) {
    return ModifyValues(object, attribute, {text}, /*replace=*/false,
                        "cannot add a value to " + attribute + " of " + object);
}

DirOutcome DirectoryOps::Remove(const std::string& object) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    if (int32_t code = DirRemoveObject(ctx.Handle(), object.c_str()); code != 0)
        return Failed(code, "cannot delete " + object);
    return {};
}

DirOutcome DirectoryOps::Check(std::vector<std::string>& lines) {
    auto collect = [](const char* line, void* user) {
        static_cast<std::vector<std::string>*>(user)->push_back(line);
    };
    lines.clear();
    // Its findings name objects and values anywhere in the tree, so the directory answers only a supervisor.
    const int32_t code = DirCheckStore(/*repair=*/1, collect, &lines);
    if (code == kDirErrNoRight)
        return {code, "check: checking the directory takes the Supervisor right over [Root] (" +
                          std::to_string(code) + ")"};
    if (code != 0)
        return Failed(code, "check");
    return {};
}

DirOutcome DirectoryOps::BaseClass(const std::string& object, std::string& out) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    char name[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    if (int32_t code = DirReadObjectInfo(ctx.Handle(), object.c_str(), name, &info); code != 0)
        return Failed(code, object);
    out = info.baseClass;
    return {};
}

DirOutcome DirectoryOps::Rename(const std::string& object, const std::string& newLeaf) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    if (int32_t code = DirRenameObject(ctx.Handle(), object.c_str(), newLeaf.c_str(), 1); code != 0)
        return Failed(code, "rename " + object);
    return {};
}

DirOutcome DirectoryOps::Move(const std::string& object, const std::string& newContainer) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    if (int32_t code = DirMoveObject(ctx.Handle(), object.c_str(), newContainer.c_str()); code != 0)
        return Failed(code, "move " + object);
    return {};
}

DirOutcome DirectoryOps::Grant(const std::string& object, const std::string& subject,
                               const std::string& protectedAttr, uint32_t rights) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    std::string attr = protectedAttr;
    std::string who = subject;
    DirObjectACL acl{attr.data(), who.data(), rights};
    Buffer request;
    int32_t code = MakeBuffer(ctx.Handle(), kDirOpModify, request);
    if (code == 0)
        code = DirPutChange(ctx.Handle(), request.get(), kDirChangeAddValue, "ACL");
    if (code == 0)
        code = DirPutAttrValue(ctx.Handle(), request.get(), kDirSyntaxObjectACL, &acl);
    if (code == 0)
        code = DirModifyObject(ctx.Handle(), object.c_str(), 0, 0, request.get());
    if (code != 0)
        return Failed(code, "cannot grant " + subject + " rights to " + protectedAttr + " of " + object);
    return {};
}

DirOutcome DirectoryOps::SetPassword(const std::string& user, const std::string& password) {
    Context ctx;
    if (!ctx.Ok())
        return Failed(ctx.Handle(), "no directory context");
    if (int32_t code = DirPasswordCallB(ctx.Handle(), user.c_str(), password.c_str(), 0); code != 0)
        return Failed(code, "cannot set the password of " + user);
    return {};
}

DirOutcome DirectoryOps::SetOctets(const std::string& object, const std::string& attribute,
                                   const std::vector<uint8_t>& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "0x";
    for (uint8_t b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return Set(object, attribute, {text});
}

} // namespace cvadmin
