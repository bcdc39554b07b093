#pragma once
#include "platform/posix/LibraryErrorSink.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixSettingsStore.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProcessLauncher.h"
#include "platform/qt/QtTcpSocket.h"
#include "platform/qt/QtTlsSocket.h"

namespace ostrell::platform {

// One of each real platform service, for the program to hand to its parts. Make it after the
// QApplication and destroy it before. The error sink library is looked for in the program's private library directory
// (beside the program in a build tree).
struct QtPlatform {
    QtEventLoop loop;
    QtTcpSocket socket;
    QtTlsSocketFactory tlsSockets;  // used only when the settings ask for TLS
    PosixFileSystem files;
    QtProcessLauncher launcher;
    PosixSettingsStore settings;
    ErrorSinkLoader errorSinks{sinkLibraryDirectory(launcher.programDirectory())};
    ProcessTerminator terminator;
};

}  // namespace ostrell::platform
