// Fuzzes the reader of sealed values: arbitrary 500-byte attribute values against a fixed private key,
// through the agent's reader and the toolkit's decryption modes.

#include "agent/Inspector.h"
#include "agent/Unsealer.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> g_privateBlob;

std::vector<uint8_t> ReadHexLine(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + " = ", 0) == 0) {
            std::vector<uint8_t> out;
            const std::string hex = line.substr(key.size() + 3);
            for (size_t i = 0; i + 1 < hex.size(); i += 2) {
                out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            }
            return out;
        }
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The first key of the fixtures: 848 bits, e = 65537.
    g_privateBlob = ReadHexLine(std::string(KELNT_SOURCE_DIR) + "/tests/fixtures/sealed.vec", "Private");
    if (g_privateBlob.empty()) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const agent::UnsealResult result =
        agent::UnsealPassword(g_privateBlob.data(), g_privateBlob.size(), data, size);
    if (result.ok && result.password.size() > 144) {
        std::abort();
    }
    rsa::CKeyObject key;
    if (rsa::ImportKeyBlob(key, g_privateBlob.data(), g_privateBlob.size()) != rsa::kOk) {
        std::abort();
    }
    std::vector<uint8_t> out(size + 16);
    uint32_t written = 0;
    rsa::CRandomGenerator unused;
    // One toolkit mode per input keeps the private operations, the slow part, to a few per run.
    static constexpr int kModes[] = {rsa::kModeDecrypt, rsa::kModeDecryptChecked, rsa::kModeRawB};
    const int mode = kModes[size % 3];
    (void)rsa::RsaEncrypt(key, mode, data, static_cast<uint32_t>(size), 106, out.data(),
                          static_cast<uint32_t>(out.size()), &written, unused);
    if (written > out.size()) {
        std::abort();
    }
    (void)agent::Inspect(data, size);
    return 0;
}
