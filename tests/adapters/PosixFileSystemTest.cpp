#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <fstream>
#include <sstream>

#include <string>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/posix/PosixFileSystem.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::adaptertest::UnprivilegedFiles;
using ostrell::platform::PlatformError;
using ostrell::platform::PosixFileSystem;
namespace err = ostrell::platform::err;

namespace {

// The error number a file operation fails with, or 0 when it did not fail.
template <class F>
int failureNumber(F&& operation) {
    try {
        operation();
    } catch (const PlatformError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(PosixFileSystem, AppendsWholeLinesAndRewritesFilesWithExactBytes) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string log = dir.file("VRXlogOUT.txt");

    EXPECT_FALSE(fs.isFile(log));
    fs.append(log, "first line\r\n", false);
    fs.append(log, "second line\r\n", true);
    fs.append(log, "", true);
    EXPECT_TRUE(fs.isFile(log));
    EXPECT_EQ(fs.readAll(log), "first line\r\nsecond line\r\n");
    EXPECT_EQ(fs.length(log), 25);
    // The checked append writes only onto the length its caller knows.
    EXPECT_EQ(fs.appendIfLength(log, "third\r\n", true, 24), -1);
    EXPECT_EQ(fs.appendIfLength(log, "third\r\n", true, 25), 32);
    EXPECT_EQ(fs.appendIfLength(dir.file("Payment.csv"), "p\r\n", true, 0), 3);
    fs.appendUnmeasured(log, "fourth\r\n");
    EXPECT_EQ(fs.readAll(log), "first line\r\nsecond line\r\nthird\r\nfourth\r\n");
    // The log kept open between lines: once another program moves it away, the next line starts a new one.
    fs.rename(log, log + ".old");
    fs.appendUnmeasured(log, "fifth\r\n");
    fs.closeHeldFiles();
    EXPECT_EQ(fs.readAll(log), "fifth\r\n");

    // Bytes travel unchanged, NULs and high bytes included, and files larger than one read buffer whole.
    std::string binary("\0\xe9\xff\r\n", 5);
    std::string big(200000, 'x');
    for (size_t i = 0; i < big.size(); i += 97) big[i] = static_cast<char>(i % 251);
    const std::string work = dir.file("Prices.tmp");
    fs.writeDurable(work, binary + big);
    EXPECT_EQ(fs.readAll(work), binary + big);
    fs.writeDurable(work, "short\r\n");
    EXPECT_EQ(fs.readAll(work), "short\r\n") << "a rewrite must empty the file first";

    // Rename replaces the target; the directory entry change is then made durable.
    const std::string original = dir.file("Prices.csv");
    fs.writeDurable(original, "old content\r\n");
    fs.rename(work, original);
    fs.syncDirectory(dir.path());
    EXPECT_EQ(fs.readAll(original), "short\r\n");
    EXPECT_FALSE(fs.isFile(work));

    fs.remove(original);
    EXPECT_FALSE(fs.isFile(original));

    // Only ordinary, visible files count as files.
    EXPECT_FALSE(fs.isFile(dir.path()));
    EXPECT_TRUE(fs.isDirectory(dir.path()));
    EXPECT_FALSE(fs.isDirectory(log));
    EXPECT_FALSE(fs.isFile("/dev/null"));
    fs.writeDurable(dir.file(".hidden.csv"), "x");
    EXPECT_FALSE(fs.isFile(dir.file(".hidden.csv")));
    EXPECT_FALSE(fs.isFile(log + "/below-a-file"));
}

TEST(PosixFileSystem, EveryFailedOperationThrowsWithAFittingNumber) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string missingDir = dir.file("no-such-dir");
    const std::string file = dir.file("InBookings.csv");
    fs.writeDurable(file, "1|a\r\n");

    EXPECT_EQ(failureNumber([&] { fs.append(missingDir + "/InBookings.csv", "x\r\n", true); }), err::PathNotFound);
    EXPECT_EQ(failureNumber([&] { fs.writeDurable(missingDir + "/Prices.csv", "x"); }), err::PathNotFound);
    EXPECT_EQ(failureNumber([&] { fs.append(file + "/x", "x", false); }), err::PathNotFound);
    EXPECT_EQ(failureNumber([&] { fs.readAll(dir.file("absent.csv")); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { fs.length(dir.file("absent.csv")); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { fs.remove(dir.file("absent.csv")); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { fs.rename(dir.file("absent.csv"), file); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { fs.rename(file, missingDir + "/moved.csv"); }), err::PathNotFound);
    EXPECT_EQ(failureNumber([&] { fs.syncDirectory(missingDir); }), err::FileNotFound);
    EXPECT_EQ(fs.readAll(file), "1|a\r\n") << "a failed rename must leave the source alone";

    // A directory given where a file belongs.
    EXPECT_EQ(failureNumber([&] { fs.readAll(dir.path()); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.append(dir.path(), "x", true); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.writeDurable(dir.path(), "x"); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.remove(dir.path()); }), err::PathFileAccessError);

    // A full disk: the write fails, and that is never taken as success.
    EXPECT_EQ(failureNumber([&] { fs.append("/dev/full", "line\r\n", true); }), err::DiskFull);
    EXPECT_EQ(failureNumber([&] { fs.appendUnmeasured("/dev/full", "line\r\n"); }), err::DiskFull);
    EXPECT_EQ(failureNumber([&] { fs.writeDurable("/dev/full", "line\r\n"); }), err::DiskFull);
}

TEST(PosixFileSystem, ReadOnlyDirectoryRefusesEveryChange) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string readOnly = dir.file("ro");
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0755), 0);
    const std::string existing = readOnly + "/Payment.csv";
    fs.writeDurable(existing, "kept\r\n");
    ASSERT_EQ(::chmod(existing.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0555), 0);
    struct Writable {
        std::string path;
        ~Writable() { ::chmod(path.c_str(), 0755); }  // so the temporary directory can be removed
    } restore{readOnly};

    UnprivilegedFiles unprivileged;
    if (!unprivileged.active()) GTEST_SKIP() << "permissions cannot be enforced for this user";
    EXPECT_EQ(failureNumber([&] { fs.append(readOnly + "/new.csv", "x\r\n", true); }), err::PermissionDenied);
    EXPECT_EQ(failureNumber([&] { fs.writeDurable(readOnly + "/new.tmp", "x"); }), err::PermissionDenied);
    EXPECT_EQ(failureNumber([&] { fs.append(existing, "x\r\n", true); }), err::PermissionDenied);
    EXPECT_EQ(failureNumber([&] { fs.rename(existing, readOnly + "/renamed.csv"); }), err::PermissionDenied);
    EXPECT_EQ(failureNumber([&] { fs.remove(existing); }), err::PermissionDenied);
    EXPECT_EQ(fs.readAll(existing), "kept\r\n");
    EXPECT_FALSE(fs.isFile(readOnly + "/new.csv"));
}

namespace {
mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}
// Sets the umask for one scope.
struct Umask {
    explicit Umask(mode_t m) : old(::umask(m)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};
}  // namespace

TEST(PosixFileSystem, NewFilesAreNeverOpenToOthersAndACutDownCopyKeepsTheOriginalsMode) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    for (const auto& [mask, expected] : {std::pair<mode_t, mode_t>{022, 0640}, {077, 0600}, {0, 0660}}) {
        SCOPED_TRACE(mask);
        Umask umask(mask);
        const std::string log = dir.file("log" + std::to_string(mask)),
                          state = dir.file("state" + std::to_string(mask));
        fs.append(log, "x\r\n", false);
        fs.writeDurable(state, "x");
        EXPECT_EQ(modeOf(log), expected);
        EXPECT_EQ(modeOf(state), expected);
        fs.makePrivateDirectory(dir.file("st" + std::to_string(mask)) + "/a/ostrell");
        EXPECT_EQ(modeOf(dir.file("st" + std::to_string(mask)) + "/a/ostrell"), 0700u);
        EXPECT_EQ(modeOf(dir.file("st" + std::to_string(mask)) + "/a"), 0700u);
    }
    Umask umask(022);
    for (const mode_t original : {0600, 0640, 0444}) {
        SCOPED_TRACE(original);
        const std::string path = dir.file("Prices.csv"), temp = path + ".ostrell-tmp";
        fs.writeDurable(path, "PRC001,a\r\nPRC002,b\r\n");
        ASSERT_EQ(::chmod(path.c_str(), original), 0);
        fs.createLike(temp, "PRC002,b\r\n", path);
        EXPECT_EQ(modeOf(temp), original);
        EXPECT_EQ(fs.readAll(temp), "PRC002,b\r\n");
        EXPECT_EQ(failureNumber([&] { fs.createLike(temp, "again", path); }), err::FileAlreadyExists);
        EXPECT_EQ(fs.readAll(temp), "PRC002,b\r\n");
        fs.rename(temp, path);
        EXPECT_EQ(modeOf(path), original);
        ::chmod(path.c_str(), 0600);
    }
}

TEST(PosixFileSystem, ALinkInTheFolderIsNeverFollowedButTheFolderItselfMayBeOne) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string target = dir.file("target.csv"), link = dir.file("InBookings.csv");
    fs.writeDurable(target, "kept\r\n");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("absent").c_str(), dir.file("dangling.csv").c_str()), 0);
    EXPECT_TRUE(fs.isSymlink(link));
    EXPECT_TRUE(fs.isSymlink(dir.file("dangling.csv")));
    EXPECT_FALSE(fs.isSymlink(target));
    EXPECT_EQ(failureNumber([&] { fs.readAll(link); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.append(link, "x\r\n", true); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.writeDurable(link, "x"); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.append(dir.file("dangling.csv"), "x\r\n", true); }), err::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { fs.createLike(dir.file("dangling.csv"), "x", target); }), err::FileAlreadyExists);
    EXPECT_EQ(fs.readAll(target), "kept\r\n");
    EXPECT_FALSE(fs.isFile(dir.file("absent")));

    const std::string linkedDir = dir.file("data");
    ASSERT_EQ(::symlink(dir.path().c_str(), linkedDir.c_str()), 0);
    fs.append(linkedDir + "/Payment.csv", "p\r\n", true);
    EXPECT_EQ(fs.readAll(dir.file("Payment.csv")), "p\r\n");
    EXPECT_EQ(fs.identity(linkedDir + "/Payment.csv"), fs.identity(dir.file("Payment.csv")));
}

namespace {

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// A disk that takes only `room` more bytes in a file, the way a nearly full one does: the write that
// crosses the limit is cut short and the next one fails (the file size limit gives the same calls).
class NearlyFullDisk {
public:
    explicit NearlyFullDisk(rlim_t fileSizeLimit) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = fileSizeLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~NearlyFullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

}  // namespace

// A line that does not fit must not leave its front in the file: the host's importer would read it as
// a record, and a later line would be glued to it.
TEST(PosixFileSystemShortWrite, ALineCutShortByAFullDiskIsTakenBackAndReported) {
    OpenTempDir dir;
    ASSERT_TRUE(dir.isValid());
    PosixFileSystem fs;
    const std::string path = dir.file("InBookings.csv");
    const std::string first = "\"G1\",\"2027-01-02\",\"1\"\r\n";
    fs.append(path, first, true);

    bool failed = false;
    {
        NearlyFullDisk disk(first.size() + 10);
        try {
            fs.append(path, "\"G2\",\"2027-01-03\",\"2\"\r\n", true);
        } catch (const PlatformError&) {
            failed = true;
        }
    }
    EXPECT_TRUE(failed) << "a short write is a failure";
    EXPECT_EQ(contentOf(path), first);

    // The same for a line rewritten whole into a new file: nothing of it stays.
    const std::string temp = dir.file("Prices.csv.ostrell-tmp");
    failed = false;
    {
        NearlyFullDisk disk(10);
        try {
            fs.writeDurable(temp, "PRC019,\"Room 3\",280,\r\n");
        } catch (const PlatformError&) {
            failed = true;
        }
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(contentOf(temp), "");
}
