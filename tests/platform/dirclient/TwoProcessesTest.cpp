// Several processes on one store file, as several administrators' cvadmin runs are: every check a request
// depends on holds until it commits, a new store is made once and whole, and a session whose user another
// process removed or replaced can do nothing but sign in again.
#include <gtest/gtest.h>

#include <signal.h>
#include <sodium.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/dirclient/DirClient.h"
#include "tests/platform/dirclient/TestClient.h"

using namespace dirtest;

namespace {

std::string ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A forked process that runs body with the lines it is sent and answers one code per step. Nothing of the
// parent's session may be open when it forks: the child opens the store itself.
class Peer {
public:
    explicit Peer(const std::function<void(Peer&)>& body) {
        if (::pipe(m_toChild) != 0 || ::pipe(m_toParent) != 0) {
            return;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(m_toChild[1]);
            ::close(m_toParent[0]);
            body(*this);
            ::_exit(0);
        }
        ::close(m_toChild[0]);
        ::close(m_toParent[1]);
    }
    ~Peer() {
        if (m_pid > 0) {
            ::close(m_toChild[1]);
            ::close(m_toParent[0]);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // Parent side.
    void Go() { Write(m_toChild[1], 1); }
    int32_t Answer() { return Read(m_toParent[0]); }
    // Child side.
    void WaitForGo() { (void)Read(m_toChild[0]); }
    void Tell(int32_t code) { Write(m_toParent[1], code); }

private:
    static void Write(int fd, int32_t value) { (void)!::write(fd, &value, sizeof value); }
    static int32_t Read(int fd) {
        int32_t value = -99999;
        return ::read(fd, &value, sizeof value) == sizeof value ? value : -99999;
    }

    pid_t m_pid = -1;
    int m_toChild[2] = {-1, -1};
    int m_toParent[2] = {-1, -1};
};

class TwoProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirSetPasswordHashCost(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN), kDirOk);
        m_path = m_dir.File("tree.db");
    }
    void TearDown() override { EXPECT_EQ(DirCloseStore(), kDirOk); }

    // The parent's own session, signed in as Admin.
    void OpenAsAdmin() {
        ASSERT_EQ(DirOpenStore(m_path.c_str(), 1), kDirOk);
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
    }
    // A request made by a process of its own, answered by its code.
    int32_t InChild(const std::function<int32_t()>& request, const char* login = "Admin") {
        Peer peer([&](Peer& self) {
            int32_t rc = DirOpenStore(m_path.c_str(), 0);
            if (rc == kDirOk) {
                rc = DirLogin(login, nullptr);
            }
            self.WaitForGo();
            self.Tell(rc == kDirOk ? request() : rc);
        });
        peer.Go();
        return peer.Answer();
    }

    TempDir m_dir;
    std::string m_path;
};

TEST_F(TwoProcesses, ProcessesMakingTheSameNewStoreGetOneWholeStore) {
    for (int trial = 0; trial < 5; ++trial) {
        const std::string path = m_dir.File("new" + std::to_string(trial) + ".db");
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < 4; ++i) {
            peers.push_back(std::make_unique<Peer>([&](Peer& self) {
                self.WaitForGo();
                int32_t rc = DirOpenStore(path.c_str(), 1);
                if (rc == kDirOk) {
                    rc = DirLogin("Admin", nullptr);
                }
                if (rc == kDirOk) {
                    Client client;
                    rc = client.Add("P" + std::to_string(::getpid()), "Organization");
                }
                self.Tell(rc);
            }));
            ASSERT_TRUE(peers.back()->Started());
        }
        for (auto& peer : peers) {
            peer->Go();
        }
        for (auto& peer : peers) {
            EXPECT_EQ(peer->Answer(), kDirOk) << "trial " << trial;
        }
        peers.clear();
        ASSERT_EQ(DirOpenStore(path.c_str(), 0), kDirOk);
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
        Client client;
        std::vector<Entry> entries;
        ASSERT_EQ(client.List("[Root]", &entries), kDirOk);
        EXPECT_EQ(entries.size(), 5u) << "Admin and one organisation from each process";
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        ASSERT_EQ(DirCloseStore(), kDirOk);
    }
}

TEST_F(TwoProcesses, AKillWhileAStoreIsMadeNeverLeavesAFileThatIsRefused) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 30; ++trial) {
        const std::string path = m_dir.File("killed" + std::to_string(trial) + ".db");
        Peer peer([&](Peer& self) {
            self.WaitForGo();
            (void)DirOpenStore(path.c_str(), 1);
            ::pause();
        });
        ASSERT_TRUE(peer.Started());
        peer.Go();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        ::kill(peer.Pid(), SIGKILL);
        int status = 0;
        ::waitpid(peer.Pid(), &status, 0);
        EXPECT_EQ(DirOpenStore(path.c_str(), 1), kDirOk) << "trial " << trial;
        EXPECT_EQ(DirLogin("Admin", nullptr), kDirOk) << "trial " << trial;
        ASSERT_EQ(DirCloseStore(), kDirOk);
    }
}

TEST_F(TwoProcesses, AnIdIsNeverHandedOutTwiceAndAGoneUserCanDoNothing) {
    OpenAsAdmin();
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk); // the newest object
    ASSERT_EQ(DirCloseStore(), kDirOk);

    Peer bob([&](Peer& self) {
        int32_t rc = DirOpenStore(m_path.c_str(), 0);
        if (rc == kDirOk) {
            rc = DirLogin("Bob.Corp", nullptr);
        }
        self.Tell(rc);
        self.WaitForGo();
        Client client;
        char who[512] = {};
        self.Tell(DirWhoAmI(client.Ctx(), who));
        self.Tell(DirPasswordCallB(client.Ctx(), "Admin", "taken-over", 0));
        self.Tell(client.Add("Mine.Corp", "Organization"));
    });
    ASSERT_EQ(bob.Answer(), kDirOk);
    // Another administrator removes Bob and makes a new supervisor, which SQLite alone would give Bob's id.
    OpenAsAdmin();
    Client other;
    ASSERT_EQ(DirRemoveObject(other.Ctx(), "Bob.Corp"), kDirOk);
    ASSERT_EQ(other.Add("Eve.Corp", "User"), kDirOk);
    ASSERT_EQ(other.Grant("[Root]", "Eve.Corp", "[Entry Rights]", kDirEntrySupervisor), kDirOk);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    bob.Go();
    EXPECT_EQ(bob.Answer(), kDirErrIdentityGone);
    EXPECT_EQ(bob.Answer(), kDirErrIdentityGone);
    EXPECT_EQ(bob.Answer(), kDirErrIdentityGone);
    OpenAsAdmin(); // Admin's password is still none
}

TEST_F(TwoProcesses, AUserRenamedAwayAndReplacedIsGone) {
    OpenAsAdmin();
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("Bob.Corp", "User"), kDirOk);
    ASSERT_EQ(admin.Grant("Corp", "Bob.Corp", "[All Attributes Rights]", kDirRightRead), kDirOk);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    Peer bob([&](Peer& self) {
        int32_t rc = DirOpenStore(m_path.c_str(), 0);
        if (rc == kDirOk) {
            rc = DirLogin("Bob.Corp", nullptr);
        }
        self.Tell(rc);
        for (int step = 0; step < 2; ++step) {
            self.WaitForGo();
            Client client;
            char who[512] = {};
            self.Tell(DirWhoAmI(client.Ctx(), who));
        }
    });
    ASSERT_EQ(bob.Answer(), kDirOk);
    OpenAsAdmin();
    Client other;
    ASSERT_EQ(DirRenameObject(other.Ctx(), "Bob.Corp", "Robert", 0), kDirOk);
    bob.Go();
    EXPECT_EQ(bob.Answer(), kDirOk) << "renamed away, the session is still Robert's";
    ASSERT_EQ(DirRenameObject(other.Ctx(), "Robert.Corp", "Bobby", 0), kDirOk);
    ASSERT_EQ(other.Add("Robert.Corp", "User"), kDirOk);
    bob.Go();
    EXPECT_EQ(bob.Answer(), kDirErrIdentityGone);
}

// The pairs that, checked before their transactions, undid each other or broke the tree. Each round runs
// both requests of a pair at the same moment in two processes and checks the tree against what the answers
// say must hold.
TEST_F(TwoProcesses, ConflictingRequestsAtOnceLeaveTheTreeAsTheirAnswersSay) {
    OpenAsAdmin();
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Add("A.Corp", "Organizational Unit"), kDirOk);
    ASSERT_EQ(admin.Add("B.Corp", "Organizational Unit"), kDirOk);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    auto both = [&](const std::function<int32_t()>& first, const std::function<int32_t()>& second,
                    int32_t* firstRc, int32_t* secondRc) {
        auto run = [&](const std::function<int32_t()>& request) {
            return std::make_unique<Peer>([&, request](Peer& self) {
                int32_t rc = DirOpenStore(m_path.c_str(), 0);
                if (rc == kDirOk) {
                    rc = DirLogin("Admin", nullptr);
                }
                self.WaitForGo();
                self.Tell(rc == kDirOk ? request() : rc);
            });
        };
        auto one = run(first);
        auto two = run(second);
        one->Go();
        two->Go();
        *firstRc = one->Answer();
        *secondRc = two->Answer();
    };

    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const std::string user = "U" + std::to_string(round);
        const std::string x = "X" + std::to_string(round);
        const std::string y = "Y" + std::to_string(round);
        const std::string box = "Box" + std::to_string(round);
        OpenAsAdmin();
        {
            Client setup;
            ASSERT_EQ(setup.Add(user + ".A.Corp", "User"), kDirOk);
            ASSERT_EQ(setup.Add(x + ".Corp", "Organizational Unit"), kDirOk);
            ASSERT_EQ(setup.Add(y + ".Corp", "Organizational Unit"), kDirOk);
            ASSERT_EQ(setup.Add(box + ".Corp", "Organizational Unit"), kDirOk);
        }
        ASSERT_EQ(DirCloseStore(), kDirOk);

        // A password set while the same user moves: both land.
        int32_t setRc = 0;
        int32_t moveRc = 0;
        both([&] {
            Client c;
            return DirPasswordCallB(c.Ctx(), (user + ".A.Corp").c_str(), "pw-new", 0);
        },
             [&] {
                 Client c;
                 return DirMoveObject(c.Ctx(), (user + ".A.Corp").c_str(), "B.Corp");
             },
             &setRc, &moveRc);
        // The password request may come after the move and then not find the user under its old name.
        EXPECT_TRUE(setRc == kDirOk || setRc == kDirErrNoSuchObject) << setRc;
        EXPECT_EQ(moveRc, kDirOk);

        // X into Y and Y into X: never both.
        int32_t xRc = 0;
        int32_t yRc = 0;
        both([&] {
            Client c;
            return DirMoveObject(c.Ctx(), (x + ".Corp").c_str(), (y + ".Corp").c_str());
        },
             [&] {
                 Client c;
                 return DirMoveObject(c.Ctx(), (y + ".Corp").c_str(), (x + ".Corp").c_str());
             },
             &xRc, &yRc);
        EXPECT_FALSE(xRc == kDirOk && yRc == kDirOk);

        // A container deleted while a child is added to it: never both.
        int32_t deleteRc = 0;
        int32_t addRc = 0;
        both([&] {
            Client c;
            return DirRemoveObject(c.Ctx(), (box + ".Corp").c_str());
        },
             [&] {
                 Client c;
                 return c.Add("Child." + box + ".Corp", "User");
             },
             &deleteRc, &addRc);
        EXPECT_FALSE(deleteRc == kDirOk && addRc == kDirOk);

        OpenAsAdmin();
        Client after;
        std::string name;
        std::string baseClass;
        const std::string moved = user + (moveRc == kDirOk ? ".B.Corp" : ".A.Corp");
        EXPECT_EQ(after.Info(moved, &name, &baseClass), kDirOk);
        EXPECT_EQ(DirLogin(moved.c_str(), setRc == kDirOk ? "pw-new" : nullptr), kDirOk);
        ASSERT_EQ(DirLogin("Admin", nullptr), kDirOk);
        const std::string xName = xRc == kDirOk ? x + "." + y + ".Corp" : x + ".Corp";
        const std::string yName = yRc == kDirOk ? y + "." + x + ".Corp" : y + ".Corp";
        EXPECT_EQ(after.Info(xName, &name, &baseClass), kDirOk) << xName;
        EXPECT_EQ(after.Info(yName, &name, &baseClass), kDirOk) << yName;
        EXPECT_EQ(after.Info(box + ".Corp", &name, &baseClass), deleteRc == kDirOk ? kDirErrNoSuchObject : kDirOk);
        EXPECT_EQ(after.Info("Child." + box + ".Corp", &name, &baseClass),
                  addRc == kDirOk ? kDirOk : kDirErrNoSuchObject);
        std::vector<std::string> lines;
        EXPECT_EQ(DirCheckStore(0,
                                [](const char* line, void* out) {
                                    static_cast<std::vector<std::string>*>(out)->push_back(line);
                                },
                                &lines),
                  kDirOk);
        EXPECT_EQ(lines, std::vector<std::string>{"ok"});
        ASSERT_EQ(DirCloseStore(), kDirOk);
    }
    OpenAsAdmin();
}

TEST_F(TwoProcesses, AStoreThatCannotBeWrittenOpensForReading) {
    OpenAsAdmin();
    Client admin;
    ASSERT_EQ(admin.Add("Corp", "Organization"), kDirOk);
    ASSERT_EQ(admin.Set("Corp", "Description", Text("kept")), kDirOk);
    ASSERT_EQ(DirCloseStore(), kDirOk);
    // Root may write any file, so the reader runs as nobody where the test is root; the store is then
    // nobody's own and readable by its owner only, in a folder where nobody cannot make files.
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(std::filesystem::path(m_path).parent_path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(m_path.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chmod(m_path.c_str(), 0400), 0);
    const std::string before = ReadFileBytes(m_path);
    Peer reader([&](Peer& self) {
        if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            self.Tell(-1);
            return;
        }
        int32_t rc = DirOpenStore(m_path.c_str(), 1);
        if (rc == kDirOk) {
            rc = DirLogin("Admin", nullptr);
        }
        self.Tell(rc);
        Client client;
        self.Tell(client.Values("Corp", "Description") == std::vector<TestValue>{Text("kept")} ? 0 : 1);
        self.Tell(client.Set("Corp", "Description", Text("changed")));
        self.Tell(client.Add("New.Corp", "Organization"));
        (void)DirCloseStore();
    });
    EXPECT_EQ(reader.Answer(), kDirOk);
    EXPECT_EQ(reader.Answer(), 0) << "the stored description is read";
    EXPECT_EQ(reader.Answer(), kDirErrReadOnlyStore);
    EXPECT_EQ(reader.Answer(), kDirErrReadOnlyStore);
    EXPECT_EQ(ReadFileBytes(m_path), before);
    if (root) {
        ASSERT_EQ(::chown(m_path.c_str(), 0, 0), 0);
    }
    ASSERT_EQ(::chmod(m_path.c_str(), 0600), 0);
    OpenAsAdmin();
}

} // namespace
