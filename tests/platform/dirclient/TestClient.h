// Helpers for the directory client tests: they build requests, make the calls and hand back what came out;
// the assertions stay in the tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/dirclient/DirClient.h"

namespace dirtest {

// A value as a test writes and reads it: text for names and strings, number for the 32-bit syntaxes,
// bytes for octet strings and net addresses (type in number), and ACL parts.
struct TestValue {
    uint32_t syntax = kDirSyntaxCaseIgnoreString;
    std::string text;
    uint32_t number = 0;
    std::string bytes;
    std::string subject;

    bool operator==(const TestValue&) const = default;
};

inline TestValue Text(std::string text, uint32_t syntax = kDirSyntaxCaseIgnoreString) {
    return TestValue{syntax, std::move(text), 0, {}, {}};
}
inline TestValue Dn(std::string name) {
    return Text(std::move(name), kDirSyntaxDistinguishedName);
}
inline TestValue Number(uint32_t number, uint32_t syntax) {
    return TestValue{syntax, {}, number, {}, {}};
}
inline TestValue Octets(std::string bytes) {
    return TestValue{kDirSyntaxOctetString, {}, 0, std::move(bytes), {}};
}
inline TestValue Address(uint32_t type, std::string bytes) {
    return TestValue{kDirSyntaxNetAddress, {}, type, std::move(bytes), {}};
}
inline TestValue Acl(std::string protectedAttr, std::string subject, uint32_t privileges) {
    return TestValue{kDirSyntaxObjectACL, std::move(protectedAttr), privileges, {}, std::move(subject)};
}

// Puts one value in client form; the client copies it, so the temporaries may go afterwards.
inline int32_t PutValue(int32_t ctx, DirBuffer* buf, const TestValue& value) {
    switch (value.syntax) {
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        return DirPutAttrValue(ctx, buf, value.syntax, &value.number);
    case kDirSyntaxOctetString: {
        std::string copy = value.bytes;
        DirOctetString octets{static_cast<uint32_t>(copy.size()), reinterpret_cast<uint8_t*>(copy.data())};
        return DirPutAttrValue(ctx, buf, value.syntax, &octets);
    }
    case kDirSyntaxNetAddress: {
        std::string copy = value.bytes;
        DirNetAddress address{value.number, static_cast<uint32_t>(copy.size()),
                              reinterpret_cast<uint8_t*>(copy.data())};
        return DirPutAttrValue(ctx, buf, value.syntax, &address);
    }
    case kDirSyntaxObjectACL: {
        std::string attr = value.text;
        std::string subject = value.subject;
        DirObjectACL acl{attr.data(), subject.data(), value.number};
        return DirPutAttrValue(ctx, buf, value.syntax, &acl);
    }
    default:
        return DirPutAttrValue(ctx, buf, value.syntax, value.text.c_str());
    }
}

// Reads one client-form value block back into a TestValue.
inline TestValue FromClient(uint32_t syntax, const void* block) {
    TestValue value;
    value.syntax = syntax;
    switch (syntax) {
    case kDirSyntaxBoolean:
    case kDirSyntaxInteger:
    case kDirSyntaxTime:
    case kDirSyntaxInterval:
        std::memcpy(&value.number, block, 4);
        break;
    case kDirSyntaxOctetString: {
        const auto* octets = static_cast<const DirOctetString*>(block);
        value.bytes.assign(reinterpret_cast<const char*>(octets->data), octets->length);
        break;
    }
    case kDirSyntaxNetAddress: {
        const auto* address = static_cast<const DirNetAddress*>(block);
        value.number = address->type;
        value.bytes.assign(reinterpret_cast<const char*>(address->address), address->length);
        break;
    }
    case kDirSyntaxObjectACL: {
        const auto* acl = static_cast<const DirObjectACL*>(block);
        value.text = acl->protectedAttrName;
        value.subject = acl->subjectName;
        value.number = acl->privileges;
        break;
    }
    default:
        value.text = static_cast<const char*>(block);
        break;
    }
    return value;
}

struct Change {
    int32_t change;
    std::string attr;
    std::vector<TestValue> values;
};

struct Attribute {
    std::string name;
    uint32_t syntax = 0;
    std::vector<TestValue> values;
    bool operator==(const Attribute&) const = default;
};

struct Entry {
    std::string name;
    std::string baseClass;
    uint32_t subordinates = 0;
    uint32_t flags = 0;
};

// Owns a context for the length of a test step.
class Client {
public:
    Client() : m_ctx(DirCreateContext()) {}
    explicit Client(uint32_t flags) : Client() { (void)DirSetContextKey(m_ctx, kDirKeyFlags, &flags); }
    ~Client() {
        if (m_ctx > 0) {
            (void)DirFreeContext(m_ctx);
        }
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int32_t Ctx() const { return m_ctx; }

    int32_t Modify(const std::string& object, const std::vector<Change>& changes, uint32_t size = 4096) {
        DirBuffer* buf = nullptr;
        int32_t rc = DirAllocBuffer(size, &buf);
        if (rc == kDirOk) {
            rc = DirInitBuffer(m_ctx, kDirOpModify, buf);
        }
        for (const auto& change : changes) {
            if (rc == kDirOk) {
                rc = DirPutChange(m_ctx, buf, change.change, change.attr.c_str());
            }
            for (const auto& value : change.values) {
                if (rc == kDirOk) {
                    rc = PutValue(m_ctx, buf, value);
                }
            }
        }
        if (rc == kDirOk) {
            rc = DirModifyObject(m_ctx, object.c_str(), 0, 0, buf);
        }
        (void)DirFreeBuffer(buf);
        return rc;
    }
    int32_t Set(const std::string& object, const std::string& attr, const TestValue& value) {
        return Modify(object, {{kDirChangeRemoveAllValues, attr, {}}, {kDirChangeAddValue, attr, {value}}});
    }
    int32_t AddValue(const std::string& object, const std::string& attr, const TestValue& value) {
        return Modify(object, {{kDirChangeAddValue, attr, {value}}});
    }
    int32_t RemoveValue(const std::string& object, const std::string& attr, const TestValue& value) {
        return Modify(object, {{kDirChangeRemoveValue, attr, {value}}});
    }
    int32_t Grant(const std::string& object, const std::string& subject, const std::string& protectedAttr,
                  uint32_t rights) {
        return AddValue(object, "ACL", Acl(protectedAttr, subject, rights));
    }

    int32_t Add(const std::string& object, const std::string& className,
                const std::vector<Attribute>& more = {}) {
        DirBuffer* buf = nullptr;
        int32_t rc = DirAllocBuffer(4096, &buf);
        if (rc == kDirOk) {
            rc = DirInitBuffer(m_ctx, kDirOpAdd, buf);
        }
        if (rc == kDirOk) {
            rc = DirPutAttrName(m_ctx, buf, "Object Class");
        }
        if (rc == kDirOk) {
            rc = DirPutAttrValue(m_ctx, buf, kDirSyntaxClassName, className.c_str());
        }
        for (const auto& attr : more) {
            if (rc == kDirOk) {
                rc = DirPutAttrName(m_ctx, buf, attr.name.c_str());
            }
            for (const auto& value : attr.values) {
                if (rc == kDirOk) {
                    rc = PutValue(m_ctx, buf, value);
                }
            }
        }
        if (rc == kDirOk) {
            rc = DirAddObject(m_ctx, object.c_str(), 0, 0, buf);
        }
        (void)DirFreeBuffer(buf);
        return rc;
    }

    // Reads the named attributes (none: every attribute) through replies of replySize bytes, joining the
    // pieces; *replies counts the DirRead calls.
    int32_t Read(const std::string& object, const std::vector<std::string>& names,
                 std::vector<Attribute>* out, uint32_t replySize = 4096, int* replies = nullptr) {
        out->clear();
        DirBuffer* request = nullptr;
        DirBuffer* reply = nullptr;
        int32_t rc = DirAllocBuffer(4096, &request);
        if (rc == kDirOk) {
            rc = DirAllocBuffer(replySize, &reply);
        }
        if (rc == kDirOk) {
            rc = DirInitBuffer(m_ctx, kDirOpRead, request);
        }
        for (const auto& name : names) {
            if (rc == kDirOk) {
                rc = DirPutAttrName(m_ctx, request, name.c_str());
            }
        }
        int32_t iteration = -1;
        int count = 0;
        do {
            if (rc != kDirOk) {
                break;
            }
            rc = DirRead(m_ctx, object.c_str(), 1, names.empty() ? 1 : 0, names.empty() ? nullptr : request,
                         &iteration, reply);
            ++count;
            uint32_t attrs = 0;
            if (rc == kDirOk) {
                rc = DirGetAttrCount(m_ctx, reply, &attrs);
            }
            for (uint32_t a = 0; rc == kDirOk && a < attrs; ++a) {
                char name[132];
                uint32_t valueCount = 0;
                uint32_t syntax = 0;
                rc = DirGetAttrName(m_ctx, reply, name, &valueCount, &syntax);
                if (rc != kDirOk) {
                    break;
                }
                if (out->empty() || out->back().name != name) {
                    out->push_back(Attribute{name, syntax, {}});
                }
                for (uint32_t v = 0; rc == kDirOk && v < valueCount; ++v) {
                    uint32_t size = 0;
                    rc = DirComputeValueSize(m_ctx, reply, syntax, &size);
                    void* block = rc == kDirOk ? std::malloc(size) : nullptr;
                    if (block != nullptr) {
                        rc = DirGetAttrValue(m_ctx, reply, syntax, block);
                        if (rc == kDirOk) {
                            out->back().values.push_back(FromClient(syntax, block));
                        }
                        std::free(block);
                    }
                }
            }
        } while (rc == kDirOk && iteration != -1);
        if (rc != kDirOk && iteration != -1) {
            (void)DirCloseIteration(m_ctx, iteration, kDirOpRead);
        }
        if (replies != nullptr) {
            *replies = count;
        }
        (void)DirFreeBuffer(request);
        (void)DirFreeBuffer(reply);
        return rc;
    }
    // The values of one attribute, or an empty list when the read fails.
    std::vector<TestValue> Values(const std::string& object, const std::string& attr) {
        std::vector<Attribute> attrs;
        if (Read(object, {attr}, &attrs) != kDirOk || attrs.empty()) {
            return {};
        }
        return attrs.front().values;
    }

    int32_t List(const std::string& container, std::vector<Entry>* out, uint32_t replySize = 4096,
                 int* replies = nullptr) {
        out->clear();
        DirBuffer* reply = nullptr;
        int32_t rc = DirAllocBuffer(replySize, &reply);
        int32_t iteration = -1;
        int count = 0;
        do {
            if (rc != kDirOk) {
                break;
            }
            rc = DirList(m_ctx, container.c_str(), &iteration, reply);
            ++count;
            uint32_t objects = 0;
            if (rc == kDirOk) {
                rc = DirGetObjectCount(m_ctx, reply, &objects);
            }
            for (uint32_t i = 0; rc == kDirOk && i < objects; ++i) {
                char name[512];
                uint32_t attrCount = 0;
                DirObjectInfo info{};
                rc = DirGetObjectName(m_ctx, reply, name, &attrCount, &info);
                if (rc == kDirOk) {
                    out->push_back(Entry{name, info.baseClass, info.subordinateCount, info.objectFlags});
                }
            }
        } while (rc == kDirOk && iteration != -1);
        if (replies != nullptr) {
            *replies = count;
        }
        (void)DirFreeBuffer(reply);
        return rc;
    }

    int32_t Info(const std::string& object, std::string* name, std::string* baseClass) {
        char buffer[512] = {};
        DirObjectInfo info{};
        const int32_t rc = DirReadObjectInfo(m_ctx, object.c_str(), buffer, &info);
        *name = buffer;
        *baseClass = info.baseClass;
        return rc;
    }

    uint32_t Rights(const std::string& subject, const std::string& object, const std::string& attr,
                    int32_t* rc = nullptr) {
        uint32_t rights = 0;
        const int32_t result =
            DirGetEffectiveRights(m_ctx, subject.c_str(), object.c_str(), attr.c_str(), &rights);
        if (rc != nullptr) {
            *rc = result;
        }
        return rights;
    }

private:
    int32_t m_ctx;
};

// A temporary directory removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dirclient-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace dirtest
