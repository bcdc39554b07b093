#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/DisplayChoice.h"
#include "app/MonitorSwitch.h"
#include "app/TrayActivation.h"
#include "errors/ErrorReporter.h"
#include "fakes/RecordingErrorSink.h"
#include "platform/PlatformError.h"

using namespace ostrell;

namespace {

struct View : app::MonitorSwitchView {
    bool visible = false;
    bool monitorMode = false;
    std::string text = "old line";
    std::string caption = "Monitor";
    std::optional<std::string> answer;
    std::vector<std::string> prompts;
    bool captionFails = false;

    bool isWindowVisible() const override { return visible; }
    std::optional<std::string> askPassword(const std::string& prompt) override {
        prompts.push_back(prompt);
        return answer;
    }
    void setWindowVisible(bool v) override { visible = v; }
    void setMonitorMode(bool on) override { monitorMode = on; }
    void setMonitorText(const std::string& t) override { text = t; }
    void setMonitorCaption(const std::string& c) override {
        if (captionFails) throw platform::PlatformError(5, "Invalid procedure call or argument");
        caption = c;
    }
};

struct Fixture {
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
};

}  // namespace

TEST(TrayEvents, OnlyTheSecondaryButtonOpensTheMenuAndOnlyADoubleClickRestores) {
    EXPECT_EQ(app::trayActionFor(app::TrayEvent::Context), app::TrayAction::OpenMenu);
    EXPECT_EQ(app::trayActionFor(app::TrayEvent::DoubleClick), app::TrayAction::RestoreNormal);
    EXPECT_EQ(app::trayActionFor(app::TrayEvent::Trigger), app::TrayAction::Nothing);
    EXPECT_EQ(app::trayActionFor(app::TrayEvent::MiddleClick), app::TrayAction::Nothing);
    EXPECT_EQ(app::trayActionFor(app::TrayEvent::Unknown), app::TrayAction::Nothing);
}

TEST(TrayEvents, TheTipIsTheCaptionUnlessGivenAndIsCutAt64Characters) {
    EXPECT_EQ(app::trayTipText("", "Veltrana Interface"), "Veltrana Interface");
    EXPECT_EQ(app::trayTipText("Busy", "Veltrana Interface"), "Busy");
    const std::string longTip(70, 'x');
    EXPECT_EQ(app::trayTipText(longTip, "c"), std::string(64, 'x'));
}

TEST(MonitorSwitch, TheExactAccessCodeSwitchesTheMonitorOnWithAnEmptyBox) {
    Fixture f;
    View v;
    v.answer = "qoz";
    app::toggleMonitor(v, f.reporter);
    EXPECT_EQ(v.prompts, (std::vector<std::string>{"Password ? "}));
    EXPECT_TRUE(v.visible);
    EXPECT_TRUE(v.monitorMode);
    EXPECT_EQ(v.text, "");
    EXPECT_EQ(v.caption, "Monitor Off");

    // Off again: no question asked; hidden, emptied, caption back.
    v.text = "S 10|123";
    app::toggleMonitor(v, f.reporter);
    EXPECT_EQ(v.prompts.size(), 1u);
    EXPECT_FALSE(v.visible);
    EXPECT_FALSE(v.monitorMode);
    EXPECT_EQ(v.text, "");
    EXPECT_EQ(v.caption, "Monitor");
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(MonitorSwitch, AnyOtherAnswerChangesNothingAndShowsNothing) {
    Fixture f;
    for (const auto& answer :
         {std::optional<std::string>{}, std::optional<std::string>{""}, std::optional<std::string>{"QOZ"},
          std::optional<std::string>{"Qoz"}, std::optional<std::string>{" qoz"}, std::optional<std::string>{"qoz "},
          std::optional<std::string>{"qo"}, std::optional<std::string>{"qozz"}}) {
        View v;
        v.answer = answer;
        app::toggleMonitor(v, f.reporter);
        EXPECT_FALSE(v.visible) << answer.value_or("<cancelled>");
        EXPECT_FALSE(v.monitorMode);
        EXPECT_EQ(v.text, "old line");
        EXPECT_EQ(v.caption, "Monitor");
    }
    EXPECT_TRUE(f.sinks.reports.empty());
}

TEST(MonitorSwitch, AFailingStepIsReportedAndTheSwitchStillCompletes) {
    Fixture f;
    View v;
    v.answer = "qoz";
    v.captionFails = true;
    app::toggleMonitor(v, f.reporter);
    EXPECT_TRUE(v.visible);
    EXPECT_TRUE(v.monitorMode);
    EXPECT_EQ(f.sinks.where(), (std::vector<std::string>{"mnuMonitor_Click:125"}));
}

TEST(DisplayChoice, TheWindowNeedsADisplayAndNoHeadlessRequest) {
    using app::desktopWanted;
    EXPECT_TRUE(desktopWanted({":0", "", ""}, {}));
    EXPECT_TRUE(desktopWanted({"", "wayland-0", ""}, {}));
    EXPECT_TRUE(desktopWanted({":99", "", "xcb"}, {}));
    EXPECT_FALSE(desktopWanted({"", "", ""}, {}));
    EXPECT_FALSE(desktopWanted({"", "", "xcb"}, {}));
    EXPECT_FALSE(desktopWanted({":0", "", "offscreen"}, {}));
    EXPECT_FALSE(desktopWanted({":0", "", "offscreen:fontengine=freetype"}, {}));
    EXPECT_FALSE(desktopWanted({":0", "", "minimal"}, {}));
    EXPECT_FALSE(desktopWanted({":0", "", ""}, {"--headless"}));
    EXPECT_TRUE(desktopWanted({":0", "", ""}, {"--other"}));
}
