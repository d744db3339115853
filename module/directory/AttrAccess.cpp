#include "module/directory/AttrAccess.h"

#include "module/directory/DirectoryMessages.h"
#include "module/directory/Schema.h"
#include "platform/ui/MessageBox.h"
#include "platform/winapi/WinApi.h"

#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// Context flag bits that both context kinds set; their meaning belongs to the directory client.
constexpr uint32_t kContextFlagsCommon = 0x4 | 0x2;
constexpr uint32_t kContextFlagsAliasAware = kDirFlagDerefAliases | kDirFlagAliasBaseClass;
constexpr uint32_t kContextKeyWordValue = 2;
constexpr int32_t kIterationStart = -1;
constexpr size_t kIdentityBytes = kDirMaxNameBytes + 1;
constexpr size_t kReplyNameBytes = kDirClassNameBytes;
constexpr int kSurelyFittingValueBytes = kDirBufferLarge / 4;

int32_t g_lastError = kDirOk;

// Records the outcome of one operation and answers 1/0 for it.
int32_t Finish(int32_t code) {
    g_lastError = code;
    return code == kDirOk ? 1 : 0;
}

class RequestBuffer {
public:
    explicit RequestBuffer(uint32_t size) { m_code = DirAllocBuffer(size, &m_buffer); }
    ~RequestBuffer() {
        if (m_buffer != nullptr) {
            static_cast<void>(DirFreeBuffer(m_buffer));
        }
    }
    RequestBuffer(const RequestBuffer&) = delete;
    RequestBuffer& operator=(const RequestBuffer&) = delete;

    // Why Ok() is false.
    [[nodiscard]] int32_t AllocCode() const { return m_code != kDirOk ? m_code : kDirErrOutOfMemory; }
    [[nodiscard]] bool Ok() const { return m_buffer != nullptr && m_code == kDirOk; }
    [[nodiscard]] DirBuffer* Get() const { return m_buffer; }

private:
    DirBuffer* m_buffer = nullptr;
    int32_t m_code = kDirOk;
};

// An iteration left open by a read or list that stopped early is closed on the way out, so that the
// client does not keep its reply state until the context goes.
class IterationGuard {
public:
    IterationGuard(int32_t ctx, int32_t operation) : m_ctx(ctx), m_operation(operation) {}
    ~IterationGuard() {
        if (m_iteration != kIterationStart) {
            static_cast<void>(DirCloseIteration(m_ctx, m_iteration, m_operation));
        }
    }
    IterationGuard(const IterationGuard&) = delete;
    IterationGuard& operator=(const IterationGuard&) = delete;

    int32_t* Handle() { return &m_iteration; }
    [[nodiscard]] bool Complete() const { return m_iteration == kIterationStart; }

private:
    int32_t m_ctx;
    int32_t m_operation;
    int32_t m_iteration = kIterationStart;
};

bool IsStringSyntax(uint32_t syntax) {
    return syntax == kSyntaxDistinguishedName || syntax == kSyntaxCaseIgnoreString ||
           syntax == kSyntaxClassName;
}

int32_t ConfigureContext(int32_t ctx, uint32_t setFlags, uint32_t clearFlags) {
    uint32_t flags = 0;
    int32_t rc = DirGetContextKey(ctx, kDirKeyFlags, &flags);
    if (rc == kDirOk) {
        flags = (flags | setFlags) & ~clearFlags;
        rc = DirSetContextKey(ctx, kDirKeyFlags, &flags);
    }
    if (rc == kDirOk) {
        rc = DirSetContextKey(ctx, kDirKeyNameContext, kNameRoot);
    }
    if (rc == kDirOk) {
        const uint32_t word = kContextKeyWordValue;
        rc = DirSetContextKey(ctx, kDirKeyWord, &word);
    }
    return rc;
}

int32_t MakeContext(uint32_t setFlags, uint32_t clearFlags) {
    const int32_t ctx = DirCreateContext();
    if (ctx <= 0) {
        g_lastError = ctx < 0 ? ctx : kDirErrNoContext;
        return kDirErrNoContext;
    }
    const int32_t rc = ConfigureContext(ctx, setFlags, clearFlags);
    if (rc != kDirOk) {
        // A context without its flags would read differently from what every caller expects.
        static_cast<void>(DirFreeContext(ctx));
        g_lastError = rc;
        return kDirErrNoContext;
    }
    g_lastError = kDirOk;
    return ctx;
}

// Reads the next value of the reply's current attribute into a new heap block.
int32_t TakeValue(int32_t ctx, DirBuffer* reply, uint32_t syntax, void** block, uint32_t* size) {
    *block = nullptr;
    *size = 0;
    int32_t rc = DirComputeValueSize(ctx, reply, syntax, size);
    if (rc != kDirOk) {
        return rc;
    }
    void* value = std::malloc(*size != 0 ? *size : 1);
    if (value == nullptr) {
        return kDirErrOutOfMemory;
    }
    rc = DirGetAttrValue(ctx, reply, syntax, value);
    if (rc != kDirOk) {
        std::free(value);
        return rc;
    }
    *block = value;
    return kDirOk;
}

// Starts a reply: its attribute count, then the first attribute's value count and syntax.
int32_t OpenReplyAttribute(int32_t ctx, DirBuffer* reply, uint32_t wantedSyntax, uint32_t* valueCount) {
    *valueCount = 0;
    uint32_t attrCount = 0;
    int32_t rc = DirGetAttrCount(ctx, reply, &attrCount);
    if (rc != kDirOk || attrCount == 0) {
        return rc;
    }
    char name[kReplyNameBytes] = {};
    uint32_t syntax = 0;
    rc = DirGetAttrName(ctx, reply, name, valueCount, &syntax);
    if (rc != kDirOk) {
        return rc;
    }
    if (syntax != wantedSyntax) {
        *valueCount = 0;
        return kDirErrWrongSyntax;
    }
    return kDirOk;
}

// A read of one attribute of one object: the request naming it, the reply, and the iteration over the
// replies, released in the reverse order.
class AttributeRead {
public:
    AttributeRead(int32_t ctx, uint32_t bufferSize) : m_ctx(ctx), m_names(bufferSize), m_reply(bufferSize) {}

    [[nodiscard]] int32_t Start(const char* attr) {
        if (!m_names.Ok()) {
            return m_names.AllocCode();
        }
        if (!m_reply.Ok()) {
            return m_reply.AllocCode();
        }
        int32_t rc = DirInitBuffer(m_ctx, kDirOpRead, m_names.Get());
        if (rc == kDirOk) {
            rc = DirPutAttrName(m_ctx, m_names.Get(), attr);
        }
        return rc;
    }

    // Reads the next reply and opens its attribute, which must have the syntax wanted.
    [[nodiscard]] int32_t NextReply(const char* object, uint32_t syntax, uint32_t* valueCount) {
        *valueCount = 0;
        const int32_t rc = DirRead(m_ctx, object, 1, 0, m_names.Get(), m_iteration.Handle(), m_reply.Get());
        return rc != kDirOk ? rc : OpenReplyAttribute(m_ctx, m_reply.Get(), syntax, valueCount);
    }

    [[nodiscard]] DirBuffer* Reply() const { return m_reply.Get(); }
    [[nodiscard]] bool Complete() const { return m_iteration.Complete(); }

private:
    int32_t m_ctx;
    RequestBuffer m_names;
    RequestBuffer m_reply;
    IterationGuard m_iteration{m_ctx, kDirOpRead};
};

int32_t ModifyOneValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, const void* value,
                       int32_t change) {
    RequestBuffer request(kDirBufferSmall);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, request.Get());
    if (rc == kDirOk) {
        rc = DirPutChange(ctx, request.Get(), change, attr);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, request.Get(), syntax, value);
    }
    if (rc == kDirOk) {
        rc = DirModifyObject(ctx, object, 0, 0, request.Get());
    }
    return Finish(rc);
}

// Puts "remove all values" (when asked) and one "add value" per string of values into a fresh modify
// request.
int32_t FillBatch(int32_t ctx, DirBuffer* request, const char* attr, uint32_t syntax, bool removeAll,
                  std::span<const char* const> values) {
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, request);
    if (rc == kDirOk && removeAll) {
        rc = DirPutChange(ctx, request, kDirChangeRemoveAllValues, attr);
    }
    for (size_t i = 0; rc == kDirOk && i < values.size(); ++i) {
        rc = DirPutChange(ctx, request, kDirChangeAddValue, attr);
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, request, syntax, values[i]);
        }
    }
    return rc;
}

// A value must fit an empty request on its own; otherwise no number of flushes would ever send it. Only
// long values are tried: a short one costs a few header bytes more than its text, far below what an empty
// request holds.
int32_t CheckValueFits(int32_t ctx, DirBuffer* request, const char* attr, uint32_t syntax, const char* value,
                       size_t length) {
    if (length < kSurelyFittingValueBytes) {
        return kDirOk;
    }
    const char* const one[] = {value};
    const int32_t rc = FillBatch(ctx, request, attr, syntax, /*removeAll=*/false, one);
    return rc == kDirErrBufferFull ? kDirErrValueTooLarge : rc;
}

// The key under which the directory tells two string values apart: ASCII letters folded, the trail byte of
// a double-byte character kept as it is (it may look like a letter without being one).
std::string FoldedKey(std::string_view text) {
    std::string key;
    key.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByte(byte) && i + 1 < text.size()) {
            key.push_back(text[i]);
            key.push_back(text[++i]);
            continue;
        }
        key.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a')
                                                 : static_cast<char>(byte));
    }
    return key;
}

// A Distinguished Name value must name an object, as the directory stores the object rather than the text.
// The object's own name is the value's key, so that two spellings of one name ("Ann.Corp.[Root]",
// "ann.corp") count as one value. Read without following aliases: an alias is a value of its own.
int32_t NamedObjectKey(int32_t altCtx, const char* value, std::string* key) {
    char stored[kDirMaxNameBytes + 1] = {};
    DirObjectInfo info{};
    const int32_t rc = DirReadObjectInfo(altCtx, value, stored, &info);
    if (rc == kDirErrNoSuchObject) {
        return kDirErrDanglingReference; // what the write itself would answer
    }
    if (rc == kDirErrNoRight) {
        // The object is there but hidden from this identity: a list that keeps a value the writer cannot
        // browse is still a list the directory takes, so the value stands for itself.
        *key = FoldedKey(value);
        return kDirOk;
    }
    if (rc == kDirOk) {
        *key = FoldedKey(stored);
    }
    return rc;
}

// Frees a context made here on every path.
class OwnedContext {
public:
    OwnedContext() = default;
    ~OwnedContext() {
        if (m_handle > 0) {
            static_cast<void>(DirFreeContext(m_handle));
        }
    }
    OwnedContext(const OwnedContext&) = delete;
    OwnedContext& operator=(const OwnedContext&) = delete;

    // Makes the context on first use; the handle, or the failure code.
    int32_t Alt() {
        if (m_handle == 0) {
            m_handle = MakeContext(kContextFlagsCommon, kContextFlagsAliasAware);
        }
        return m_handle;
    }

private:
    int32_t m_handle = 0;
};

// Works out what a list write sends before its first request goes, so that a write the directory would
// refuse for one of its values refuses before anything changed: the attribute's syntax from the vocabulary,
// each value's form and size, and repeats. A repeat (as the directory compares values: letter case ignored
// for strings, names compared as the objects they name) is dropped and the first spelling kept: the list
// is a set, and refusing a whole edit for a value the caller already gave would lose the rest of it.
// On kDirOk, kept holds the values to send, in the caller's order; they point into values.
int32_t PrepareList(int32_t ctx, DirBuffer* probe, const char* attr, uint32_t syntax,
                    const CStringArray& values, std::vector<const char*>* kept) {
    const SchemaAttribute* schema = FindSchemaAttribute(attr);
    if (schema == nullptr) {
        return kDirErrNoSuchAttribute;
    }
    if (schema->syntax != syntax) {
        return kDirErrWrongSyntax;
    }
    OwnedContext altCtx;
    std::unordered_set<std::string> seen;
    kept->clear();
    kept->reserve(static_cast<size_t>(values.GetSize()));
    for (int i = 0; i < values.GetSize(); ++i) {
        const char* value = values[i];
        std::string key;
        int32_t rc = kDirOk;
        if (syntax == kSyntaxDistinguishedName) {
            const int32_t alt = altCtx.Alt();
            rc = alt > 0 ? NamedObjectKey(alt, value, &key) : alt;
        } else {
            key = FoldedKey(value);
        }
        if (rc != kDirOk) {
            return rc;
        }
        if (!seen.insert(std::move(key)).second) {
            continue;
        }
        rc = CheckValueFits(ctx, probe, attr, syntax, value, static_cast<size_t>(values[i].GetLength()));
        if (rc != kDirOk) {
            return rc;
        }
        kept->push_back(value);
    }
    if (!schema->multiValued && kept->size() > 1) {
        return kDirErrSingleValued;
    }
    return kDirOk;
}

void ShowCodeFormat(unsigned formatId, int32_t code) {
    FormatMessageBox(formatId, MB_OK | MB_ICONEXCLAMATION, {static_cast<int64_t>(code)});
}

} // namespace

int32_t CreateDirContext() {
    return MakeContext(kContextFlagsCommon | kContextFlagsAliasAware, 0);
}

int32_t CreateDirContextAlt() {
    return MakeContext(kContextFlagsCommon, kContextFlagsAliasAware);
}

int32_t CanWriteACL(int32_t ctx, const char* subject, const char* object) {
    uint32_t rights = 0;
    const int32_t rc = DirGetEffectiveRights(ctx, subject, object, kAttrAcl, &rights);
    if (rc != kDirOk) {
        Finish(rc);
        AfxMessageBox(kMsgRightsQueryFailed, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    Finish(kDirOk);
    return (rights & kRightWrite) != 0 ? 1 : 0;
}

int32_t CanWriteAttribute(int32_t ctx, const char* subject, const char* object, const char* attr) {
    uint32_t rights = 0;
    const int32_t rc = DirGetEffectiveRights(ctx, subject, object, attr, &rights);
    if (rc != kDirOk) {
        return Finish(rc);
    }
    Finish(kDirOk);
    return (rights & kRightWrite) != 0 ? 1 : 0;
}

int32_t IsCurrentIdentity(int32_t ctx, const char* name) {
    char identity[kIdentityBytes] = {};
    const int32_t rc = DirWhoAmI(ctx, identity);
    if (rc != kDirOk) {
        Finish(rc);
        AfxMessageBox(kMsgIdentityQueryFailed, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    Finish(kDirOk);
    identity[kIdentityBytes - 1] = '\0';
    return name != nullptr && NamesEqualNoCase(identity, name) ? 1 : 0;
}

int32_t ReadAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, void** value) {
    if (value == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    *value = nullptr;
    AttributeRead read(ctx, kDirBufferSmall);
    int32_t rc = read.Start(attr);
    uint32_t valueCount = 0;
    if (rc == kDirOk) {
        rc = read.NextReply(object, syntax, &valueCount);
    }
    if (rc == kDirOk && valueCount == 0) {
        rc = kDirErrNoSuchAttribute;
    }
    if (rc == kDirOk) {
        uint32_t size = 0;
        rc = TakeValue(ctx, read.Reply(), syntax, value, &size);
    }
    return Finish(rc);
}

int32_t ReadAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                       CStringArray* values) {
    if (values == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    values->RemoveAll();
    if (!IsStringSyntax(syntax)) {
        return Finish(kDirErrWrongSyntax);
    }
    AttributeRead read(ctx, kDirBufferReply);
    int32_t rc = read.Start(attr);
    if (rc != kDirOk) {
        return Finish(rc);
    }
    do {
        uint32_t valueCount = 0;
        rc = read.NextReply(object, syntax, &valueCount);
        if (rc != kDirOk) {
            return Finish(rc);
        }
        for (uint32_t i = 0; i < valueCount; ++i) {
            void* block = nullptr;
            uint32_t size = 0;
            rc = TakeValue(ctx, read.Reply(), syntax, &block, &size);
            if (rc != kDirOk) {
                return Finish(rc);
            }
            const auto* text = static_cast<const char*>(block);
            values->Add(CString(std::string_view(text, strnlen(text, size))));
            std::free(block);
        }
    } while (!read.Complete());
    return Finish(kDirOk);
}

int32_t AddAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, const void* value) {
    return ModifyOneValue(ctx, object, attr, syntax, value, kDirChangeAddValue);
}

int32_t RemoveAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                        const void* value) {
    return ModifyOneValue(ctx, object, attr, syntax, value, kDirChangeRemoveValue);
}

int32_t SetAttrValue(int32_t ctx, const char* object, const char* attr, uint32_t syntax, const void* value) {
    if (value == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    RequestBuffer request(kDirBufferSmall);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, request.Get());
    if (rc == kDirOk) {
        rc = DirPutChange(ctx, request.Get(), kDirChangeRemoveAllValues, attr);
    }
    const bool removesOnly = syntax == kSyntaxCaseIgnoreString && static_cast<const char*>(value)[0] == '\0';
    if (rc == kDirOk && !removesOnly) {
        rc = DirPutChange(ctx, request.Get(), kDirChangeAddValue, attr);
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, request.Get(), syntax, value);
        }
    }
    if (rc == kDirOk) {
        rc = DirModifyObject(ctx, object, 0, 0, request.Get());
    }
    return Finish(rc);
}

int32_t SetAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                      const CStringArray* values) {
    if (values == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    if (!IsStringSyntax(syntax)) {
        return Finish(kDirErrWrongSyntax);
    }
    RequestBuffer request(kDirBufferLarge);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    std::vector<const char*> kept;
    int32_t rc = PrepareList(ctx, request.Get(), attr, syntax, *values, &kept);
    if (rc != kDirOk) {
        return Finish(rc);
    }
    // The request in hand holds "remove all" while removeAll is set, and the values [batchStart, next).
    bool removeAll = true;
    size_t batchStart = 0;
    rc = FillBatch(ctx, request.Get(), attr, syntax, removeAll, {});
    size_t next = 0;
    while (rc == kDirOk && next < kept.size()) {
        rc = DirPutChange(ctx, request.Get(), kDirChangeAddValue, attr);
        bool changePut = false;
        if (rc == kDirOk) {
            changePut = true;
            rc = DirPutAttrValue(ctx, request.Get(), syntax, kept[next]);
        }
        if (rc == kDirOk) {
            ++next;
            continue;
        }
        if (rc != kDirErrBufferFull) {
            break;
        }
        // The request is full. A change whose value did not fit must not travel alone, so the request is
        // rebuilt without it before it is sent.
        if (changePut) {
            rc = FillBatch(ctx, request.Get(), attr, syntax, removeAll,
                           std::span<const char* const>(kept).subspan(batchStart, next - batchStart));
            if (rc != kDirOk) {
                break;
            }
        }
        rc = DirModifyObject(ctx, object, 0, 0, request.Get());
        if (rc != kDirOk) {
            break;
        }
        removeAll = false;
        batchStart = next;
        rc = DirInitBuffer(ctx, kDirOpModify, request.Get());
    }
    if (rc == kDirOk) {
        rc = DirModifyObject(ctx, object, 0, 0, request.Get());
    }
    return Finish(rc);
}

namespace {

// One value of a list edit: removed (kDirChangeRemoveValue) or added (kDirChangeAddValue).
struct ValueChange {
    int32_t change;
    const char* value;
};

// What the change wanted is so already: the value is gone, or there.
bool AlreadyDone(int32_t change, int32_t code) {
    return change == kDirChangeAddValue ? code == kDirErrValueExists
                                        : code == kDirErrNoSuchValue || code == kDirErrNoSuchAttribute;
}

// Puts changes into a fresh modify request; answers kDirErrBufferFull when they do not all fit, with *fitting
// the number that did.
int32_t PutChanges(int32_t ctx, DirBuffer* request, const char* attr, uint32_t syntax,
                   std::span<const ValueChange> changes, size_t* fitting) {
    *fitting = 0;
    int32_t rc = DirInitBuffer(ctx, kDirOpModify, request);
    for (const ValueChange& one : changes) {
        if (rc == kDirOk) {
            rc = DirPutChange(ctx, request, one.change, attr);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(ctx, request, syntax, one.value);
        }
        if (rc != kDirOk) {
            break;
        }
        ++*fitting;
    }
    return rc;
}

std::string KeyOf(const CString& value) {
    return FoldedKey(
        std::string_view(static_cast<const char*>(value), static_cast<size_t>(value.GetLength())));
}

std::unordered_set<std::string> KeysOf(const CStringArray& values) {
    std::unordered_set<std::string> keys;
    for (INT_PTR i = 0; i < values.GetSize(); ++i) {
        keys.insert(KeyOf(values[i]));
    }
    return keys;
}

// The values of `from` whose keys `other` lacks, each once.
void ValuesNotIn(const CStringArray& from, const std::unordered_set<std::string>& other, CStringArray* out) {
    if (out == nullptr) {
        return;
    }
    out->RemoveAll();
    std::unordered_set<std::string> taken;
    for (INT_PTR i = 0; i < from.GetSize(); ++i) {
        std::string key = KeyOf(from[i]);
        if (other.count(key) == 0 && taken.insert(std::move(key)).second) {
            out->Add(from[i]);
        }
    }
}

} // namespace

void DiffAttrValues(const CStringArray& before, const CStringArray& after, CStringArray* removed,
                    CStringArray* added) {
    ValuesNotIn(before, KeysOf(after), removed);
    ValuesNotIn(after, KeysOf(before), added);
}

int32_t ChangeAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                         const CStringArray* removed, const CStringArray* added, CStringArray* refused) {
    if (refused != nullptr) {
        refused->RemoveAll();
    }
    if (!IsStringSyntax(syntax)) {
        return Finish(kDirErrWrongSyntax);
    }
    std::vector<ValueChange> changes;
    for (const auto& [list, change] :
         {std::pair{removed, kDirChangeRemoveValue}, std::pair{added, kDirChangeAddValue}}) {
        std::unordered_set<std::string> seen;
        for (INT_PTR i = 0; list != nullptr && i < list->GetSize(); ++i) {
            if (seen.insert(KeyOf((*list)[i])).second) {
                changes.push_back({change, (*list)[i]});
            }
        }
    }
    if (changes.empty()) {
        return Finish(kDirOk);
    }
    RequestBuffer request(kDirBufferLarge);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    int32_t firstRefusal = kDirOk;
    size_t start = 0;
    while (start < changes.size()) {
        const std::span<const ValueChange> rest = std::span<const ValueChange>(changes).subspan(start);
        size_t fitting = 0;
        int32_t rc = PutChanges(ctx, request.Get(), attr, syntax, rest, &fitting);
        if (rc == kDirErrBufferFull && fitting > 0) {
            // The change that did not fit must not travel half-written: the request is made again without it.
            rc = PutChanges(ctx, request.Get(), attr, syntax, rest.first(fitting), &fitting);
        }
        if (rc == kDirOk) {
            rc = DirModifyObject(ctx, object, 0, 0, request.Get());
        }
        if (rc != kDirOk) {
            // Someone else already made one of the changes, or the directory refuses one value: each value on
            // its own, so that the others still hold.
            fitting = fitting > 0 ? fitting : 1;
            for (const ValueChange& one : rest.first(fitting)) {
                if (ModifyOneValue(ctx, object, attr, syntax, one.value, one.change) != 1 &&
                    !AlreadyDone(one.change, g_lastError)) {
                    if (firstRefusal == kDirOk) {
                        firstRefusal = g_lastError;
                    }
                    if (refused != nullptr) {
                        refused->Add(one.value);
                    }
                }
            }
        }
        start += fitting;
    }
    return Finish(firstRefusal);
}

int32_t ChangeOrderedAttrValues(int32_t ctx, const char* object, const char* attr, uint32_t syntax,
                                const CStringArray* before, const CStringArray* after) {
    if (before == nullptr || after == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    if (!IsStringSyntax(syntax)) {
        return Finish(kDirErrWrongSyntax);
    }
    CStringArray removedByPerson;
    CStringArray addedByPerson;
    DiffAttrValues(*before, *after, &removedByPerson, &addedByPerson);
    const std::unordered_set<std::string> gone = KeysOf(removedByPerson);
    const std::unordered_set<std::string> come = KeysOf(addedByPerson);
    RequestBuffer request(kDirBufferLarge);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    // A list another writer changes between the read and the write is read again; a few rounds are plenty
    // for people at their sheets.
    constexpr int kRounds = 5;
    int32_t rc = kDirOk;
    for (int round = 0; round < kRounds; ++round) {
        CStringArray now;
        if (ReadAttrValues(ctx, object, attr, syntax, &now) != 1 && g_lastError != kDirErrNoSuchAttribute) {
            return Finish(g_lastError);
        }
        const std::unordered_set<std::string> stored = KeysOf(now);
        std::vector<const char*> result;
        std::unordered_set<std::string> taken;
        for (INT_PTR i = 0; i < after->GetSize(); ++i) {
            std::string key = KeyOf((*after)[i]);
            if ((come.count(key) != 0 || stored.count(key) != 0) && taken.insert(std::move(key)).second) {
                result.push_back((*after)[i]);
            }
        }
        for (INT_PTR i = 0; i < now.GetSize(); ++i) {
            std::string key = KeyOf(now[i]);
            if (gone.count(key) == 0 && taken.insert(std::move(key)).second) {
                result.push_back(now[i]);
            }
        }
        bool same = static_cast<INT_PTR>(result.size()) == now.GetSize();
        for (size_t i = 0; same && i < result.size(); ++i) {
            same = std::strcmp(result[i], now[static_cast<INT_PTR>(i)]) == 0;
        }
        if (same) {
            return Finish(kDirOk);
        }
        std::vector<ValueChange> changes;
        for (INT_PTR i = 0; i < now.GetSize(); ++i) {
            changes.push_back({kDirChangeRemoveValue, now[i]});
        }
        for (const char* value : result) {
            changes.push_back({kDirChangeAddValue, value});
        }
        size_t fitting = 0;
        rc = PutChanges(ctx, request.Get(), attr, syntax, changes, &fitting);
        if (rc == kDirErrBufferFull) {
            return ChangeAttrValues(ctx, object, attr, syntax, &removedByPerson, &addedByPerson);
        }
        if (rc == kDirOk) {
            rc = DirModifyObject(ctx, object, 0, 0, request.Get());
        }
        // "No such value": a value read above was taken away in between; "exists": one was put in.
        if (rc != kDirErrNoSuchValue && rc != kDirErrValueExists) {
            break;
        }
    }
    return Finish(rc);
}

int32_t CompareAttrValue(int32_t ctx, const char* attr, uint32_t syntax, const char* object,
                         const void* value, uint8_t* matched) {
    if (matched == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    *matched = 0;
    RequestBuffer request(kDirBufferSmall);
    if (!request.Ok()) {
        return Finish(request.AllocCode());
    }
    int32_t rc = DirInitBuffer(ctx, kDirOpCompare, request.Get());
    uint32_t schemaSyntax = 0;
    if (rc == kDirOk) {
        rc = DirGetSyntaxId(ctx, attr, &schemaSyntax);
    }
    if (rc == kDirOk && schemaSyntax != syntax) {
        rc = kDirErrWrongSyntax;
    }
    if (rc == kDirOk) {
        rc = DirPutAttrName(ctx, request.Get(), attr);
    }
    if (rc == kDirOk) {
        rc = DirPutAttrValue(ctx, request.Get(), syntax, value);
    }
    if (rc == kDirOk) {
        rc = DirCompare(ctx, object, request.Get(), matched);
    }
    if (rc != kDirOk) {
        *matched = 0;
    }
    return Finish(rc);
}

int32_t CountSubordinates(const char* container, uint32_t* count) {
    if (count == nullptr) {
        return Finish(kDirErrBadArgument);
    }
    *count = 0;
    RequestBuffer reply(kDirBufferSmall);
    if (!reply.Ok()) {
        const int32_t code = reply.AllocCode();
        Finish(code);
        ShowCodeFormat(kFmtBufferAllocFailed, code);
        return 0;
    }
    const int32_t ctx = CreateDirContext();
    if (ctx <= 0) {
        AfxMessageBox(kMsgNoContext, MB_OK | MB_ICONEXCLAMATION);
        return 0;
    }
    int32_t rc = kDirOk;
    uint32_t total = 0;
    {
        IterationGuard iteration(ctx, kDirOpList);
        // A container with more objects than one reply holds is counted over every reply.
        do {
            rc = DirList(ctx, container, iteration.Handle(), reply.Get());
            if (rc != kDirOk) {
                ShowCodeFormat(kFmtListFailed, rc);
                break;
            }
            uint32_t inReply = 0;
            rc = DirGetObjectCount(ctx, reply.Get(), &inReply);
            if (rc != kDirOk) {
                ShowCodeFormat(kFmtObjectCountFailed, rc);
                break;
            }
            total += inReply;
        } while (!iteration.Complete());
    }
    static_cast<void>(DirFreeContext(ctx));
    if (rc != kDirOk) {
        return Finish(rc);
    }
    *count = total;
    return Finish(kDirOk);
}

int32_t GetLastAttrError() {
    return g_lastError;
}
