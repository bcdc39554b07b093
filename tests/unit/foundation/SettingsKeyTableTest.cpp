#include <gtest/gtest.h>

#include "errors/Trap.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/RecordingErrorSink.h"
#include "settings/Parameters.h"

using namespace ostrell;
using namespace ostrell::settings;

namespace {
struct Fixture {
    fake::FakeSettingsStore store;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
    Settings settings{store};
};
}  // namespace

TEST(ParameterRead, BadNumbersAreReportedAndLeaveTheOldValueWhileTheRestIsRead) {
    Fixture f;
    Parameters p;
    p.timeoutSecs = 42;
    f.store.set("Ostrell", "TimeOut", "soon");
    f.store.set("Ostrell", "Loop", "15.5");
    f.store.set("Ostrell", "LoNumber4", "  ");
    f.store.set("Ostrell", "UpLoad", "importer --now");
    errors::Trap trap(f.reporter, "tmrParams_Timer");
    readParameters(f.settings, p, trap);
    EXPECT_EQ(p.timeoutSecs, 42);
    EXPECT_EQ(p.loopCount, 16);
    EXPECT_TRUE(p.hasLoNumber) << "an entry of blanks counts";
    EXPECT_EQ(p.loNumbers[1], "");
    EXPECT_EQ(p.uploadCommand, "importer --now") << "the statement after the failure still runs";
    ASSERT_EQ(f.sinks.reports.size(), 1u);
    EXPECT_EQ(f.sinks.reports[0].procedureName, "tmrParams_Timer");
    EXPECT_EQ(f.sinks.reports[0].number, platform::err::TypeMismatch);
    EXPECT_EQ(f.sinks.reports[0].line, 50);
}

TEST(ParameterRead, PortKeysAreIgnoredWithoutAnAddress) {
    Fixture f;
    f.store.set("Ostrell", "IPport", "7000");
    f.store.set("Ostrell", "IPLocalport", "5000");
    ConnectionSettings c;
    errors::Trap trap(f.reporter, "Form_Load");
    readConnectionSettings(f.settings, c, trap);
    EXPECT_EQ(c.serverPort, 6667);
    EXPECT_EQ(c.localPort, 0);

    f.store.set("Ostrell", "IPadd", "127.0.0.2");
    f.store.set("Ostrell", "IPport", "x");
    ConnectionSettings d;
    readConnectionSettings(f.settings, d, trap);
    EXPECT_EQ(d.serverIp, "127.0.0.2");
    EXPECT_EQ(d.serverPort, 0) << "a port that is not a number is reported and stays 0";
    EXPECT_EQ(d.localPort, 5000);
    ASSERT_EQ(f.sinks.where(), std::vector<std::string>{"Form_Load:85"});
}
