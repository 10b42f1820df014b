#include "core/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
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

    fs::path folder_;
};

TEST_F(FileIoTest, ReadsEveryByte) {
    const std::string content("BM\0\r\n\xFF\x1A end", 11);
    Put("a.bin", content);
    EXPECT_EQ(ReadWholeFile(PathOf("a.bin")), B(content));
    EXPECT_EQ(TryReadWholeFile(PathOf("a.bin")), B(content));
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
        EXPECT_EQ(TryReadWholeFile(c.path), std::nullopt) << c.path;
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

}  // namespace
}  // namespace kwp::core
