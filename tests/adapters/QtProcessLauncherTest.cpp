#include <gtest/gtest.h>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProcessLauncher.h"

using namespace ostrell::adaptertest;
using namespace ostrell::platform;

namespace {

class QtProcessLauncherTest : public ::testing::Test {
protected:
    // An executable shell script; its path.
    std::string script(const std::string& name, const std::string& body, mode_t mode = 0755) {
        writeFile(dir_.file(name), "#!/bin/sh\n" + body);
        ::chmod(dir_.file(name).c_str(), mode);
        return dir_.file(name);
    }
    QCoreApplication& app_ = testApp();  // first: the Qt objects below need it
    OpenTempDir dir_;
    QtEventLoop loop_;
    QtProcessLauncher launcher_;
};

}  // namespace

TEST_F(QtProcessLauncherTest, AStartedProgramRunsDetachedAndIsSeenToEnd) {
    const std::string pid = dir_.file("pid"), stop = dir_.file("stop");
    const int64_t started = launcher_.startProgram(
        script("BKrunVRX", "echo $$ > '" + pid + "'\nwhile [ ! -e '" + stop + "' ]; do sleep 0.02; done\n"));
    ASSERT_TRUE(loop_.waitUntil([&] { return contentOf(pid).ends_with('\n'); }, 10000)) << "the program never ran";
    EXPECT_EQ(std::stoll(contentOf(pid)), started) << "the id given is the started program's";
    EXPECT_TRUE(launcher_.isRunning(started));
    writeFile(stop, "");
    EXPECT_TRUE(loop_.waitUntil([&] { return !launcher_.isRunning(started); }, 10000)) << "the end was not noticed";
}

TEST_F(QtProcessLauncherTest, CommandLinesAreSplitAsAShellWouldAndRunAShellWhenNeeded) {
    const std::string out = dir_.file("args"), program = script("import tool", "printf '%s|%s|%s' \"$1\" \"$2\" \"$#\" > \"$3\"\n");
    launcher_.startCommandLine("\"" + program + "\" \"two words\" plain " + out);
    launcher_.startCommandLine("echo done > '" + out + "2'");
    EXPECT_TRUE(loop_.waitUntil([&] { return contentOf(out) + contentOf(out + "2") == "two words|plain|3done\n"; }, 10000))
        << contentOf(out) << contentOf(out + "2");
}

TEST_F(QtProcessLauncherTest, ProgramsThatCannotStartThrow) {
    const std::string notExecutable = script("plain.txt", "exit 0\n", 0644);
    for (const auto& [start, number] : {std::pair<std::function<void()>, int>{[&] { launcher_.startProgram(dir_.file("BKrunVRX.exe")); }, err::FileNotFound},
                                        {[&] { launcher_.startProgram(dir_.path()); }, err::PermissionDenied},
                                        {[&] { launcher_.startProgram(notExecutable); }, err::PermissionDenied},
                                        {[&] { launcher_.startCommandLine("no-such-program-anywhere --x"); }, err::FileNotFound},
                                        {[&] { launcher_.startCommandLine("   "); }, err::InvalidProcedureCall}})
        EXPECT_EQ(failureNumber(start), number);
}
