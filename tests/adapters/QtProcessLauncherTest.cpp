#include <gtest/gtest.h>

#include <functional>

#include "AdapterTestSupport.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProcessLauncher.h"

using namespace ostrell::adaptertest;
using namespace ostrell::platform;

// The importer and the upload command: started detached, followed to their end, command lines split as a
// shell would (or given to one when they need it), and a program that cannot start is an error.
TEST(QtProcessLauncher, StartsProgramsAndCommandLinesDetachedAndSeesThemEnd) {
    testApp();
    OpenTempDir dir;
    QtEventLoop loop;
    QtProcessLauncher launcher;
    const auto script = [&](const std::string& name, const std::string& body, mode_t mode) {
        writeFile(dir.file(name), "#!/bin/sh\n" + body);
        ::chmod(dir.file(name).c_str(), mode);
        return dir.file(name);
    };
    const std::string out = dir.file("out"), stop = dir.file("stop");
    const int64_t pid = launcher.startProgram(
        script("BKrunVRX", "echo $$ > '" + out + "'\nwhile [ ! -e '" + stop + "' ]; do sleep 0.02; done\n", 0755));
    ASSERT_TRUE(loop.waitUntil([&] { return contentOf(out).ends_with('\n'); }, 10000)) << "the program never ran";
    EXPECT_EQ(std::stoll(contentOf(out)), pid) << "the id given is the started program's";
    EXPECT_TRUE(launcher.isRunning(pid));
    writeFile(stop, "");
    EXPECT_TRUE(loop.waitUntil([&] { return !launcher.isRunning(pid); }, 10000)) << "the end was not noticed";

    const std::string tool = script("import tool", "printf '%s|%s|%s' \"$1\" \"$2\" \"$#\" >> \"$3\"\n", 0755);
    launcher.startCommandLine("\"" + tool + "\" \"two words\" plain " + out + "2");
    ASSERT_TRUE(loop.waitUntil([&] { return contentOf(out + "2") == "two words|plain|3"; }, 10000));
    launcher.startCommandLine("echo done >> '" + out + "2'");
    EXPECT_TRUE(loop.waitUntil([&] { return contentOf(out + "2") == "two words|plain|3done\n"; }, 10000));

    const std::string plain = script("plain.txt", "exit 0\n", 0644);
    for (const auto& [start, number] : std::initializer_list<std::pair<std::function<void()>, int>>{
             {[&] { launcher.startProgram(dir.file("BKrunVRX.exe")); }, err::FileNotFound},
             {[&] { launcher.startProgram(dir.path()); }, err::PermissionDenied},
             {[&] { launcher.startProgram(plain); }, err::PermissionDenied},
             {[&] { launcher.startCommandLine("no-such-program-anywhere --x"); }, err::FileNotFound},
             {[&] { launcher.startCommandLine("   "); }, err::InvalidProcedureCall}})
        EXPECT_EQ(failureNumber(start), number);
}
