// What applying a global group's members page costs on the SQLite store when its list holds many members:
// the members are picked in the selection dialog as a person picks them, and only the apply is timed (the
// group's "Member" rewritten, every member's "KEL:Group Membership" compared and, lacking the group, added).
// Beside each figure stands the floor measured in the same run: one fdatasync of one page on the same disk.
//
//   group_members_bench DIR [--runs N]
#include "host/services/HostServices.h"
#include "host/services/HostSheet.h"
#include "module/core/KelNTApp.h"
#include "module/core/SelectionDialog.h"
#include "module/directory/AttrAccess.h"
#include "module/directory/DirContext.h"
#include "module/directory/Schema.h"
#include "module/pages/groups/GroupPage_Members.h"
#include "bench/BenchSupport.h"
#include "platform/dirclient/DirClient.h"
#include "platform/ui/window/UiDriver.h"
#include "platform/ui/window/UserActions.h"
#include "platform/ui/window/Window.h"
#include "platform/winapi/WinApi.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSizes[] = {1000, 3000, 10000};
constexpr char kDomainName[] = "NTD.Bench";

using bench::Check;
using bench::Median;

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

std::string UserName(int i) {
    char leaf[32];
    std::snprintf(leaf, sizeof leaf, "U%05d", i);
    return std::string(leaf) + "." + kDomainName;
}

// Picks the first `count` rows of the selection dialog (the users, in name order) and presses Enter.
class PickFirstRows : public UiDriver {
public:
    explicit PickFirstRows(int count) : m_count(count) {}
    bool NextAction(ModalContext& context) override {
        HWND list = GetDlgItem(context.window, kIdcSelectionList);
        for (int row = 0; row < m_count; ++row) {
            SendMessageA(list, LB_SETSEL, TRUE, row);
        }
        SendMessageA(context.window, WM_COMMAND, MAKEWPARAM(kIdcSelectionList, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        return PressKey(context.window, UiKey::Enter) == UiActionError::None;
    }

private:
    int m_count;
};

struct Figure {
    double applyMs;
    double floorMicros;
};

Figure ApplyOnce(const std::string& dir, int size, int run) {
    const std::string group = "G" + std::to_string(size) + "r" + std::to_string(run) + "." + kDomainName;
    AddObject(group, kClassNtGlobalGroup);
    PickFirstRows driver(size);
    UiDriver* previous = SetUiDriver(&driver);
    HostSheet sheet;
    Check(sheet.Open(kClassNtGlobalGroup, group).empty(), "open sheet");
    const int index = sheet.FindPage("Members");
    Check(index >= 0 && sheet.SetCurrentPage(index), "members page");
    Check(Click(sheet.Page(index), kIdcGroupMembersAdd) == UiActionError::None, "add");
    const double floor = bench::SyncProbe(dir).Floor();
    const auto start = Clock::now();
    const HostSheet::ApplyResult applied = sheet.Apply();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    Check(applied.refusedPage < 0 && applied.answer == 0, "apply");
    static_cast<void>(sheet.Close(kEndPagesOk));
    SetUiDriver(previous);
    CStringArray members;
    {
        CDirContext ctx;
        Check(ReadAttrValues(ctx.Get(), group.c_str(), kAttrMember, kSyntaxDistinguishedName, &members) == 1 &&
                  members.GetSize() == size,
              "members stored");
    }
    // The next run starts from accounts that name no bench group but this one's: leave them as they are,
    // each run adds its own group to every member.
    return {ms, floor};
}

} // namespace

int main(int argc, char** argv) {
    const bench::Args args = bench::ParseArgs(argc, argv, 3);
    const std::string& dir = args.dir;
    const int runs = args.runs;
    const std::string store = dir + "/group-members-bench.db";
    bench::RemoveStore(store);
    RegistryUseMemory();
    HostServices::Instance().Reset();
    Check(DirOpenStore(store.c_str(), 1) == kDirOk, "open store");
    Check(DirLogin("Admin", nullptr) == kDirOk, "login");
    AddObject("Bench", "Organization");
    AddObject(kDomainName, kClassNtDomain);
    const int most = *std::max_element(std::begin(kSizes), std::end(kSizes));
    for (int i = 0; i < most; ++i) {
        AddObject(UserName(i), kClassNtUser);
    }
    auto app = std::make_unique<CKelNTApp>();
    Check(app->InitInstance() != FALSE && InitSnapin() == 0, "module start");

    std::printf("members | apply ms (median of %d) | us per member | floor us (fdatasync)\n", runs);
    for (int size : kSizes) {
        std::vector<double> ms;
        std::vector<double> floors;
        for (int run = 0; run < runs; ++run) {
            const Figure figure = ApplyOnce(dir, size, run);
            ms.push_back(figure.applyMs);
            floors.push_back(figure.floorMicros);
        }
        const double median = Median(ms);
        std::printf("%d | %.0f | %.1f | %.1f\n", size, median, median * 1000.0 / size, Median(floors));
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
