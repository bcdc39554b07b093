#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "AdapterTestSupport.h"
#include "platform/posix/LibraryErrorSink.h"

using ostrell::adaptertest::OpenTempDir;
using namespace ostrell::platform;

TEST(LibraryErrorSink, LookedForInThePrivateLibraryDirectoryWhenInstalledBesideTheProgramOtherwise) {
    EXPECT_EQ(sinkLibraryDirectory("/usr/bin", "lib/x86_64-linux-gnu"), "/usr/lib/x86_64-linux-gnu/ostrell");
    EXPECT_EQ(sinkLibraryDirectory("/opt/ostrell/bin/", "lib"), "/opt/ostrell/lib/ostrell");
    EXPECT_EQ(sinkLibraryDirectory("/work/build/src/app", "lib"), "/work/build/src/app");
    EXPECT_EQ(sinkLibraryDirectory("/work/sbin", "lib"), "/work/sbin");
}

TEST(LibraryErrorSink, LoadedOnlyFromAFileAndDirectoryNoOneElseCanWrite) {
    struct Case {
        const char* name;
        mode_t dirMode;
        mode_t fileMode;
        bool loaded;
    };
    for (const Case& c :
         {Case{"proper", 0755, 0644, true}, Case{"group-writable directory", 0775, 0644, false},
          Case{"world-writable directory", 0757, 0644, false}, Case{"group-writable file", 0755, 0664, false}}) {
        SCOPED_TRACE(c.name);
        OpenTempDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string lib = dir.file(SinkLibraryName);
        std::filesystem::copy_file(OSTRELL_TEST_SINK, lib);
        ASSERT_EQ(::chmod(lib.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chmod(dir.path().c_str(), c.dirMode), 0);
        EXPECT_EQ(untrustedReason(dir.path(), lib).empty(), c.loaded);
        ErrorSinkLoader loader(dir.path());
        EXPECT_EQ(loader.usesLibrary(), c.loaded);
        EXPECT_EQ(loader.create()->handle({}) == 4242, c.loaded) << "the library's answer, or the system log's";
    }
}
