// The NT side's agent in the NT accounts tests: one key pair that every NT system publishes, and what the
// agent opens from an account's sealed password.
#pragma once

#include "agent/KeyGenerator.h"
#include "agent/Unsealer.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

inline const agent::KeyPair& AgentKey() {
    static const agent::KeyPair key = agent::GenerateKeyPair(848);
    return key;
}

// The agent of `system` publishes its key in "KEL:KEL Public Key".
inline void PublishAgentKey(const char* system) {
    ASSERT_EQ(AgentKey().code, agent::kKeygenOk);
    CDirContext dir;
    DirOctetString key{static_cast<uint32_t>(AgentKey().publicBlob.size()),
                       const_cast<uint8_t*>(AgentKey().publicBlob.data())};
    ASSERT_EQ(SetAttrValue(dir.Get(), system, kAttrKelPublicKey, kSyntaxOctetString, &key), 1);
}

// What the agent opens from the account's "KEL:Authentication"; nullopt when it holds nothing it opens.
inline std::optional<std::string> Unsealed(const char* account) {
    CDirContext dir;
    DirValuePtr value = ReadAttrValueOwned(dir.Get(), account, kAttrAuthentication, kSyntaxOctetString);
    if (!value) {
        return std::nullopt;
    }
    const auto* octets = static_cast<const DirOctetString*>(value.get());
    const agent::KeyPair& key = AgentKey();
    agent::UnsealResult result =
        agent::UnsealPassword(key.privateBlob.data(), key.privateBlob.size(), octets->data, octets->length);
    if (!result.ok) {
        return std::nullopt;
    }
    return std::string(result.password.begin(), result.password.end());
}
