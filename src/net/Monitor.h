#pragma once
#include <cstddef>
#include <string>

#include "errors/ErrorReporter.h"
#include "net/Views.h"

namespace ostrell::net {

// The live view of the exchange in the main window's monitor box: newest line first, lines separated by
// CR LF, dropped while the window is hidden. Not a log: the transfer log is the permanent trace.
class Monitor {
public:
    static constexpr size_t CutAbove = 5000;  // a longer text is cut...
    static constexpr size_t KeepFirst = 500;  // ...to its newest part

    Monitor(MonitorView& view, errors::ErrorReporter& reporter) : view_(view), reporter_(reporter) {}

    void show(const std::string& line);

    // On while the window is shown through the tray menu; the tray code reads it.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }

private:
    bool enabled_ = false;
    MonitorView& view_;
    errors::ErrorReporter& reporter_;
};

}  // namespace ostrell::net
