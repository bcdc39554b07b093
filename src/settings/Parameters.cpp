#include "settings/Parameters.h"

namespace ostrell::settings {

void readParameters(Settings& s, Parameters& p, errors::Trap& trap) {
    trap(10, [&] { p.dataDirPath = s.text(keys::dataDir()); });
    trap(15, [&] { p.appDirPath = s.text(keys::dirName()); });
    trap(20, [&] { p.exitMode = s.text(keys::exitMode()); });
    trap(25, [&] { p.loopCount = s.wholeNumber(keys::loopLength()); });
    p.hasLoNumber = false;
    for (int i = 1; i <= 5; ++i) {
        trap(35, [&] { p.loNumbers[i] = s.text(keys::loNumber(i)); });
        // An entry of blanks counts: only an empty text leaves the flag alone.
        if (!p.loNumbers[i].empty()) p.hasLoNumber = true;
    }
    trap(50, [&] { p.timeoutSecs = s.wholeNumber(keys::timeout()); });
    trap(55, [&] { p.uploadCommand = s.text(keys::uploadCommand()); });
}

void readConnectionSettings(Settings& s, ConnectionSettings& c, errors::Trap& trap) {
    trap(80, [&] { c.serverIp = s.text(keys::serverAddress()); });
    trap(85, [&] { c.serverPort = s.wholeNumber(keys::serverPort()); });
    trap(90, [&] { c.localPort = s.wholeNumber(keys::localPort()); });
    trap(95, [&] { c.localIp = s.text(keys::localIp()); });
    if (c.serverIp.empty()) {
        c.serverIp = DefaultServerAddress;
        c.serverPort = DefaultServerPort;
        c.localPort = 0;
    }
}

}  // namespace ostrell::settings
