#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <optional>

#include "AdapterTestSupport.h"
#include "platform/posix/PosixFileSystem.h"

using namespace ostrell::adaptertest;
using ostrell::platform::PosixFileSystem;
namespace err = ostrell::platform::err;

TEST(PosixFileSystem, LinesAndRewritesKeepExactBytesAndOnlyPlainFilesCount) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const std::string log = dir.file("VRXlogOUT.txt"), work = dir.file("Prices.tmp"), linked = dir.file("data");
    fs.append(log, "first\r\n", false);
    EXPECT_EQ(fs.appendIfLength(log, "x\r\n", true, 6), -1) << "only onto the length its caller knows";
    EXPECT_EQ(fs.appendIfLength(log, "second\r\n", true, 7), 15);
    fs.appendUnmeasured(log, "third\r\n");
    EXPECT_EQ(fs.readAll(log), "first\r\nsecond\r\nthird\r\n");
    std::string big(200000, 'x');  // larger than one read buffer, NULs and high bytes included
    for (size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>(i % 251);
    fs.writeDurable(work, big);
    EXPECT_EQ(fs.readAll(work), big);
    fs.writeDurable(work, "short\r\n");
    fs.rename(work, log);
    EXPECT_EQ(fs.readAll(log), "short\r\n") << "a rewrite empties the file first; rename replaces";
    EXPECT_FALSE(fs.isFile(work) || fs.isFile(dir.path()) || fs.isFile("/dev/null"));
    fs.writeDurable(dir.file(".hidden.csv"), "x");
    EXPECT_FALSE(fs.isFile(dir.file(".hidden.csv")));
    // The data directory itself may be a link.
    ASSERT_EQ(::symlink(dir.path().c_str(), linked.c_str()), 0);
    fs.append(linked + "/Payment.csv", "p\r\n", true);
    EXPECT_EQ(fs.identity(linked + "/Payment.csv"), fs.identity(dir.file("Payment.csv")));
}

// Every failure is an error number the agent reports, never a success; links in the folder are not followed.
TEST(PosixFileSystem, EveryFailedOperationThrowsWithAFittingNumber) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const std::string file = dir.file("InBookings.csv"), missing = dir.file("none/x.csv"), link = dir.file("l.csv"),
                      dangling = dir.file("d.csv"), ro = dir.file("ro"), kept = ro + "/Payment.csv";
    fs.writeDurable(file, "1|a\r\n");
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()) | ::symlink(missing.c_str(), dangling.c_str()), 0);
    ASSERT_EQ(::mkdir(ro.c_str(), 0755), 0);
    fs.writeDurable(kept, "kept\r\n");
    ASSERT_EQ(::chmod(kept.c_str(), 0444) | ::chmod(ro.c_str(), 0555), 0);
    struct Case {
        const char* what;
        std::function<void()> operation;
        int number;
        bool needsPermissions = false;
    };
    const Case cases[] = {
        {"append in missing dir", [&] { fs.append(missing, "x", true); }, err::PathNotFound},
        {"below a file", [&] { fs.append(file + "/x", "x", false); }, err::PathNotFound},
        {"read missing", [&] { fs.readAll(missing + "a"); }, err::PathNotFound},
        {"remove missing", [&] { fs.remove(dir.file("a")); }, err::FileNotFound},
        {"rename into missing", [&] { fs.rename(file, missing); }, err::PathNotFound},
        {"read a directory", [&] { fs.readAll(dir.path()); }, err::PathFileAccessError},
        {"remove a directory", [&] { fs.remove(dir.path()); }, err::PathFileAccessError},
        {"append full disk", [&] { fs.append("/dev/full", "line\r\n", true); }, err::DiskFull},
        {"rewrite full disk", [&] { fs.writeDurable("/dev/full", "line\r\n"); }, err::DiskFull},
        {"read a link", [&] { fs.readAll(link); }, err::PathFileAccessError},
        {"append to a link", [&] { fs.append(link, "x", true); }, err::PathFileAccessError},
        {"append to a dangling link", [&] { fs.append(dangling, "x", true); }, err::PathFileAccessError},
        {"temporary over a link", [&] { fs.createLike(dangling, "x", file); }, err::FileAlreadyExists},
        {"new file read-only dir", [&] { fs.append(ro + "/n.csv", "x", true); }, err::PermissionDenied, true},
        {"append read-only file", [&] { fs.append(kept, "x", true); }, err::PermissionDenied, true},
        {"remove read-only dir", [&] { fs.remove(kept); }, err::PermissionDenied, true},
    };
    for (const Case& c : cases) {
        std::optional<UnprivilegedFiles> nobody;
        if (c.needsPermissions) nobody.emplace();
        EXPECT_EQ(nobody && !nobody->active() ? c.number : failureNumber(c.operation), c.number) << c.what;
    }
    EXPECT_EQ(contentOf(file) + contentOf(kept), "1|a\r\nkept\r\n");
    EXPECT_FALSE(fs.isFile(missing) || fs.isFile(ro + "/n.csv"));
    ::chmod(ro.c_str(), 0755);
}

TEST(PosixFileSystem, NewFilesAreNeverOpenToOthersAndACutDownCopyKeepsTheOriginalsMode) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const mode_t old = ::umask(0);
    for (const auto& [mask, expected] : {std::pair<mode_t, mode_t>{022, 0640}, {077, 0600}, {0, 0660}}) {
        ::umask(mask);
        const std::string tag = dir.file(std::to_string(mask));
        fs.append(tag + "log", "x\r\n", false);
        fs.writeDurable(tag + "state", "x");
        fs.makePrivateDirectory(tag + "/a/ostrell");
        EXPECT_EQ(std::tuple(modeOf(tag + "log"), modeOf(tag + "state"), modeOf(tag + "/a"), modeOf(tag + "/a/ostrell")),
                  std::tuple(expected, expected, 0700u, 0700u)) << "umask " << mask;
    }
    ::umask(022);
    const std::string path = dir.file("Prices.csv"), temp = path + ".ostrell-tmp";
    for (const mode_t original : {0600, 0640, 0444}) {
        fs.writeDurable(path, "PRC001,a\r\nPRC002,b\r\n");
        ASSERT_EQ(::chmod(path.c_str(), original), 0);
        fs.createLike(temp, "PRC002,b\r\n", path);
        EXPECT_EQ(failureNumber([&] { fs.createLike(temp, "again", path); }), err::FileAlreadyExists);
        fs.rename(temp, path);
        EXPECT_EQ(modeOf(path), original);
        EXPECT_EQ(contentOf(path), "PRC002,b\r\n");
        ::chmod(path.c_str(), 0600);
    }
    ::umask(old);
}

// A line that does not fit must leave nothing of itself: the host's importer would read its front as a
// record, and the next line would be glued to it. The file size limit cuts writes as a nearly full disk does.
TEST(PosixFileSystem, ALineCutShortByAFullDiskIsTakenBackAndReported) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const std::string path = dir.file("InBookings.csv"), temp = dir.file("Prices.csv.ostrell-tmp");
    const std::string first = "\"G1\",\"2027-01-02\",\"1\"\r\n";
    fs.append(path, first, true);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto withRoom = [&](rlim_t limit, const std::function<void()>& write) {
        rlimit cut = old;
        cut.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &cut);
        const int number = failureNumber(write);
        ::setrlimit(RLIMIT_FSIZE, &old);
        return number;
    };
    EXPECT_NE(withRoom(first.size() + 10, [&] { fs.append(path, "\"G2\",\"2027-01-03\",\"2\"\r\n", true); }), 0);
    EXPECT_NE(withRoom(10, [&] { fs.writeDurable(temp, "PRC019,\"Room 3\",280,\r\n"); }), 0);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(contentOf(path), first);
    EXPECT_EQ(contentOf(temp), "");
}
