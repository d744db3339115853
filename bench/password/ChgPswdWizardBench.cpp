// What the change-password wizard costs a directory user's NT account on the SQLite store: the wizard runs
// through its three pages as a person runs it, for users with accounts in 1, 10 and 50 NT systems, and the
// cost an account is (wizard with n accounts - wizard with none) / n. Beside it stand, measured in the same
// run, one durable write of a 500-byte sealed value and one sealing: an account should cost about their sum
// (within 1.5x), whatever n is.
//
//   chgpswd_wizard_bench DIR [--runs N]
#include "agent/KeyGenerator.h"
#include "host/services/HostServices.h"
#include "module/core/KelNTApp.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/password/ChgPswdWizard.h"
#include "module/password/SealPassword.h"
#include "bench/BenchSupport.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSizes[] = {0, 1, 10, 50};

using bench::Check;
using bench::Median;
using bench::MicrosSince;

void AddObject(const std::string& object, const char* objectClass) {
    CDirContext dir;
    DirBuffer* buffer = nullptr;
    Check(DirAllocBuffer(kDirBufferSmall, &buffer) == kDirOk, "buffer");
    Check(DirInitBuffer(dir.Get(), kDirOpAdd, buffer) == kDirOk &&
              DirPutAttrName(dir.Get(), buffer, kAttrObjectClass) == kDirOk &&
              DirPutAttrValue(dir.Get(), buffer, kSyntaxClassName, objectClass) == kDirOk &&
              DirAddObject(dir.Get(), object.c_str(), 0, 0, buffer) == kDirOk,
          object.c_str());
    static_cast<void>(DirFreeBuffer(buffer));
}

std::string SystemName(int i) {
    return "NT" + std::to_string(i) + ".Bench";
}

std::string UserName(int size) {
    return "U" + std::to_string(size) + ".Bench";
}

// The person: types the password twice and goes through to Finish.
class RunThrough : public UiDriver {
public:
    explicit RunThrough(std::string password) : m_password(std::move(password)) {}
    bool NextAction(ModalContext& context) override {
        HWND page = context.ActivePage();
        switch (context.ActiveTemplateId()) {
        case kIddChgPswdPage1:
            return TypeText(page, kIdcChgPswdNew, m_password) == UiActionError::None &&
                   TypeText(page, kIdcChgPswdConfirm, m_password) == UiActionError::None &&
                   Click(context.window, ID_WIZNEXT) == UiActionError::None;
        case kIddChgPswdPage2:
            return Click(context.window, ID_WIZNEXT) == UiActionError::None;
        case kIddChgPswdPage3:
            return Click(context.window, ID_WIZFINISH) == UiActionError::None;
        default:
            return false;
        }
    }

private:
    std::string m_password;
};

double WizardMicros(int size, int run) {
    RunThrough person("Pw" + std::to_string(size) + "x" + std::to_string(run));
    // The accounts as the user's NT accounts page lists them: the user's stored list.
    std::vector<CString> accounts;
    {
        CDirContext dir;
        CStringArray names;
        static_cast<void>(ReadAttrValues(dir.Get(), UserName(size).c_str(), kAttrApplicationServerList,
                                         kSyntaxDistinguishedName, &names));
        for (INT_PTR i = 0; i < names.GetSize(); ++i) {
            accounts.emplace_back(names[i]);
        }
    }
    UiDriver* previous = SetUiDriver(&person);
    const auto start = Clock::now();
    const INT_PTR result = RunChgPswdWizard(UserName(size).c_str(), std::move(accounts));
    const double micros = MicrosSince(start);
    SetUiDriver(previous);
    Check(result == ID_WIZFINISH, "wizard");
    return micros;
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv, 5);
    const std::string& dir = args.dir;
    const int runs = args.runs;
    const std::string store = dir + "/chgpswd-wizard-bench.db";
    bench::RemoveStore(store);
    RegistryUseMemory();
    HostServices::Instance().Reset();
    Check(DirOpenStore(store.c_str(), 1) == kDirOk, "open store");
    // The directory's own password hash is a fixed cost a wizard run, the same at any n; kept cheap so
    // that the per-account figure is not lost in its noise.
    Check(DirSetPasswordHashCost(1, 8192) == kDirOk, "hash cost");
    Check(DirLogin("Admin", nullptr) == kDirOk, "login");
    AddObject("Bench", "Organization");
    const agent::KeyPair key = agent::GenerateKeyPair(848);
    Check(key.code == agent::kKeygenOk, "keygen");
    DirOctetString blob{static_cast<uint32_t>(key.publicBlob.size()), const_cast<uint8_t*>(key.publicBlob.data())};
    const int most = *std::max_element(std::begin(kSizes), std::end(kSizes));
    for (int i = 0; i < most; ++i) {
        AddObject(SystemName(i), kClassNtDomain);
        CDirContext ctx;
        Check(SetAttrValue(ctx.Get(), SystemName(i).c_str(), kAttrKelPublicKey, kSyntaxOctetString, &blob) == 1,
              "publish");
    }
    for (int size : kSizes) {
        AddObject(UserName(size), kClassUser);
        for (int i = 0; i < size; ++i) {
            const std::string account = "U" + std::to_string(size) + "." + SystemName(i);
            AddObject(account, kClassHybridUser);
            CDirContext ctx;
            Check(AddAttrValue(ctx.Get(), UserName(size).c_str(), kAttrApplicationServerList,
                               kSyntaxDistinguishedName, account.c_str()) == 1,
                  "list account");
        }
    }
    auto app = std::make_unique<CKelNTApp>();
    Check(app->InitInstance() != FALSE && InitSnapin() == 0, "module start");

    // The two parts an account is made of, measured now, on this disk.
    std::vector<double> writes;
    std::vector<double> seals;
    std::array<uint8_t, kSealedValueSize> sealed{};
    const std::string probe = "U1." + SystemName(0);
    for (int i = 0; i < 50; ++i) {
        auto start = Clock::now();
        Check(SealPassword(key.publicBlob.data(), static_cast<uint32_t>(key.publicBlob.size()), sealed.data(),
                           kSealedValueSize, "Probe123") == 0,
              "seal");
        seals.push_back(MicrosSince(start));
        DirOctetString value{kSealedValueSize, sealed.data()};
        start = Clock::now();
        CDirContext ctx;
        Check(SetAttrValue(ctx.Get(), probe.c_str(), kAttrAuthentication, kSyntaxOctetString, &value) == 1,
              "write");
        writes.push_back(MicrosSince(start));
    }
    const double write = Median(writes);
    const double seal = Median(seals);

    std::vector<double> base;
    for (int run = 0; run < runs; ++run) {
        base.push_back(WizardMicros(0, run));
    }
    const double fixed = Median(base);
    std::printf("one durable write us | one sealing us | wizard without accounts us (median of %d)\n", runs);
    std::printf("%.0f | %.0f | %.0f\n", write, seal, fixed);
    std::printf("accounts | wizard ms | us per account | per account / (write + sealing)\n");
    for (int size : kSizes) {
        if (size == 0) {
            continue;
        }
        std::vector<double> samples;
        for (int run = 0; run < runs; ++run) {
            samples.push_back(WizardMicros(size, run));
        }
        const double total = Median(samples);
        const double perAccount = (total - fixed) / size;
        std::printf("%d | %.1f | %.0f | %.2f\n", size, total / 1000.0, perAccount, perAccount / (write + seal));
        std::fflush(stdout);
    }

    HostServices::Instance().CloseAllClasses();
    static_cast<void>(ShutDown());
    HostServices::Instance().ForgetRegistrations();
    app.reset();
    static_cast<void>(DirCloseStore());
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(store + suffix);
    }
    return 0;
}
