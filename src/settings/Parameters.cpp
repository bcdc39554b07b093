#include "settings/Parameters.h"

namespace ostrell::settings {

void readParameters(Settings& s, Parameters& p, errors::Trap& trap) {
    trap(10, [&] { p.DataDirPath = s.text(keys::DataDir()); });
    trap(15, [&] { p.AppDirPath = s.text(keys::DirName()); });
    trap(20, [&] { p.ExitMode = s.text(keys::Exit()); });
    trap(25, [&] { p.LoopCount = s.wholeNumber(keys::Loop()); });
    trap(30, [&] { p.HasLoNumber = false; });
    for (int i = 1; i <= 5; ++i) {
        trap(35, [&] { p.LoNumbers[i] = s.text(keys::LoNumber(i)); });
        // An entry of blanks counts: only an empty text leaves the flag alone.
        trap(40, [&] { if (!p.LoNumbers[i].empty()) p.HasLoNumber = true; });
    }
    trap(50, [&] { p.TimeOutSecs = s.wholeNumber(keys::TimeOut()); });
    trap(55, [&] { p.UpLoadCommand = s.text(keys::UpLoad()); });
}

void readConnectionSettings(Settings& s, ConnectionSettings& c, errors::Trap& trap) {
    trap(80, [&] { c.ServerIP = s.text(keys::IPadd()); });
    trap(85, [&] { c.ServerPort = s.wholeNumber(keys::IPport()); });
    trap(90, [&] { c.LocalPort = s.wholeNumber(keys::IPLocalport()); });
    trap(95, [&] { c.LocalIP = s.text(keys::LocalIP()); });
    trap(100, [&] {
        if (c.ServerIP.empty()) {
            c.ServerIP = DefaultServerAddress;
            c.ServerPort = DefaultServerPort;
            c.LocalPort = 0;
        }
    });
}

}  // namespace ostrell::settings
