#include <gtest/gtest.h>

#include "unit/Fixture.h"

using namespace ostrell;
using unittest::CycleFixture;

TEST(Importer, ThePathHasExactlyOneSeparatorBeforeTheName) {
    EXPECT_EQ(cycle::importerPath("/opt/ostrell"), "/opt/ostrell/BKrunVRX.exe");
    EXPECT_EQ(cycle::importerPath("/opt/ostrell/"), "/opt/ostrell/BKrunVRX.exe");
    EXPECT_EQ(cycle::importerPath("/"), "/BKrunVRX.exe");
}

TEST(Importer, StartedOnlyWhenTheDatabaseKeyHoldsAnythingEvenABlank) {
    CycleFixture f;
    f.store.values.clear();
    f.importer.launchIfDue();
    EXPECT_TRUE(f.launcher.started.empty()) << "key absent";
    f.store.set("VRX1", "DBase", "");
    f.importer.launchIfDue();
    EXPECT_TRUE(f.launcher.started.empty()) << "key empty";
    f.store.set("VRX1", "DBase", " ");
    f.launcher.directory = "/";
    f.importer.launchIfDue();
    EXPECT_EQ(f.launcher.started, std::vector<std::string>{"/BKrunVRX.exe"});
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(Importer, NotStartedAgainWhileOurLastCopyRunsAndTheTransferLogSaysSo) {
    CycleFixture f;
    f.importer.launchIfDue();
    f.importer.launchIfDue();
    EXPECT_EQ(f.launcher.started.size(), 1u);
    EXPECT_EQ(f.fs.content("/data/VRXlogOUT.txt"),
              "2026-12-06 00:00:00 BKrunVRX.exe still running - not started again.\r\n");
    f.launcher.finishAll();
    f.importer.launchIfDue();
    EXPECT_EQ(f.launcher.started.size(), 2u);
}

TEST(Importer, AMissingImporterIsReportedEachTimeAndNothingIsRemembered) {
    CycleFixture f;
    f.launcher.missing.insert("/opt/ostrell/BKrunVRX.exe");
    f.importer.launchIfDue();
    f.importer.launchIfDue();
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"CheckVRX:25", "CheckVRX:25"}));
    EXPECT_EQ(f.sinks.reports[0].number, platform::err::FileNotFound);
    f.launcher.missing.clear();
    f.importer.launchIfDue();
    EXPECT_EQ(f.launcher.started.size(), 1u);
}
