#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProcessLauncher.h"

using namespace ostrell::adaptertest;
using namespace ostrell::platform;

// The importer runs detached and its end is seen, by the process started, not by a number another process
// may hold (here: our own pid); a program that cannot start is an error.
TEST(QtProcessLauncher, StartsAProgramDetachedAndSeesItEnd) {
    testApp();
    OpenTempDir dir;
    QtEventLoop loop;
    QtProcessLauncher launcher;
    const std::string program = dir.file("BKrunVRX"), pid = dir.file("pid"), stop = dir.file("stop");
    writeFile(program, "#!/bin/sh\necho $$ > '" + pid + "'\nwhile [ ! -e '" + stop + "' ]; do sleep 0.02; done\n");
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    const ProcessHandle started = launcher.startProgram(program);
    ASSERT_TRUE(loop.waitUntil([&] { return contentOf(pid).ends_with('\n'); }, 10000)) << "the program never ran";
    EXPECT_TRUE(launcher.isRunning(started));
    EXPECT_FALSE(launcher.isRunning(::getpid()));
    writeFile(stop, "");
    EXPECT_TRUE(loop.waitUntil([&] { return !launcher.isRunning(started); }, 10000)) << "the end was not noticed";
    ASSERT_EQ(::chmod(program.c_str(), 0644), 0);
    for (const auto& [start, number] : std::initializer_list<std::pair<std::function<void()>, int>>{
             {[&] { launcher.startProgram(dir.file("BKrunVRX.exe")); }, err::FileNotFound},
             {[&] { launcher.startProgram(program); }, err::PermissionDenied},
             {[&] { launcher.startCommandLine("no-such-program-anywhere --x"); }, err::FileNotFound},
             {[&] { launcher.startCommandLine('"' + program + R"(" "two words")"); }, err::PermissionDenied}})
        EXPECT_EQ(failureNumber(start), number);
}
