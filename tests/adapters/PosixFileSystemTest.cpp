#include <sys/resource.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "AdapterTestSupport.h"
#include "platform/posix/PosixFileSystem.h"

using namespace ostrell::adaptertest;
using ostrell::platform::PosixFileSystem;
namespace err = ostrell::platform::err;

// Every failure is an error number the agent reports, never a success; links in the folder are not followed
// but the folder itself may be one.
TEST(PosixFileSystem, EachOperationSucceedsOrThrowsWithAFittingNumber) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const std::string file = dir.file("InBookings.csv"), link = dir.file("l.csv"), dangling = dir.file("d.csv"),
                      temp = dir.file("Prices.csv.ostrell-tmp"), ro = dir.file("ro"), kept = ro + "/Payment.csv";
    fs.writeDurable(file, "1|a\r\n");
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()) | ::symlink(dir.file("none/x.csv").c_str(), dangling.c_str()), 0);
    ASSERT_EQ(::symlink(dir.path().c_str(), dir.file("data").c_str()) | ::mkdir(ro.c_str(), 0755), 0);
    fs.writeDurable(kept, "kept\r\n");
    ASSERT_EQ(::chmod(kept.c_str(), 0444) | ::chmod(ro.c_str(), 0555), 0);
    // A file size limit cuts a write short as a nearly full disk does. The front of a line must not stay: the
    // importer would read it as a record, and the next line would be glued to it.
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, SIG_IGN);
    struct Case {
        const char* what;
        std::function<void()> operation;
        int number;
        bool asNobody = false;
        rlim_t room = 0;  // bytes a file may grow to; 0: no limit
    };
    const auto cases = std::to_array<Case>({
        {"append in a linked folder", [&] { fs.append(dir.file("data/Payment.csv"), "p\r\n", true); }, 0},
        {"append on a full disk", [&] { fs.append("/dev/full", "line\r\n", true); }, err::DiskFull},
        {"line cut short", [&] { fs.append(file, "\"G2\",\"2027-01-03\"\r\n", true); }, err::DeviceIoError, false, 15},
        {"rewrite cut short", [&] { fs.writeDurable(temp, "PRC019,\"R3\",280\r\n"); }, err::DeviceIoError, false, 10},
        {"rewrite a link", [&] { fs.writeDurable(link, "x"); }, err::PathFileAccessError},
        {"hold a link open", [&] { fs.openForReading(link); }, err::PathFileAccessError},
        {"append to a dangling link", [&] { fs.append(dangling, "x", true); }, err::PathFileAccessError},
        {"temporary over a link", [&] { fs.createLike(dangling, "x", file); }, err::FileAlreadyExists},
        {"new file in read-only dir", [&] { fs.append(ro + "/n.csv", "x", true); }, err::PermissionDenied, true},
        {"append to read-only file", [&] { fs.append(kept, "x", true); }, err::PermissionDenied, true},
        {"remove in read-only dir", [&] { fs.remove(kept); }, err::PermissionDenied, true},
    });
    for (const auto& c : cases) {
        const UnprivilegedFiles nobody(c.asNobody);
        const rlimit room{c.room ? c.room : unlimited.rlim_cur, unlimited.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &room);
        const int number = c.asNobody && !nobody.active() ? c.number : failureNumber(c.operation);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        EXPECT_EQ(number, c.number) << c.what;
    }
    EXPECT_EQ(contentOf(file) + contentOf(temp) + contentOf(kept) + contentOf(ro + "/n.csv") +
                  contentOf(dir.file("Payment.csv")),
              "1|a\r\nkept\r\np\r\n");
    ::chmod(ro.c_str(), 0755);
}

TEST(PosixFileSystem, NewFilesAreNeverOpenToOthersAndACutDownCopyKeepsTheOriginalsMode) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const mode_t old = ::umask(0);
    for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0640}, {077, 0600}, {0, 0660}}) {
        ::umask(mask);
        const std::string tag = dir.file(std::to_string(mask));
        fs.append(tag + "log", "x\r\n", false);
        fs.writeDurable(tag + "state", "x");
        fs.makePrivateDirectory(tag + "/a/ostrell");
        EXPECT_EQ(
            std::tuple(modeOf(tag + "log"), modeOf(tag + "state"), modeOf(tag + "/a"), modeOf(tag + "/a/ostrell")),
            std::tuple(mode, mode, 0700u, 0700u))
            << "umask " << mask;
    }
    ::umask(022);
    const std::string path = dir.file("Prices.csv"), temp = path + ".ostrell-tmp";
    for (const mode_t original : {0600, 0640, 0444}) {
        fs.writeDurable(path, "PRC001,a\r\nPRC002,b\r\n");
        ASSERT_EQ(::chmod(path.c_str(), original), 0);
        fs.createLike(temp, "PRC002,b\r\n", path);
        fs.rename(temp, path);
        EXPECT_EQ(std::pair(modeOf(path), contentOf(path)), std::pair(original, std::string("PRC002,b\r\n")));
        ::chmod(path.c_str(), 0600);
    }
    ::umask(old);
}

// Bytes travel unchanged (NULs, high bytes, more than one read buffer); the checked append writes only onto
// the length its caller knows; the log held open between lines follows a move by the host.
TEST(PosixFileSystem, BytesAppendsAndTheHeldLogFollowTheFiles) {
    OpenTempDir dir;
    PosixFileSystem fs;
    const std::string log = dir.file("VRXlogOUT.txt"), work = dir.file("Prices.tmp"), target = dir.file("Prices.csv");
    std::string big(std::string("\0\xe9\xff\r\n", 5) + std::string(200000, 'x'));
    for (size_t i = 5; i < big.size(); i += 97) big[i] = static_cast<char>(i % 251);
    fs.writeDurable(work, big);
    EXPECT_EQ(fs.readAll(work), big);
    fs.writeDurable(target, "old\r\n");
    fs.rename(work, target);
    EXPECT_EQ(std::tuple(fs.readAll(target) == big, fs.isFile(work), fs.length(target)),
              std::tuple(true, false, static_cast<int64_t>(big.size())));
    fs.append(log, "first\r\n", false);
    const auto refused = fs.appendIfLength(log, "x\r\n", true, 6);
    EXPECT_EQ(std::pair(refused, fs.appendIfLength(log, "second\r\n", true, 7)), (std::pair<int64_t, int64_t>(-1, 15)));
    fs.appendUnmeasured(log, "third\r\n");
    fs.rename(log, log + ".old");
    fs.appendUnmeasured(log, "fourth\r\n");
    fs.closeHeldFiles();
    std::error_code gone;  // the iterator's own descriptor
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
        EXPECT_EQ(std::filesystem::read_symlink(fd, gone).string().find(log), std::string::npos) << "still held";
    EXPECT_EQ(fs.readAll(log + ".old") + "|" + fs.readAll(log), "first\r\nsecond\r\nthird\r\n|fourth\r\n");
    EXPECT_TRUE(fs.isDirectory(dir.path()) && !fs.isFile(dir.path()) && !fs.isFile("/dev/null"));
    // A file held open stays that file after a rename over its name: a late write into it is read there.
    const auto reading = fs.openForReading(target);
    const auto writing = fs.openForAppending(target);
    fs.writeDurable(work, "new\r\n");
    fs.rename(work, target);
    writing->append("late\r\n");
    const auto status = reading->status();
    EXPECT_EQ(std::tuple(reading->readFrom(static_cast<int64_t>(big.size())), status.size, fs.readAll(target)),
              std::tuple(std::string("late\r\n"), static_cast<int64_t>(big.size()) + 6, std::string("new\r\n")));
    EXPECT_NEAR(static_cast<double>(status.modifiedMs), ::time(nullptr) * 1000.0, 5000.0);
}
