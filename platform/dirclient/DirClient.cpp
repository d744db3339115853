// The C interface: one process-wide session (store, identity, contexts) behind a lock, request buffers and
// the iterations that hand out replies piece by piece.
#include "platform/dirclient/DirClient.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>

#include "platform/dirclient/DirBuffer.h"
#include "platform/dirclient/DirNames.h"
#include "platform/dirclient/DirSchema.h"
#include "platform/dirclient/Directory.h"

using namespace dirclient;

namespace {

constexpr size_t kMaxContexts = 4096;
constexpr uint32_t kMinBufferBytes = 64;
constexpr uint32_t kMaxBufferBytes = 1u << 20;
constexpr uint32_t kMaxTreeNameBytes = 32;
// Reply buffers are marked with operations of their own, so a reply is never taken for a request.
constexpr int32_t kReplyRead = -3;
constexpr int32_t kReplyList = -4;

struct Iteration {
    bool list = false;
    std::vector<ReplyAttr> attrs;
    size_t attr = 0;
    size_t value = 0;
    std::vector<ReplyObject> objects;
    size_t object = 0;
};

struct Context {
    uint32_t flags = kDirContextDefaultFlags;
    uint32_t word = 0;
    std::string nameContext{kRootName};
    std::map<int32_t, Iteration> iterations;
    int32_t nextIteration = 1;
};

struct Session {
    std::recursive_mutex mutex;
    std::unique_ptr<Directory> directory;
    std::map<int32_t, Context> contexts;
    int32_t nextContext = 1;
    std::set<DirBuffer*> buffers;
    std::string problem; // what the last open found wrong, in words
};

Session& TheSession() {
    static Session session;
    return session;
}

using Lock = std::lock_guard<std::recursive_mutex>;

Context* FindContext(Session& session, int32_t ctx) {
    const auto it = session.contexts.find(ctx);
    return it == session.contexts.end() ? nullptr : &it->second;
}

bool KnownBuffer(Session& session, DirBuffer* buf) {
    return buf != nullptr && session.buffers.count(buf) != 0;
}

// A name argument that is not NUL-terminated within the longest legal name is refused without reading on.
int32_t TakeName(const char* name, std::string* out) {
    if (name == nullptr) {
        return kDirErrBadArgument;
    }
    const void* end = std::memchr(name, '\0', kDirMaxNameBytes + 1);
    if (end == nullptr) {
        return kDirErrNameTooLong;
    }
    out->assign(name, static_cast<size_t>(static_cast<const char*>(end) - name));
    return kDirOk;
}

void CopyOut(const std::string& text, char* out, size_t size) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

// Puts as much of the iteration as fits into the reply; true when everything has been handed out.
int32_t FillReadReply(Iteration& iteration, DirBuffer* reply, bool* done) {
    reply->Clear(kReplyRead);
    while (iteration.attr < iteration.attrs.size()) {
        ReplyAttr& attr = iteration.attrs[iteration.attr]; // each value is handed out once
        const uint32_t header = NameCost(attr.name);
        const uint32_t first =
            iteration.value < attr.values.size() ? EncodedCost(attr.values[iteration.value]) : 0;
        if (!reply->Fits(header) || !reply->Fits(header + first)) {
            break;
        }
        reply->attrs.push_back(ReplyAttr{attr.name, attr.syntax, {}});
        reply->used += header;
        while (iteration.value < attr.values.size() &&
               reply->Fits(EncodedCost(attr.values[iteration.value]))) {
            reply->used += EncodedCost(attr.values[iteration.value]);
            reply->attrs.back().values.push_back(std::move(attr.values[iteration.value]));
            ++iteration.value;
        }
        if (iteration.value < attr.values.size()) {
            break;
        }
        ++iteration.attr;
        iteration.value = 0;
    }
    *done = iteration.attr >= iteration.attrs.size();
    if (!*done && reply->attrs.empty()) {
        return kDirErrValueTooLarge; // not even one value fits this reply buffer
    }
    return kDirOk;
}

int32_t FillListReply(Iteration& iteration, DirBuffer* reply, bool* done) {
    reply->Clear(kReplyList);
    while (iteration.object < iteration.objects.size()) {
        const uint32_t cost = NameCost(iteration.objects[iteration.object].name) + kObjectEntryCost;
        if (!reply->Fits(cost)) {
            break;
        }
        reply->used += cost;
        reply->objects.push_back(std::move(iteration.objects[iteration.object])); // handed out once
        ++iteration.object;
    }
    *done = iteration.object >= iteration.objects.size();
    if (!*done && reply->objects.empty()) {
        return kDirErrValueTooLarge;
    }
    return kDirOk;
}

// Runs one step of an iteration: a new one for *iteration == -1 (made by start), else the one named.
template <typename Start, typename Fill>
int32_t Iterate(Context& context, int32_t* iteration, DirBuffer* reply, Start start, Fill fill) {
    int32_t handle = *iteration;
    if (handle == -1) {
        Iteration fresh;
        const int32_t rc = start(&fresh);
        if (rc != kDirOk) {
            return rc;
        }
        handle = context.nextIteration++;
        context.iterations.emplace(handle, std::move(fresh));
    }
    const auto it = context.iterations.find(handle);
    if (it == context.iterations.end()) {
        return kDirErrBadIteration;
    }
    bool done = false;
    const int32_t rc = fill(it->second, reply, &done);
    if (rc != kDirOk || done) {
        context.iterations.erase(it);
        *iteration = -1;
        return rc;
    }
    *iteration = handle;
    return kDirOk;
}

int32_t OpenWith(std::unique_ptr<DirStore> store, bool initialize) {
    Session& session = TheSession();
    auto directory = std::make_unique<Directory>(std::move(store));
    if (initialize) {
        const int32_t rc = directory->Initialize();
        if (rc != kDirOk) {
            return rc;
        }
    }
    session.contexts.clear();
    session.directory = std::move(directory);
    return kDirOk;
}

int32_t FillNewStore(DirStore& store, void*) {
    return Directory(store).Initialize();
}

// Every call that acts in a context holds the session's lock for its whole length and refuses an unknown
// context before it looks at any other argument.
template <typename Body> int32_t InContext(int32_t ctx, Body&& body) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    Context* context = FindContext(session, ctx);
    return context == nullptr ? kDirErrNoContext : body(session, *context);
}

// Calls that act on one named object take its name right after the context.
template <typename Body> int32_t OnObject(int32_t ctx, const char* object, Body&& body) {
    return InContext(ctx, [&](Session& session, Context& context) {
        std::string name;
        const int32_t rc = TakeName(object, &name);
        return rc != kDirOk ? rc : body(session, context, name);
    });
}

// A buffer argument must be one of this session's (with the call's other pointers given), else it is a bad
// argument; and it must be made for one of the operations the call accepts, else it is the wrong buffer.
int32_t CheckBuffer(Session& session, DirBuffer* buf, bool othersGiven,
                    std::initializer_list<int32_t> operations) {
    if (!KnownBuffer(session, buf) || !othersGiven) {
        return kDirErrBadArgument;
    }
    return std::find(operations.begin(), operations.end(), buf->operation) == operations.end()
               ? kDirErrWrongBuffer
               : kDirOk;
}

std::string_view AttrName(const char* attr) {
    return std::string_view(attr, strnlen(attr, kDirClassNameBytes));
}

// An attribute name or a change: the item later values belong to.
int32_t PutOwner(DirBuffer* buf, const char* attr, RequestItem item) {
    const AttributeDef* def = FindAttribute(AttrName(attr));
    if (def == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    item.attr = def->name;
    item.syntax = def->syntax;
    const uint32_t cost = NameCost(item.attr);
    if (!buf->Fits(cost)) {
        return kDirErrBufferFull;
    }
    buf->used += cost;
    buf->lastOwner = buf->items.size();
    buf->items.push_back(std::move(item));
    return kDirOk;
}

// The value that DirComputeValueSize and DirGetAttrValue look at: the next one of the attribute named last.
// The caller has made sure that the reply is one of DirRead.
int32_t CurrentValue(DirBuffer* reply, uint32_t syntax, const Value** value) {
    if (reply->nextAttr == 0) {
        return kDirErrNoMoreItems;
    }
    const ReplyAttr& attr = reply->attrs[reply->nextAttr - 1];
    if (attr.syntax != syntax) {
        return kDirErrWrongSyntax;
    }
    if (reply->nextValue >= attr.values.size()) {
        return kDirErrNoMoreItems;
    }
    *value = &attr.values[reply->nextValue];
    return kDirOk;
}

// The slow hashes (the new password's, and the checks of the old and the new one against the current) are
// worked out before the request, so that the write lock is not held for them; the request then writes only
// if the user's password is still the one they were checked against.
int32_t SetPasswordIn(Directory& directory, const Context& context, const std::string& name,
                      const char* oldPassword, const char* newPassword) {
    std::string hash;
    int32_t rc = Directory::HashPassword(newPassword, &hash);
    if (rc != kDirOk) {
        return rc;
    }
    int64_t id = 0;
    Directory::PasswordProof proof;
    proof.stale = true;
    for (int attempt = 0; attempt < Directory::kConflictAttempts && rc == kDirOk && proof.stale; ++attempt) {
        rc = directory.ProvePasswords(name, context.flags, oldPassword, newPassword, &proof);
        if (rc == kDirOk) {
            rc = directory.Request(true, [&] {
                const int32_t found = directory.ResolveForRead(name, context.flags, &id);
                return found != kDirOk ? found : directory.SetPassword(id, oldPassword, newPassword, hash, &proof);
            });
        }
    }
    if (rc == kDirOk && proof.stale) {
        rc = kDirErrConflict;
    }
    if (rc == kDirOk) {
        rc = directory.OwnPasswordSet(id, hash, newPassword);
    }
    sodium_memzero(hash.data(), hash.size());
    return rc;
}

} // namespace

extern "C" {

int32_t DirOpenStore(const char* path, int32_t create) {
    if (path == nullptr || *path == '\0') {
        return kDirErrBadArgument;
    }
    if (sodium_init() < 0) {
        return kDirErrOutOfMemory;
    }
    Session& session = TheSession();
    Lock lock(session.mutex);
    session.contexts.clear();
    session.directory.reset();
    std::unique_ptr<DirStore> store;
    if (IsLdapUrl(path)) {
        // A directory on a server is made by the server's operator (scripts/ldap-server.sh), never here.
        const int32_t rc = OpenLdapStore(path, &store, &session.problem);
        return rc != kDirOk ? rc : OpenWith(std::move(store), /*initialize=*/false);
    }
    session.problem.clear();
    int32_t rc = OpenSqliteStore(path, &store, &session.problem);
    if (rc == kDirErrNoSuchObject && create != 0) {
        rc = CreateSqliteStore(path, FillNewStore, nullptr);
        if (rc == kDirOk || rc == kDirErrObjectExists) {
            // ours, or the one another process made first
            rc = OpenSqliteStore(path, &store, &session.problem);
        }
    }
    if (rc != kDirOk) {
        return rc;
    }
    return OpenWith(std::move(store), /*initialize=*/false);
}

const char* DirStoreProblem(void) {
    return TheSession().problem.c_str();
}

int32_t DirOpenMemoryStore(void) {
    if (sodium_init() < 0) {
        return kDirErrOutOfMemory;
    }
    Session& session = TheSession();
    Lock lock(session.mutex);
    session.contexts.clear();
    session.directory.reset();
    return OpenWith(MakeMemoryStore(), /*initialize=*/true);
}

int32_t DirCloseStore(void) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    session.contexts.clear();
    session.directory.reset();
    return kDirOk;
}

int32_t DirLogin(const char* name, const char* password) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (!session.directory) {
        return kDirErrNoStore;
    }
    std::string text;
    const int32_t rc = TakeName(name, &text);
    return rc != kDirOk ? rc : session.directory->Login(text, password);
}

int32_t DirGetTreeName(char* out, uint32_t size) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (out == nullptr) {
        return kDirErrBadArgument;
    }
    if (!session.directory) {
        return kDirErrNoStore;
    }
    std::string name;
    const int32_t rc = session.directory->TreeName(&name);
    if (rc != kDirOk) {
        return rc;
    }
    if (name.size() + 1 > size) {
        return kDirErrBufferFull;
    }
    CopyOut(name, out, size);
    return kDirOk;
}

int32_t DirSetTreeName(const char* name) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (name == nullptr || std::memchr(name, '\0', kMaxTreeNameBytes + 1) == nullptr || *name == '\0') {
        return kDirErrBadArgument;
    }
    if (!session.directory) {
        return kDirErrNoStore;
    }
    return session.directory->SetTreeName(name);
}

int32_t DirSetPasswordHashCost(uint64_t opsLimit, uint64_t memLimit) {
    if (opsLimit < crypto_pwhash_OPSLIMIT_MIN || memLimit < crypto_pwhash_MEMLIMIT_MIN) {
        return kDirErrBadArgument;
    }
    Lock lock(TheSession().mutex);
    SetHashCost(opsLimit, memLimit);
    return kDirOk;
}

int32_t DirCreateContext(void) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (!session.directory || session.contexts.size() >= kMaxContexts) {
        return kDirErrNoContext;
    }
    while (session.nextContext <= 0 || session.contexts.count(session.nextContext) != 0) {
        session.nextContext = session.nextContext <= 0 ? 1 : session.nextContext + 1;
    }
    const int32_t handle = session.nextContext++;
    session.contexts.emplace(handle, Context{});
    return handle;
}

int32_t DirFreeContext(int32_t ctx) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    return session.contexts.erase(ctx) != 0 ? kDirOk : kDirErrNoContext;
}

int32_t DirGetContextKey(int32_t ctx, uint32_t key, void* value) {
    return InContext(ctx, [&](Session&, Context& context) {
        if (value == nullptr) {
            return kDirErrBadArgument;
        }
        switch (key) {
        case kDirKeyFlags:
            std::memcpy(value, &context.flags, sizeof context.flags);
            return kDirOk;
        case kDirKeyWord:
            std::memcpy(value, &context.word, sizeof context.word);
            return kDirOk;
        case kDirKeyNameContext:
            CopyOut(context.nameContext, static_cast<char*>(value), kDirMaxNameBytes + 1);
            return kDirOk;
        default:
            return kDirErrBadArgument;
        }
    });
}

int32_t DirSetContextKey(int32_t ctx, uint32_t key, const void* value) {
    return InContext(ctx, [&](Session& session, Context& context) {
        if (value == nullptr) {
            return kDirErrBadArgument;
        }
        switch (key) {
        case kDirKeyFlags:
            std::memcpy(&context.flags, value, sizeof context.flags);
            return kDirOk;
        case kDirKeyWord:
            std::memcpy(&context.word, value, sizeof context.word);
            return kDirOk;
        case kDirKeyNameContext: {
            std::string name;
            int32_t rc = TakeName(static_cast<const char*>(value), &name);
            int64_t id = 0;
            if (rc == kDirOk) {
                rc = session.directory->Request(false, [&] { return session.directory->Resolve(name, &id); });
            }
            if (rc == kDirOk) {
                context.nameContext = name;
            }
            return rc;
        }
        default:
            return kDirErrBadArgument;
        }
    });
}

int32_t DirAllocBuffer(uint32_t size, DirBuffer** buf) {
    if (buf == nullptr) {
        return kDirErrBadArgument;
    }
    *buf = nullptr;
    if (size < kMinBufferBytes || size > kMaxBufferBytes) {
        return kDirErrBadArgument;
    }
    Session& session = TheSession();
    Lock lock(session.mutex);
    auto* buffer = new (std::nothrow) DirBuffer;
    if (buffer == nullptr) {
        return kDirErrOutOfMemory;
    }
    buffer->capacity = size;
    session.buffers.insert(buffer);
    *buf = buffer;
    return kDirOk;
}

int32_t DirInitBuffer(int32_t ctx, int32_t operation, DirBuffer* buf) {
    return InContext(ctx, [&](Session& session, Context&) {
        if (!KnownBuffer(session, buf)) {
            return kDirErrBadArgument;
        }
        if (operation != kDirOpRead && operation != kDirOpCompare && operation != kDirOpAdd &&
            operation != kDirOpModify) {
            return kDirErrBadArgument;
        }
        buf->Clear(operation);
        return kDirOk;
    });
}

int32_t DirFreeBuffer(DirBuffer* buf) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (buf == nullptr) {
        return kDirOk;
    }
    if (session.buffers.erase(buf) == 0) {
        return kDirErrBadArgument;
    }
    delete buf;
    return kDirOk;
}

int32_t DirPutAttrName(int32_t ctx, DirBuffer* buf, const char* attr) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(session, buf, attr != nullptr, {kDirOpRead, kDirOpCompare, kDirOpAdd});
        if (rc != kDirOk) {
            return rc;
        }
        RequestItem item;
        item.kind = RequestItemKind::AttrName;
        return PutOwner(buf, attr, std::move(item));
    });
}

int32_t DirPutChange(int32_t ctx, DirBuffer* buf, int32_t change, const char* attr) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(session, buf, attr != nullptr, {kDirOpModify});
        if (rc != kDirOk) {
            return rc;
        }
        if (change != kDirChangeAddValue && change != kDirChangeRemoveValue &&
            change != kDirChangeRemoveAllValues) {
            return kDirErrBadArgument;
        }
        RequestItem item;
        item.kind = RequestItemKind::Change;
        item.change = change;
        return PutOwner(buf, attr, std::move(item));
    });
}

int32_t DirPutAttrValue(int32_t ctx, DirBuffer* buf, uint32_t syntax, const void* value) {
    return InContext(ctx, [&](Session& session, Context&) {
        int32_t rc = CheckBuffer(session, buf, value != nullptr, {kDirOpCompare, kDirOpAdd, kDirOpModify});
        if (rc != kDirOk) {
            return rc;
        }
        // The value belongs to the last attribute name or change put.
        const RequestItem* owner = buf->lastOwner < buf->items.size() ? &buf->items[buf->lastOwner] : nullptr;
        if (owner == nullptr ||
            (owner->kind == RequestItemKind::Change && owner->change == kDirChangeRemoveAllValues)) {
            return kDirErrWrongBuffer;
        }
        if (owner->syntax != syntax) {
            return kDirErrWrongSyntax;
        }
        // Made in its place: a list write puts thousands of values.
        RequestItem& item = buf->items.emplace_back();
        item.kind = RequestItemKind::Value;
        rc = ValueFromClient(syntax, value, buf->capacity - buf->used, &item.value);
        const uint32_t cost = rc == kDirOk ? EncodedCost(item.value) : 0;
        if (rc == kDirOk && !buf->Fits(cost)) {
            rc = kDirErrBufferFull;
        }
        if (rc != kDirOk) {
            buf->items.pop_back();
            return rc;
        }
        buf->used += cost;
        return kDirOk;
    });
}

int32_t DirRead(int32_t ctx, const char* object, uint32_t infoType, uint32_t allAttrs, DirBuffer* names,
                int32_t* iteration, DirBuffer* reply) {
    return InContext(ctx, [&](Session& session, Context& context) {
        if (iteration == nullptr || !KnownBuffer(session, reply) || infoType != 1) {
            return kDirErrBadArgument;
        }
        std::string name;
        int32_t rc = TakeName(object, &name);
        if (rc != kDirOk) {
            return rc;
        }
        std::vector<std::string> attrNames;
        if (allAttrs == 0) {
            rc = CheckBuffer(session, names, /*othersGiven=*/true, {kDirOpRead});
            if (rc == kDirOk && names->items.empty()) {
                rc = kDirErrWrongBuffer;
            }
            if (rc != kDirOk) {
                return rc;
            }
            for (const auto& item : names->items) {
                attrNames.push_back(item.attr);
            }
        }
        Directory& directory = *session.directory;
        const uint32_t flags = context.flags;
        return Iterate(
            context, iteration, reply,
            [&](Iteration* fresh) {
                return directory.Request(false, [&] {
                    int64_t id = 0;
                    int32_t found = directory.ResolveForRead(name, flags, &id);
                    if (found == kDirOk) {
                        found = directory.Read(id, allAttrs != 0, attrNames, &fresh->attrs);
                    }
                    return found;
                });
            },
            FillReadReply);
    });
}

int32_t DirGetAttrCount(int32_t ctx, DirBuffer* reply, uint32_t* count) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(session, reply, count != nullptr, {kReplyRead});
        if (rc != kDirOk) {
            return rc;
        }
        *count = static_cast<uint32_t>(reply->attrs.size());
        reply->nextAttr = 0;
        reply->nextValue = 0;
        return kDirOk;
    });
}

int32_t DirGetAttrName(int32_t ctx, DirBuffer* reply, char* name, uint32_t* valueCount, uint32_t* syntax) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(
            session, reply, name != nullptr && valueCount != nullptr && syntax != nullptr, {kReplyRead});
        if (rc != kDirOk) {
            return rc;
        }
        if (reply->nextAttr >= reply->attrs.size()) {
            return kDirErrNoMoreItems;
        }
        const ReplyAttr& attr = reply->attrs[reply->nextAttr++];
        reply->nextValue = 0;
        CopyOut(attr.name, name, kDirClassNameBytes);
        *valueCount = static_cast<uint32_t>(attr.values.size());
        *syntax = attr.syntax;
        return kDirOk;
    });
}

int32_t DirComputeValueSize(int32_t ctx, DirBuffer* reply, uint32_t syntax, uint32_t* size) {
    return InContext(ctx, [&](Session& session, Context&) {
        const Value* value = nullptr;
        int32_t rc = CheckBuffer(session, reply, size != nullptr, {kReplyRead});
        if (rc == kDirOk) {
            rc = CurrentValue(reply, syntax, &value);
        }
        if (rc == kDirOk) {
            *size = ClientSize(*value);
        }
        return rc;
    });
}

int32_t DirGetAttrValue(int32_t ctx, DirBuffer* reply, uint32_t syntax, void* out) {
    return InContext(ctx, [&](Session& session, Context&) {
        const Value* value = nullptr;
        int32_t rc = CheckBuffer(session, reply, out != nullptr, {kReplyRead});
        if (rc == kDirOk) {
            rc = CurrentValue(reply, syntax, &value);
        }
        if (rc == kDirOk) {
            WriteClient(*value, out);
            ++reply->nextValue;
        }
        return rc;
    });
}

int32_t DirModifyObject(int32_t ctx, const char* object, int32_t, int32_t, DirBuffer* buf) {
    return OnObject(ctx, object, [&](Session& session, Context& context, const std::string& name) {
        const int32_t rc = CheckBuffer(session, buf, /*othersGiven=*/true, {kDirOpModify});
        Directory& directory = *session.directory;
        // A context that reads through aliases writes through them too, so it changes what it showed.
        return rc != kDirOk ? rc : directory.Request(true, [&] {
            int64_t id = 0;
            const int32_t found = directory.ResolveForRead(name, context.flags, &id);
            return found != kDirOk ? found : directory.Modify(id, buf->items);
        });
    });
}

int32_t DirAddObject(int32_t ctx, const char* object, int32_t, int32_t, DirBuffer* buf) {
    return OnObject(ctx, object, [&](Session& session, Context&, const std::string& name) {
        const int32_t rc = CheckBuffer(session, buf, /*othersGiven=*/true, {kDirOpAdd});
        Directory& directory = *session.directory;
        return rc != kDirOk ? rc : directory.Request(true, [&] { return directory.Add(name, buf->items); });
    });
}

int32_t DirCompare(int32_t ctx, const char* object, DirBuffer* buf, uint8_t* matched) {
    return OnObject(ctx, object, [&](Session& session, Context& context, const std::string& name) {
        if (!KnownBuffer(session, buf) || matched == nullptr) {
            return kDirErrBadArgument;
        }
        // A caller that gave a buffer of the wrong kind still reads "no match".
        *matched = 0;
        if (buf->operation != kDirOpCompare) {
            return kDirErrWrongBuffer;
        }
        bool found = false;
        Directory& directory = *session.directory;
        const int32_t rc = directory.Request(false, [&] {
            int64_t id = 0;
            const int32_t resolved = directory.ResolveForRead(name, context.flags, &id);
            return resolved != kDirOk ? resolved : directory.Compare(id, buf->items, &found);
        });
        *matched = found ? 1 : 0;
        return rc;
    });
}

int32_t DirGetSyntaxId(int32_t ctx, const char* attr, uint32_t* syntax) {
    return InContext(ctx, [&](Session&, Context&) {
        if (attr == nullptr || syntax == nullptr) {
            return kDirErrBadArgument;
        }
        const AttributeDef* def = FindAttribute(AttrName(attr));
        if (def == nullptr) {
            return kDirErrNoSuchAttribute;
        }
        *syntax = def->syntax;
        return kDirOk;
    });
}

int32_t DirList(int32_t ctx, const char* container, int32_t* iteration, DirBuffer* reply) {
    return OnObject(ctx, container, [&](Session& session, Context& context, const std::string& name) {
        if (iteration == nullptr || !KnownBuffer(session, reply)) {
            return kDirErrBadArgument;
        }
        Directory& directory = *session.directory;
        const uint32_t flags = context.flags;
        return Iterate(
            context, iteration, reply,
            [&](Iteration* fresh) {
                fresh->list = true;
                return directory.Request(false, [&] {
                    int64_t id = 0;
                    int32_t found = directory.ResolveForRead(name, flags, &id);
                    if (found == kDirOk) {
                        found = directory.List(id, flags, &fresh->objects);
                    }
                    return found;
                });
            },
            FillListReply);
    });
}

int32_t DirGetObjectCount(int32_t ctx, DirBuffer* reply, uint32_t* count) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(session, reply, count != nullptr, {kReplyList});
        if (rc != kDirOk) {
            return rc;
        }
        *count = static_cast<uint32_t>(reply->objects.size());
        reply->nextObject = 0;
        return kDirOk;
    });
}

int32_t DirGetObjectName(int32_t ctx, DirBuffer* reply, char* name512, uint32_t* attrCount,
                         DirObjectInfo* info) {
    return InContext(ctx, [&](Session& session, Context&) {
        const int32_t rc = CheckBuffer(session, reply, name512 != nullptr, {kReplyList});
        if (rc != kDirOk) {
            return rc;
        }
        if (reply->nextObject >= reply->objects.size()) {
            return kDirErrNoMoreItems;
        }
        const ReplyObject& entry = reply->objects[reply->nextObject++];
        CopyOut(entry.name, name512, kDirMaxNameBytes + 1);
        if (attrCount != nullptr) {
            *attrCount = entry.attrCount;
        }
        if (info != nullptr) {
            *info = entry.info;
        }
        return kDirOk;
    });
}

int32_t DirCloseIteration(int32_t ctx, int32_t iteration, int32_t) {
    return InContext(ctx, [&](Session&, Context& context) {
        if (iteration == -1) {
            return kDirOk;
        }
        return context.iterations.erase(iteration) != 0 ? kDirOk : kDirErrBadIteration;
    });
}

int32_t DirRenameObject(int32_t ctx, const char* object, const char* newLeaf, int32_t removeOld) {
    return OnObject(ctx, object, [&](Session& session, Context&, const std::string& name) {
        std::string leaf;
        const int32_t rc = TakeName(newLeaf, &leaf);
        Directory& directory = *session.directory;
        return rc != kDirOk ? rc : directory.Request(true, [&] {
            int64_t id = 0;
            const int32_t found = directory.Resolve(name, &id);
            return found != kDirOk ? found : directory.Rename(id, leaf, removeOld != 0);
        });
    });
}

int32_t DirReadObjectInfo(int32_t ctx, const char* object, char* name512, DirObjectInfo* info) {
    return OnObject(ctx, object, [&](Session& session, Context& context, const std::string& name) {
        if (name512 == nullptr || info == nullptr) {
            return kDirErrBadArgument;
        }
        std::string fullName;
        DirObjectInfo result{};
        Directory& directory = *session.directory;
        const int32_t rc = directory.Request(false, [&] {
            int64_t id = 0;
            const int32_t found = directory.ResolveForRead(name, context.flags, &id);
            return found != kDirOk ? found : directory.ObjectInfo(id, context.flags, &fullName, &result);
        });
        if (rc == kDirOk) {
            CopyOut(fullName, name512, kDirMaxNameBytes + 1);
            *info = result;
        }
        return rc;
    });
}

int32_t DirRemoveObject(int32_t ctx, const char* object) {
    return OnObject(ctx, object, [&](Session& session, Context&, const std::string& name) {
        Directory& directory = *session.directory;
        return directory.Request(true, [&] {
            int64_t id = 0;
            const int32_t found = directory.Resolve(name, &id);
            return found != kDirOk ? found : directory.Remove(id);
        });
    });
}

int32_t DirGetEffectiveRights(int32_t ctx, const char* subject, const char* object, const char* attr,
                              uint32_t* rights) {
    return OnObject(ctx, object, [&](Session& session, Context&, const std::string& name) {
        std::string subjectName;
        int32_t rc = TakeName(subject, &subjectName);
        if (rc == kDirOk && (attr == nullptr || rights == nullptr)) {
            rc = kDirErrBadArgument;
        }
        if (rc != kDirOk) {
            return rc;
        }
        *rights = 0;
        Directory& directory = *session.directory;
        return directory.Request(false, [&] {
            int64_t subjectId = kPublicSubject;
            int32_t found = kDirOk;
            if (!NamesEqual(subjectName, kPublicName)) {
                found = directory.Resolve(subjectName, &subjectId);
            }
            int64_t id = 0;
            if (found == kDirOk) {
                found = directory.Resolve(name, &id);
            }
            return found != kDirOk ? found : directory.Rights(subjectId, id, AttrName(attr), rights);
        });
    });
}

int32_t DirWhoAmI(int32_t ctx, char* name512) {
    return InContext(ctx, [&](Session& session, Context&) {
        if (name512 == nullptr) {
            return kDirErrBadArgument;
        }
        Directory& directory = *session.directory;
        std::string name;
        const int32_t rc = directory.Request(false, [&] {
            return directory.Identity() == kPublicSubject ? kDirErrNoIdentity
                                                          : directory.FullName(directory.Identity(), &name);
        });
        if (rc == kDirOk) {
            CopyOut(name, name512, kDirMaxNameBytes + 1);
        }
        return rc;
    });
}

int32_t DirPasswordCallA(int32_t ctx, int32_t, const char* object, const char* oldPassword,
                         const char* newPassword) {
    return OnObject(ctx, object, [&](Session& session, Context& context, const std::string& name) {
        if (oldPassword == nullptr) {
            return kDirErrBadArgument;
        }
        return SetPasswordIn(*session.directory, context, name, oldPassword, newPassword);
    });
}

int32_t DirPasswordCallB(int32_t ctx, const char* object, const char* newPassword, int32_t) {
    return OnObject(ctx, object, [&](Session& session, Context& context, const std::string& name) {
        return SetPasswordIn(*session.directory, context, name, nullptr, newPassword);
    });
}

int32_t DirCheckStore(int32_t repair, DirCheckLine line, void* user) {
    Session& session = TheSession();
    Lock lock(session.mutex);
    if (!session.directory) {
        return kDirErrNoStore;
    }
    std::vector<std::string> report;
    const int32_t rc = session.directory->Check(repair != 0, &report);
    if (line != nullptr) {
        for (const auto& text : report) {
            line(text.c_str(), user);
        }
    }
    return rc;
}

int32_t DirMoveObject(int32_t ctx, const char* object, const char* newContainer) {
    return OnObject(ctx, object, [&](Session& session, Context&, const std::string& name) {
        std::string containerName;
        const int32_t rc = TakeName(newContainer, &containerName);
        Directory& directory = *session.directory;
        return rc != kDirOk ? rc : directory.Request(true, [&] {
            int64_t id = 0;
            int64_t container = 0;
            int32_t found = directory.Resolve(name, &id);
            if (found == kDirOk) {
                found = directory.Resolve(containerName, &container);
            }
            return found != kDirOk ? found : directory.Move(id, container);
        });
    });
}

} // extern "C"
