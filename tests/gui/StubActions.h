#pragma once
#include <string>
#include <vector>

#include "app/WindowActions.h"
#include "errors/ErrorReporter.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/RecordingErrorSink.h"
#include "settings/Settings.h"

namespace ostrell::guitest {

// The core's side of the window, recorded, for tests of the window and tray on their own.
class StubActions : public app::WindowActions {
public:
    fake::FakeSettingsStore store;
    settings::Settings settingsAccess{store};
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter errorReporter{sinks, terminator};
    fake::FakeFileSystem fileSystem;
    bool monitor = false;
    bool allowClose = false;
    int exitCalls = 0;
    std::vector<app::CloseReason> closeRequests;

    settings::Settings& settings() override { return settingsAccess; }
    errors::ErrorReporter& reporter() override { return errorReporter; }
    platform::FileSystem& files() override { return fileSystem; }
    bool monitorMode() const override { return monitor; }
    void setMonitorMode(bool on) override { monitor = on; }
    std::string serverAddressText() override { return "IP: 127.0.0.1\r\nPort: 6667"; }
    void exitProgram() override { ++exitCalls; }
    bool queryClose(app::CloseReason reason) override {
        closeRequests.push_back(reason);
        return allowClose;
    }
};

}  // namespace ostrell::guitest
