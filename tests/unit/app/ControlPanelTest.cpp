#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/DataDirChooser.h"
#include "app/SaveButton.h"
#include "errors/ErrorReporter.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/RecordingErrorSink.h"
#include "settings/Settings.h"
#include "unit/Fixture.h"

using namespace ostrell;

namespace {

struct Panel : app::SavePanel, app::DataDirPanel {
    std::string timeout;
    std::string dataDir;
    std::vector<std::string> messages;  // "title|text"
    int focusCount = 0;
    std::optional<std::string> chooserAnswer;
    std::vector<std::string> chooserCalls;  // "title|filter"

    std::string timeoutText() const override { return timeout; }
    std::string dataDirText() const override { return dataDir; }
    void showMessage(const std::string& title, const std::string& text) override {
        messages.push_back(title + "|" + text);
    }
    void focusTimeout() override { ++focusCount; }
    std::optional<std::string> chooseFile(const std::string& title, const std::string& filter) override {
        chooserCalls.push_back(title + "|" + filter);
        return chooserAnswer;
    }
    void setDataDirText(const std::string& text) override { dataDir = text; }
};

struct SaveFixture : unittest::Fixture {
    Panel panel;

    void save(const std::string& timeout, const std::string& dir) {
        panel = Panel{};
        store.writes.clear();
        panel.timeout = timeout;
        panel.dataDir = dir;
        app::saveSettings(panel, settings, reporter);
    }
};

}  // namespace

TEST(SaveButton, ANumericTimeoutSavesTheDataDirectoryThenTheTimeoutExactlyAsTyped) {
    SaveFixture f;
    f.save("20", "/srv/brannick/data/");
    EXPECT_EQ(f.store.writes, (std::vector<std::string>{"Ostrell/DataDir=/srv/brannick/data/", "Ostrell/TimeOut=20"}));
    EXPECT_TRUE(f.panel.messages.empty());
    EXPECT_EQ(f.panel.focusCount, 0);

    // No trimming and no conversion: signs, fractions, exponents and blanks are stored as they stand.
    for (const std::string typed : {" 15 ", "15.5", "-5", "0", "+7", "1e3", "99999999999999999999"}) {
        f.save(typed, " /data with blanks/ ");
        EXPECT_EQ(f.store.writes,
                  (std::vector<std::string>{"Ostrell/DataDir= /data with blanks/ ", "Ostrell/TimeOut=" + typed}))
            << typed;
    }
    // An empty data directory is saved too: nothing checks the directory.
    f.save("15", "");
    EXPECT_EQ(f.store.get("Ostrell", "DataDir"), "");
}

TEST(SaveButton, ATimeoutThatIsNotANumberIsRefusedAndNothingIsSaved) {
    SaveFixture f;
    for (const std::string typed : {"", "abc", " ", "15s", "1,5", "--1", "1e", "0x10", "."}) {
        f.save(typed, "/new/dir/");
        EXPECT_TRUE(f.store.writes.empty()) << "'" << typed << "'";
        EXPECT_EQ(f.panel.messages, (std::vector<std::string>{"Ostrell|Invalid timeout"})) << typed;
        EXPECT_EQ(f.panel.focusCount, 1) << typed;
    }
    EXPECT_FALSE(f.store.has("Ostrell", "DataDir"));
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(SaveButton, AStoreThatRefusesWritesIsReportedForEachValue) {
    SaveFixture f;
    f.store.failWrites = true;
    f.save("20", "/d/");
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"cmdSave_Click:95", "cmdSave_Click:100"}));
}

TEST(DataDirChooser, AChosenFileLeavesItsDirectoryWithTheTrailingSlash) {
    EXPECT_EQ(app::dataDirFromChosenFile("/srv/Data/Rates.csv", true), "/srv/Data/");
    EXPECT_EQ(app::dataDirFromChosenFile("/Rates.csv", true), "/");
    // Every occurrence of the name goes, not only the last one.
    EXPECT_EQ(app::dataDirFromChosenFile("/home/Rates/Rates", true), "/home//");
    EXPECT_EQ(app::dataDirFromChosenFile("/a/x.csv.bak/x.csv", true), "/a/.bak/");
    // Case matters in the replacement.
    EXPECT_EQ(app::dataDirFromChosenFile("/rates/Rates", true), "/rates/");
    // A path that names no existing file stays whole.
    EXPECT_EQ(app::dataDirFromChosenFile("/nowhere/Gone.csv", false), "/nowhere/Gone.csv");
    EXPECT_EQ(app::replaceAll("aaaa", "aa", ""), "");
    EXPECT_EQ(app::replaceAll("abc", "", "x"), "abc");
}

TEST(DataDirChooser, TheButtonPutsTheDirectoryInTheBoxAndCancelLeavesTheBoxAsItWas) {
    fake::FakeFileSystem files;
    files.addDirectory("/srv");
    files.addDirectory("/srv/Data");
    files.putFile("/srv/Data/Rates.csv", "x");
    Panel panel;
    panel.dataDir = "/old/dir/";

    panel.chooserAnswer = std::nullopt;  // cancelled
    app::chooseDataDirectory(panel, files);
    EXPECT_EQ(panel.dataDir, "/old/dir/");
    EXPECT_EQ(panel.chooserCalls, (std::vector<std::string>{"Find Remote Database| Data Directory (*.*)|*.*"}));

    panel.chooserAnswer = "/srv/Data/Rates.csv";
    app::chooseDataDirectory(panel, files);
    EXPECT_EQ(panel.dataDir, "/srv/Data/");

    // Cancelling after a choice does not bring the earlier choice back either.
    panel.dataDir = "/typed/by/hand/";
    panel.chooserAnswer = std::nullopt;
    app::chooseDataDirectory(panel, files);
    EXPECT_EQ(panel.dataDir, "/typed/by/hand/");

    // A chosen name that does not exist (or a directory) is shown whole.
    panel.chooserAnswer = "/srv/Data/Missing.csv";
    app::chooseDataDirectory(panel, files);
    EXPECT_EQ(panel.dataDir, "/srv/Data/Missing.csv");
    panel.chooserAnswer = "/srv/Data";
    app::chooseDataDirectory(panel, files);
    EXPECT_EQ(panel.dataDir, "/srv/Data");
}
