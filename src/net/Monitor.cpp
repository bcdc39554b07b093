#include "net/Monitor.h"

#include "errors/Trap.h"

namespace ostrell::net {

void Monitor::show(const std::string& line) {
    errors::Trap trap(reporter_, "ShowTXT");
    if (!view_.isWindowVisible()) return;
    std::string text;
    // Building the new text is what can fail (out of memory); then nothing was added and nothing is cut.
    if (!trap(10, [&] { text = line + "\r\n" + view_.monitorText(); })) return;
    // The cut counts characters and may end inside a line; it keeps the rebuild of the box cheap.
    if (text.size() > CutAbove) text.resize(KeepFirst);
    view_.setMonitorText(text);
}

}  // namespace ostrell::net
