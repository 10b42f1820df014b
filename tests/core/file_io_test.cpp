#include "core/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "core/error.h"

namespace kwp::core {
namespace {
namespace fs = std::filesystem;

Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

class FileIoTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kwpshot-file-io-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    void Put(const std::string& name, std::string_view content) const {
        std::ofstream(folder_ / name, std::ios::binary) << content;
    }

    std::string Get(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The error text a call throws, or "" when it throws none.
    template <class F>
    static std::string ErrorOf(F&& call) {
        try {
            call();
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }

    // Runs `body` in a child process and returns its exit code, or 128 +
    // the signal that ended it.
    template <class F>
    static int InChild(F&& body) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) _exit(body());
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    fs::path folder_;
};

// Fails the test process (SIGALRM) instead of letting a blocked call hang it.
class HangGuard {
public:
    HangGuard() { alarm(20); }
    ~HangGuard() { alarm(0); }
};

// The exit code of a child whose system cannot inject faults.
constexpr int kNoFaultInjection = 99;

// Fault injection in a child process: the listed system calls fail with
// `error`; with `onlyUnnamedOpens`, only the opens that ask for an unnamed
// file (as on a file system without them).
void FailSystemCalls(const std::vector<long>& calls, int error, bool onlyUnnamedOpens = false) {
    std::vector<sock_filter> filter = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (long call : calls) {
        const auto skip = static_cast<uint8_t>(onlyUnnamedOpens ? 4 : 1);  // to the next call's test
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(call), 0, skip));
        if (onlyUnnamedOpens) {
            // openat(dir, name, flags, mode): flags are the third argument.
            filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])));
            filter.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, __O_TMPFILE & ~O_DIRECTORY, 1, 0));
            filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        }
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<uint32_t>(error)));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        _exit(kNoFaultInjection);
}

mode_t ModeOf(const fs::path& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(FileIoTest, ReadsEveryByte) {
    const std::string content("BM\0\r\n\xFF\x1A end", 11);
    Put("a.bin", content);
    EXPECT_EQ(ReadWholeFile(PathOf("a.bin")), B(content));
    EXPECT_EQ(TryReadWholeFile(PathOf("a.bin"), 1024), B(content));
    Put("empty", "");
    EXPECT_EQ(ReadWholeFile(PathOf("empty")), Bytes{});

    std::string big(300 * 1024, 'x');
    big[123457] = 'y';
    Put("big", big);
    EXPECT_EQ(ReadWholeFile(PathOf("big")), B(big));
}

TEST_F(FileIoTest, UnreadableFilesNameThePathAndTheReason) {
    Put("plain", "x");
    fs::create_directory(folder_ / "folder");
    struct Case {
        std::string path;
        int error;
    };
    const std::vector<Case> cases = {
        {PathOf("missing.ini"), ENOENT},
        {PathOf("folder"), EISDIR},
        {PathOf("plain") + "/below", ENOTDIR},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { ReadWholeFile(c.path); }),
                  "Cannot open file \"" + c.path + "\". " + std::strerror(c.error));
        EXPECT_EQ(TryReadWholeFile(c.path, 1024), std::nullopt) << c.path;
    }
}

TEST_F(FileIoTest, ReplaceWritesTheNewBytesAndLeavesNothingElse) {
    ReplaceWholeFile(PathOf("kwpshot.ini"), B("first, longer content\r\n"));
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "first, longer content\r\n");
    ReplaceWholeFile(PathOf("kwpshot.ini"), B("short"));
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "short");
    ReplaceWholeFile(PathOf("kwpshot.ini"), {});
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "");
    EXPECT_EQ(Names(), std::vector<std::string>{"kwpshot.ini"});
}

TEST_F(FileIoTest, ReplaceWithTakesTheBytesInPiecesOrNothingWhenFillThrows) {
    for (Durability durability : {Durability::Flushed, Durability::Unflushed}) {
        Put("out.jpg", "old");
        ReplaceFileWith(PathOf("out.jpg"), durability, [](FileSink& sink) {
            sink.Write("ab", 2);
            sink.Write("", 0);
            sink.Write("cde", 3);
        });
        EXPECT_EQ(Get(PathOf("out.jpg")), "abcde");

        EXPECT_THROW(ReplaceFileWith(PathOf("out.jpg"), durability,
                                     [](FileSink& sink) {
                                         sink.Write("partial", 7);
                                         throw Error("JPEG error #1");
                                     }),
                     Error);
        EXPECT_EQ(Get(PathOf("out.jpg")), "abcde");
        EXPECT_EQ(Names(), std::vector<std::string>{"out.jpg"});
    }
}

TEST_F(FileIoTest, ReplaceTakesUtf8Paths) {
    const std::string path = PathOf("\xE6\x88\xAA\xE5\x9B\xBE.jpg");  // 截图.jpg
    ReplaceWholeFile(path, B("jpeg"));
    EXPECT_EQ(ReadWholeFile(path), B("jpeg"));
}

TEST_F(FileIoTest, ReplaceKeepsPermissionBits) {
    for (fs::perms mode : {fs::perms(0640), fs::perms(0604), fs::perms(0755)}) {
        Put("kwpshot.ini", "old");
        fs::permissions(folder_ / "kwpshot.ini", mode);
        ReplaceWholeFile(PathOf("kwpshot.ini"), B("new"));
        EXPECT_EQ(fs::status(folder_ / "kwpshot.ini").permissions(), mode);
        EXPECT_EQ(Get(PathOf("kwpshot.ini")), "new");
    }
}

TEST_F(FileIoTest, ReplaceThroughALinkKeepsTheLink) {
    Put("real.ini", "old");
    fs::create_symlink("real.ini", folder_ / "link.ini");
    ReplaceWholeFile(PathOf("link.ini"), B("new"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.ini"));
    EXPECT_EQ(Get(PathOf("real.ini")), "new");
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.ini", "real.ini"}));
}

TEST_F(FileIoTest, FailedReplaceKeepsWhatWasThere) {
    Put("plain", "old");
    fs::create_directories(folder_ / "folder" / "inside");
    struct Case {
        std::string path;
        std::string reason;  // "" where the system's words vary
    };
    const std::vector<Case> cases = {
        {PathOf("missing/kwpshot.ini"), std::strerror(ENOENT)},
        {PathOf("plain") + "/kwpshot.ini", std::strerror(ENOTDIR)},
        {PathOf("folder"), ""},
        {"/proc/version", ""},
    };
    const std::string procVersion = Get("/proc/version");
    for (const Case& c : cases) {
        std::string error = ErrorOf([&] { ReplaceWholeFile(c.path, B("new")); });
        std::string expected = "Cannot create file \"" + c.path + "\". ";
        EXPECT_EQ(error.substr(0, expected.size()), expected) << error;
        EXPECT_GT(error.size(), expected.size()) << "no reason given";
        if (!c.reason.empty()) {
            EXPECT_EQ(error, expected + c.reason);
        }
    }
    EXPECT_EQ(Get(PathOf("plain")), "old");
    EXPECT_TRUE(fs::is_directory(folder_ / "folder" / "inside"));
    EXPECT_EQ(Get("/proc/version"), procVersion);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "plain"}));
}

TEST_F(FileIoTest, WriteFailingHalfwayKeepsTheOldFile) {
    Put("kwpshot.ini", "old content");
    // A file size limit makes the write stop after a few bytes, as a full disk would.
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error = ErrorOf([&] { ReplaceWholeFile(PathOf("kwpshot.ini"), Bytes(1000, 'n')); });
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(error, "Cannot create file \"" + PathOf("kwpshot.ini") + "\". " + std::strerror(EFBIG));
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "old content");
    EXPECT_EQ(Names(), std::vector<std::string>{"kwpshot.ini"});
}

TEST_F(FileIoTest, ReadOnlyFileIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    Put("kwpshot.ini", "old");
    fs::permissions(folder_ / "kwpshot.ini", fs::perms(0444));
    EXPECT_EQ(ErrorOf([&] { ReplaceWholeFile(PathOf("kwpshot.ini"), B("new")); }),
              "Cannot create file \"" + PathOf("kwpshot.ini") + "\". " + std::strerror(EACCES));
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "old");
}

constexpr size_t kMiB = 1024 * 1024;

TEST_F(FileIoTest, ReadRefusesWhatIsNotARegularFileWithoutWaiting) {
    HangGuard guard;
    ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", folder_ / "to-fifo");
    fs::create_symlink("/dev/zero", folder_ / "zero");
    for (const std::string name : {"fifo", "to-fifo", "zero"}) {
        EXPECT_EQ(ErrorOf([&] { ReadWholeFile(PathOf(name)); }),
                  "Cannot open file \"" + PathOf(name) + "\". " + std::string(kNotRegularFile));
        EXPECT_EQ(TryReadWholeFile(PathOf(name), kMiB), std::nullopt) << name;
    }
}

TEST_F(FileIoTest, TryReadGivesNothingForAFileOverTheLimit) {
    Put("full", std::string(kMiB, 'x'));
    Put("over", std::string(kMiB + 1, 'x'));
    ASSERT_TRUE(TryReadWholeFile(PathOf("full"), kMiB));
    EXPECT_EQ(TryReadWholeFile(PathOf("full"), kMiB)->size(), kMiB);
    EXPECT_EQ(TryReadWholeFile(PathOf("over"), kMiB), std::nullopt);
}

TEST_F(FileIoTest, ReplaceRefusesWhatIsNotARegularFileAndLeavesIt) {
    HangGuard guard;
    ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
    fs::create_symlink("fifo", folder_ / "to-fifo");
    for (const std::string name : {"fifo", "to-fifo"}) {
        EXPECT_EQ(ErrorOf([&] { ReplaceWholeFile(PathOf(name), B("new")); }),
                  "Cannot create file \"" + PathOf(name) + "\". " + std::string(kNotRegularFile));
    }
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(folder_ / "fifo")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"fifo", "to-fifo"}));
}

// The widest permission bits of any file in `folder` other than `target`, or
// open in this process, that could hold a replacement's bytes.
mode_t WidestTemporaryMode(const fs::path& folder, const fs::path& target) {
    mode_t widest = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path() != target) widest |= ModeOf(entry.path());
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string opened = fs::read_symlink(entry.path(), error).string();
        if (error || opened.rfind(folder.string() + "/", 0) != 0 || opened == target.string()) continue;
        struct stat st{};
        if (::fstat(std::stoi(entry.path().filename().string()), &st) == 0 && S_ISREG(st.st_mode))
            widest |= st.st_mode & 07777;
    }
    return widest;
}

// Restores the umask it replaced.
class Umask {
public:
    explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
    ~Umask() { ::umask(previous_); }

private:
    mode_t previous_;
};

TEST_F(FileIoTest, TheNewBytesAreNeverInAFileWiderThanTheTarget) {
    const Umask noMask(0);  // the mode given at creation is the mode
    for (mode_t mode : {0600, 0640, 0604, 0400}) {
        Put("kwpshot.ini", "old");
        ::chmod(PathOf("kwpshot.ini").c_str(), mode);
        mode_t widest = 0777;
        if (mode == 0400 && geteuid() != 0) continue;  // may not be written
        ReplaceFileWith(PathOf("kwpshot.ini"), Durability::Flushed, [&](FileSink& sink) {
            sink.Write("secret", 6);
            widest = WidestTemporaryMode(folder_, folder_ / "kwpshot.ini");
        });
        EXPECT_EQ(widest & ~mode, 0u) << std::oct << mode << " widened to " << widest;
        EXPECT_EQ(ModeOf(folder_ / "kwpshot.ini"), mode);
        EXPECT_EQ(Get(PathOf("kwpshot.ini")), "secret");
    }
}

TEST_F(FileIoTest, ANewFileTakesTheUmask) {
    for (mode_t mask : {022, 027, 077}) {
        const Umask umask(mask);
        fs::remove(folder_ / "new.jpg");
        ReplaceWholeFile(PathOf("new.jpg"), B("new"));
        EXPECT_EQ(ModeOf(folder_ / "new.jpg"), 0666 & ~mask);
    }
}

// Exit codes of the child processes below.
constexpr int kReplaced = 0, kRefused = 1, kWrong = 2;

TEST_F(FileIoTest, AModeThatCannotBeSetFailsTheReplace) {
    for (mode_t mode : {0600, 0640, 0604}) {
        Put("kwpshot.ini", "old");
        ::chmod(PathOf("kwpshot.ini").c_str(), mode);
        const int outcome = InChild([&] {
            ::umask(0);
            std::vector<long> chmods = {SYS_chmod, SYS_fchmod, SYS_fchmodat};
#ifdef SYS_fchmodat2
            chmods.push_back(SYS_fchmodat2);
#endif
            FailSystemCalls(chmods, EPERM);
            const std::string error = ErrorOf([&] { ReplaceWholeFile(PathOf("kwpshot.ini"), B("new")); });
            if (error.empty()) return kReplaced;
            return error == "Cannot create file \"" + PathOf("kwpshot.ini") + "\". " + std::strerror(EPERM) ? kRefused
                                                                                                            : kWrong;
        });
        if (outcome == kNoFaultInjection) GTEST_SKIP() << "no seccomp filters here";
        // Either the bytes went in with the old mode, or nothing changed.
        EXPECT_EQ(ModeOf(folder_ / "kwpshot.ini"), mode) << std::oct << mode;
        ASSERT_TRUE(outcome == kReplaced || outcome == kRefused) << outcome;
        EXPECT_EQ(Get(PathOf("kwpshot.ini")), outcome == kReplaced ? "new" : "old");
        EXPECT_EQ(Names(), std::vector<std::string>{"kwpshot.ini"});
    }
}

TEST_F(FileIoTest, AKillBeforeTheRenameLeavesNothingBehind) {
    Put("kwpshot.ini", "old");
    const int outcome = InChild([&] {
        ReplaceFileWith(PathOf("kwpshot.ini"), Durability::Flushed, [](FileSink& sink) {
            sink.Write("new", 3);
            ::raise(SIGKILL);
        });
        return kWrong;
    });
    EXPECT_EQ(outcome, 128 + SIGKILL);
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"kwpshot.ini"});
}

TEST_F(FileIoTest, WithoutUnnamedFilesANamedTemporaryDoesTheSame) {
    Put("kwpshot.ini", "old");
    ::chmod(PathOf("kwpshot.ini").c_str(), 0640);
    const int outcome = InChild([&] {
        ::umask(0);
        FailSystemCalls({SYS_open, SYS_openat}, EOPNOTSUPP, true);
        bool named = false;
        mode_t widest = 0777;
        ReplaceFileWith(PathOf("kwpshot.ini"), Durability::Unflushed, [&](FileSink& sink) {
            sink.Write("new", 3);
            named = Names().size() == 2;
            widest = WidestTemporaryMode(folder_, folder_ / "kwpshot.ini");
        });
        return named && (widest & ~0640) == 0 ? kReplaced : kWrong;
    });
    if (outcome == kNoFaultInjection) GTEST_SKIP() << "no seccomp filters here";
    EXPECT_EQ(outcome, kReplaced);
    EXPECT_EQ(Get(PathOf("kwpshot.ini")), "new");
    EXPECT_EQ(ModeOf(folder_ / "kwpshot.ini"), 0640u);
    EXPECT_EQ(Names(), std::vector<std::string>{"kwpshot.ini"});
}

// A link in a folder that others may write (as /tmp) is followed only when
// the user or the folder's owner made it, as the kernel's protected_symlinks
// rule has it; elsewhere every link is followed.
TEST_F(FileIoTest, ALinkPlantedInASharedFolderIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as two other users";
    const uid_t user = 64101, stranger = 64102;  // any ids: the kernel needs no account
    fs::permissions(folder_, fs::perms(0755));
    fs::create_directory(folder_ / "mine");
    ASSERT_EQ(::chown((folder_ / "mine").c_str(), user, user), 0);
    const fs::path victim = folder_ / "mine" / "notes.txt";

    struct Case {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner, linkOwner;
        bool followed;
    };
    const std::vector<Case> cases = {
        {"stranger's link in a sticky shared folder", 01777, 0, stranger, false},
        {"stranger's link, folder owned by the user", 01777, user, stranger, false},
        {"user's own link", 01777, 0, user, true},
        {"folder owner's link", 01777, 0, 0, true},
        {"not sticky", 0777, 0, stranger, true},
        {"sticky but not writable by all", 01775, 0, stranger, true},
    };
    for (const Case& c : cases) {
        const fs::path shared = folder_ / "shared";
        fs::remove_all(shared);
        fs::create_directory(shared);
        ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, 0), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
        fs::create_symlink(victim, shared / "shot.jpg");
        ASSERT_EQ(::lchown((shared / "shot.jpg").c_str(), c.linkOwner, c.linkOwner), 0);
        {
            std::ofstream(victim) << "the user's own file";
        }
        ASSERT_EQ(::chown(victim.c_str(), user, user), 0);

        const std::string link = (shared / "shot.jpg").string();
        const int outcome = InChild([&] {
            if (setgid(user) != 0 || setuid(user) != 0) return kWrong;
            const std::string error = ErrorOf([&] { ReplaceWholeFile(link, B("jpeg")); });
            if (error.empty()) return kReplaced;
            return error == "Cannot create file \"" + link + "\". " + std::strerror(EACCES) ? kRefused : kWrong;
        });
        EXPECT_EQ(outcome, c.followed ? kReplaced : kRefused) << c.name;
        EXPECT_EQ(Get(victim.string()), c.followed ? "jpeg" : "the user's own file") << c.name;
        EXPECT_TRUE(fs::is_symlink(shared / "shot.jpg")) << c.name;
    }
}

TEST_F(FileIoTest, EveryLinkOfAChainIsChecked) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as two other users";
    const uid_t user = 64101, stranger = 64102;
    fs::permissions(folder_, fs::perms(0755));
    fs::create_directory(folder_ / "mine");
    fs::create_directory(folder_ / "shared");
    ASSERT_EQ(::chown((folder_ / "mine").c_str(), user, user), 0);
    ASSERT_EQ(::chmod((folder_ / "shared").c_str(), 01777), 0);
    std::ofstream(folder_ / "mine" / "notes.txt") << "the user's own file";
    ASSERT_EQ(::chown((folder_ / "mine" / "notes.txt").c_str(), user, user), 0);
    // The user's link leads to a stranger's link in the same shared folder.
    fs::create_symlink(folder_ / "mine" / "notes.txt", folder_ / "shared" / "planted");
    ASSERT_EQ(::lchown((folder_ / "shared" / "planted").c_str(), stranger, stranger), 0);
    fs::create_symlink("planted", folder_ / "shared" / "shot.jpg");
    ASSERT_EQ(::lchown((folder_ / "shared" / "shot.jpg").c_str(), user, user), 0);

    const int outcome = InChild([&] {
        if (setgid(user) != 0 || setuid(user) != 0) return kWrong;
        return ErrorOf([&] { ReplaceWholeFile((folder_ / "shared" / "shot.jpg").string(), B("jpeg")); }).empty()
                   ? kReplaced
                   : kRefused;
    });
    EXPECT_EQ(outcome, kRefused);
    EXPECT_EQ(Get((folder_ / "mine" / "notes.txt").string()), "the user's own file");
}

}  // namespace
}  // namespace kwp::core
