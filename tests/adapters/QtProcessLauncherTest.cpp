#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <string>

#include "AdapterTestSupport.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtProcessLauncher.h"

using ostrell::adaptertest::OpenTempDir;
using ostrell::adaptertest::testApp;
using ostrell::platform::PlatformError;
using ostrell::platform::QtEventLoop;
using ostrell::platform::QtPlatform;
using ostrell::platform::QtProcessLauncher;
namespace err = ostrell::platform::err;

namespace {

constexpr int64_t kWait = 10000;  // bound only: the waits end as soon as their condition holds

class ProcessLauncherTest : public ::testing::Test {
protected:
    QCoreApplication& app_ = testApp();  // first: Qt objects below need it
    void SetUp() override {
        testApp();
        ASSERT_TRUE(dir_.isValid());
    }
    // Writes an executable shell script and gives its path.
    std::string script(const std::string& name, const std::string& body, mode_t mode = 0755) {
        const std::string path = dir_.file(name);
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\n" + body).c_str());
        file.close();
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::string contentOf(const std::string& path) {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    bool exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }

    template <class F>
    int failureNumber(F&& start) {
        try {
            start();
        } catch (const PlatformError& e) {
            return e.number();
        }
        return 0;
    }

    OpenTempDir dir_;
    QtEventLoop loop_;
    QtProcessLauncher launcher_;
};

}  // namespace

TEST_F(ProcessLauncherTest, StartedProgramRunsDetachedAndIsSeenToEnd) {
    const std::string stop = dir_.file("stop");
    const std::string pidFile = dir_.file("pid");
    const std::string program =
        script("BKrunVRX", "echo $$ > '" + pidFile + ".tmp' && mv '" + pidFile + ".tmp' '" + pidFile +
                               "'\nwhile [ ! -e '" + stop + "' ]; do sleep 0.02; done\n");
    const int64_t pid = launcher_.startProgram(program);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(loop_.waitUntil([&] { return exists(pidFile); }, kWait)) << "the program never ran";
    EXPECT_EQ(std::stoll(contentOf(pidFile)), pid) << "the id given is the started program's";
    EXPECT_TRUE(launcher_.isRunning(pid));

    QFile(QString::fromStdString(stop)).open(QIODevice::WriteOnly);
    EXPECT_TRUE(loop_.waitUntil([&] { return !launcher_.isRunning(pid); }, kWait)) << "the end was not noticed";
    EXPECT_FALSE(launcher_.isRunning(0));
    EXPECT_FALSE(launcher_.isRunning(-1));
}

TEST_F(ProcessLauncherTest, CommandLinesAreSplitAsAShellWouldAndRunAShellWhenNeeded) {
    const std::string out = dir_.file("args");
    const std::string program = script("import tool", "printf '%s|%s|%s' \"$1\" \"$2\" \"$#\" > '" + out + "'\n");
    launcher_.startCommandLine("\"" + program + "\" \"two words\" plain");
    ASSERT_TRUE(loop_.waitUntil([&] { return contentOf(out) == "two words|plain|2"; }, kWait)) << contentOf(out);

    const std::string redirected = dir_.file("redirected");
    launcher_.startCommandLine("echo done > '" + redirected + "'");
    ASSERT_TRUE(loop_.waitUntil([&] { return contentOf(redirected) == "done\n"; }, kWait)) << contentOf(redirected);
}

TEST_F(ProcessLauncherTest, ProgramsThatCannotStartThrow) {
    EXPECT_EQ(failureNumber([&] { launcher_.startProgram(dir_.file("BKrunVRX.exe")); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { launcher_.startProgram(dir_.path()); }), err::PermissionDenied);
    const std::string notExecutable = script("plain.txt", "exit 0\n", 0644);
    EXPECT_EQ(failureNumber([&] { launcher_.startProgram(notExecutable); }), err::PermissionDenied);
    EXPECT_EQ(failureNumber([&] { launcher_.startCommandLine(dir_.file("missing") + " --all"); }), err::FileNotFound);
    EXPECT_EQ(failureNumber([&] { launcher_.startCommandLine("no-such-program-anywhere --x"); }), err::FileNotFound);
    EXPECT_NE(failureNumber([&] { launcher_.startCommandLine("   "); }), 0);
}

TEST_F(ProcessLauncherTest, ProgramDirectoryAndNameAreThoseOfTheRunningFile) {
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QFileInfo exe(self.symLinkTarget());
    EXPECT_EQ(launcher_.programDirectory(), exe.absolutePath().toStdString());
    EXPECT_EQ(launcher_.programName(), "adapter_tests");
    EXPECT_NE(launcher_.programDirectory().back(), '/');

    // The bundle of real services finds the same directory for the error sink library.
    QtPlatform platform;
    EXPECT_EQ(platform.launcher.programDirectory(), launcher_.programDirectory());
    EXPECT_FALSE(platform.errorSinks.usesLibrary()) << "no sink library lies beside the test program";
}
