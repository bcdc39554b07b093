// veltrana-sim: the Veltrana test server (see README.md). Qt Core + Network, no GUI.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "veltrana-sim/AdminPort.h"
#include "veltrana-sim/DataStore.h"
#include "veltrana-sim/Ledger.h"
#include "veltrana-sim/ProtocolCore.h"
#include "veltrana-sim/SimOptions.h"
#include "veltrana-sim/SimServer.h"

using namespace ostrell::sim;

namespace {

std::array<int, 2> signalPipe = {-1, -1};

void onSignal(int) {
    const char b = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &b, 1);
}

// A test polls the file: it must see either nothing or the whole number.
bool writeFileWhole(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ::close(fd);
    return ok && ::rename(tmp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Raw bytes, not QStrings: texts such as a banner or a refusal text may hold any byte.
    const std::vector<std::string> args(argv + 1, argv + argc);
    SimOptions options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        std::fprintf(stderr, "veltrana-sim: %s\n\n%s", error.c_str(), usageText().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }

    Ledger ledger;
    if (!options.ledgerPath.empty() && !ledger.open(options.ledgerPath, options.ledgerSync, error)) {
        std::fprintf(stderr, "veltrana-sim: %s\n", error.c_str());
        return 2;
    }
    ledger.setQuiet(options.ledgerQuiet);

    DataStore store;
    UploadRules rules;
    FaultSwitches faults;
    for (const auto& dir : options.dataDirs) {
        if (!store.loadDirectory(dir, error)) {
            std::fprintf(stderr, "veltrana-sim: %s\n", error.c_str());
            return 2;
        }
    }
    for (const auto& [name, value] : options.live) {
        if (!applyLive(name, value, store, rules, faults, error)) {
            std::fprintf(stderr, "veltrana-sim: %s\n", error.c_str());
            return 2;
        }
    }

    ProtocolCore core(store, rules, ledger);
    SimServer server(core, ledger, faults, options.seed, options.exitAfterIdleMs);
    QString listenError;
    if (!options.tlsCertificate.empty() && !server.useTls(options.tlsCertificate, options.tlsKey, listenError)) {
        std::fprintf(stderr, "veltrana-sim: --tls-cert %s --tls-key %s: %s\n", options.tlsCertificate.c_str(),
                     options.tlsKey.c_str(), listenError.toLocal8Bit().constData());
        return 2;
    }
    if (!server.listen(options.port, listenError)) {
        std::fprintf(stderr, "veltrana-sim: cannot listen on 127.0.0.1:%d: %s\n", options.port,
                     listenError.toLocal8Bit().constData());
        return 2;
    }
    // The port file first: whoever reads the stdout line may rely on the file as well.
    const std::string port = std::to_string(server.port());
    if (!options.portFile.empty() && !writeFileWhole(options.portFile, port + "\n")) {
        std::fprintf(stderr, "veltrana-sim: cannot write %s: %s\n", options.portFile.c_str(), std::strerror(errno));
        return 2;
    }
    std::printf("listening on 127.0.0.1:%s\n", port.c_str());
    std::fflush(stdout);

    AdminPort admin(server, store, rules, faults);
    if (options.adminPort >= 0) {
        if (!admin.listen(options.adminPort, listenError)) {
            std::fprintf(stderr, "veltrana-sim: cannot listen on the admin port: %s\n",
                         listenError.toLocal8Bit().constData());
            return 2;
        }
        const std::string adminPort = std::to_string(admin.port());
        if (!options.adminPortFile.empty() && !writeFileWhole(options.adminPortFile, adminPort + "\n")) {
            std::fprintf(stderr, "veltrana-sim: cannot write %s\n", options.adminPortFile.c_str());
            return 2;
        }
        std::printf("admin on 127.0.0.1:%s\n", adminPort.c_str());
        std::fflush(stdout);
    }

    // SIGTERM and SIGINT end the event loop through a socket pair: nothing unsafe runs in the handler.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe.data()) != 0) {
        std::fprintf(stderr, "veltrana-sim: socketpair: %s\n", std::strerror(errno));
        return 2;
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    ledger.trace("START", {port});
    server.checkLedger();
    const int rc = ledger.failed() ? 3 : app.exec();
    ledger.trace("STOP", {});
    return rc;
}
