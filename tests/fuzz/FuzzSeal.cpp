// Fuzzes what an outsider controls on the sealing side: the key blob read from "KEL:KEL Public Key" (import,
// key-data parsing, every transform mode) and the password handed to the sealing.

#include "agent/Inspector.h"
#include "module/password/SealPassword.h"
#include "module/password/rsa/KeyData.h"
#include "module/password/rsa/KeyObject.h"
#include "module/password/rsa/RsaCodes.h"
#include "module/password/rsa/RsaEncrypt.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: password length; second: transform mode. The rest is the key blob, so a plain blob
    // file still reaches the import with little mutation.
    const size_t passwordLength = data[0] % 150;
    const int mode = data[1] % 8;
    const uint8_t* blob = data + 2;
    const size_t blobLength = size - 2;

    std::string password(passwordLength, 'p');
    for (size_t i = 0; i < passwordLength; ++i) {
        password[i] = static_cast<char>(i < blobLength ? (blob[i] | 1) : 'q');
    }
    CPasswordSealer sealer(0);
    std::vector<uint8_t> out(kSealedValueSize + 32, 0xEE);
    const int32_t code =
        sealer.Seal(blob, static_cast<uint32_t>(blobLength), out.data(), kSealedValueSize, password.c_str());
    for (size_t i = kSealedValueSize; i < out.size(); ++i) {
        if (out[i] != 0xEE) {
            std::abort(); // written past the capacity
        }
    }
    if (code == 0 && passwordLength > kMaxPasswordLength) {
        std::abort();
    }

    rsa::CKeyObject key;
    if (rsa::ImportKeyBlob(key, blob, blobLength) == rsa::kOk) {
        rsa::CRandomGenerator generator;
        for (int i = 0; i < 100; ++i) {
            generator.Seed(static_cast<uint8_t>(i));
        }
        const uint32_t blockLength = rsa::InputBlockLength(key, mode);
        std::vector<uint8_t> input(2 * blockLength + 3, 0x21);
        std::vector<uint8_t> output(4096);
        uint32_t written = 0;
        (void)rsa::RsaEncrypt(key, mode, input.data(), static_cast<uint32_t>(input.size()), blockLength,
                              output.data(), static_cast<uint32_t>(output.size()), &written, generator);
        if (written > output.size()) {
            std::abort();
        }
    }
    (void)agent::Inspect(blob, blobLength);
    return 0;
}
