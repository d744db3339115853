// Figures for the NT account operations over the in-memory store: a user's move between two NT domains with
// a growing number of global groups, and a user's NT accounts made from a template that lists a growing
// number of NT systems.
#include "module/directory/AttrAccess.h"
#include "module/directory/Schema.h"
#include "module/handlers/AccountMove.h"
#include "module/handlers/TemplateAccounts.h"
#include "platform/dirclient/DirClient.h"
#include "platform/winapi/Prompter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct World {
    World() {
        if (DirOpenMemoryStore() != kDirOk || DirLogin("Admin", "") != kDirOk) {
            Fail("no store");
        }
        ctx = CreateDirContext();
        if (ctx <= 0 || DirAllocBuffer(kDirBufferSmall, &buf) != kDirOk) {
            Fail("no context");
        }
        Add("Corp", "Organization");
    }
    ~World() {
        static_cast<void>(DirFreeBuffer(buf));
        static_cast<void>(DirFreeContext(ctx));
        static_cast<void>(DirCloseStore());
        Prompter::Instance().Reset();
    }
    [[noreturn]] static void Fail(const char* what) {
        std::fprintf(stderr, "%s\n", what);
        std::exit(1);
    }
    void Add(const std::string& object, const char* objectClass) {
        int32_t rc = DirInitBuffer(ctx, kDirOpAdd, buf);
        rc = rc == kDirOk ? DirPutAttrName(ctx, buf, kAttrObjectClass) : rc;
        rc = rc == kDirOk ? DirPutAttrValue(ctx, buf, kSyntaxClassName, objectClass) : rc;
        rc = rc == kDirOk ? DirAddObject(ctx, object.c_str(), 0, 0, buf) : rc;
        if (rc != kDirOk) {
            Fail(object.c_str());
        }
    }
    void AddText(const std::string& object, const char* attr, uint32_t syntax, const std::string& value) {
        if (AddAttrValue(ctx, object.c_str(), attr, syntax, value.c_str()) != 1) {
            Fail(attr);
        }
    }
    // An NT domain with its default group and `groups` further global groups.
    void AddDomain(const std::string& domain, int64_t groups) {
        Add(domain, kClassNtDomain);
        AddText(domain, kAttrNtDefaultGroupName, kSyntaxCaseIgnoreString, "Domain Users");
        Add("Domain Users." + domain, kClassNtGlobalGroup);
        for (int64_t i = 0; i < groups; ++i) {
            Add("Group" + std::to_string(i) + "." + domain, kClassNtGlobalGroup);
        }
    }
    int32_t ctx = 0;
    DirBuffer* buf = nullptr;
};

void BM_MoveAccountMemberships(benchmark::State& state) {
    World world;
    const int64_t groups = state.range(0);
    world.AddDomain("DomA.Corp", groups);
    world.AddDomain("DomB.Corp", groups);
    world.Add("Ann.DomA.Corp", kClassNtUser);
    for (int64_t i = 0; i < groups; ++i) {
        const std::string group = "Group" + std::to_string(i) + ".DomA.Corp";
        world.AddText(group, kAttrMember, kSyntaxDistinguishedName, "Ann.DomA.Corp");
        world.AddText("Ann.DomA.Corp", kAttrGroupMembership, kSyntaxDistinguishedName, group);
    }
    const char* domains[] = {"DomA.Corp", "DomB.Corp"};
    int at = 0;
    for (auto _ : state) {
        const int to = 1 - at;
        const std::string moved = std::string("Ann.") + domains[to];
        // The host's own move is part of what a person waits for.
        if (DirMoveObject(world.ctx, (std::string("Ann.") + domains[at]).c_str(), domains[to]) != kDirOk) {
            World::Fail("move");
        }
        benchmark::DoNotOptimize(MoveAccountMemberships(moved.c_str(), domains[at], domains[to]));
        at = to;
    }
    if (!Prompter::Instance().Messages().empty()) {
        state.SkipWithError("a message was shown");
    }
    state.counters["groups"] = static_cast<double>(groups);
}
BENCHMARK(BM_MoveAccountMemberships)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

void BM_CreateAccountsFromTemplate(benchmark::State& state) {
    World world;
    const int64_t servers = state.range(0);
    world.Add("Tmpl.Corp", kClassTemplate);
    for (int64_t i = 0; i < servers; ++i) {
        const std::string domain = "Dom" + std::to_string(i) + ".Corp";
        world.AddDomain(domain, 2);
        world.AddText("Tmpl.Corp", kAttrApplicationServerList, kSyntaxDistinguishedName, domain);
    }
    world.AddText("Tmpl.Corp", kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Group0");
    world.AddText("Tmpl.Corp", kAttrTemplateGroups, kSyntaxCaseIgnoreString, "g.Group1");
    world.AddText("Tmpl.Corp", kAttrTemplatePrimaryGroup, kSyntaxCaseIgnoreString, "Group0");
    world.AddText("Tmpl.Corp", kAttrProfilePath, kSyntaxCaseIgnoreString, "\\\\srv\\profiles");
    // The same user each time, its accounts removed between runs, so every run meets the same store.
    int64_t runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        world.Add("Ulla.Corp", kClassUser);
        state.ResumeTiming();
        benchmark::DoNotOptimize(CreateAccountsFromTemplate("Ulla.Corp", "Tmpl.Corp"));
        state.PauseTiming();
        for (int64_t i = 0; i < servers; ++i) {
            const std::string account = "Ulla.Dom" + std::to_string(i) + ".Corp";
            if (DirRemoveObject(world.ctx, account.c_str()) != kDirOk) {
                World::Fail("remove");
            }
        }
        if (DirRemoveObject(world.ctx, "Ulla.Corp") != kDirOk) {
            World::Fail("remove");
        }
        ++runs;
        state.ResumeTiming();
    }
    if (!Prompter::Instance().Messages().empty()) {
        state.SkipWithError("a message was shown");
    }
    state.counters["accounts/s"] =
        benchmark::Counter(static_cast<double>(runs * servers), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CreateAccountsFromTemplate)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
