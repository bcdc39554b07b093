#include "net/Monitor.h"

#include "errors/Trap.h"

namespace ostrell::net {

void Monitor::show(const std::string& line) {
    errors::Trap trap(reporter_, "ShowTXT");
    if (!trap.value(
            10, [&] { return view_.isWindowVisible(); }, false))
        return;
    std::string text;
    // When the new text cannot be made, nothing was added and there is nothing to cut.
    if (!trap(15, [&] { text = line + "\r\n" + view_.monitorText(); })) return;
    // The cut counts characters and may end inside a line; it keeps the rebuild of the box cheap.
    trap(20, [&] {
        if (text.size() > CutAbove) text.resize(KeepFirst);
        view_.setMonitorText(text);
    });
}

}  // namespace ostrell::net
