// The built program run from outside, as a user runs it: command line and exit statuses, two copies on
// one data directory, and a real exchange with the built test server, with --status while it runs.
#include <QProcess>
#include <QTcpServer>
#include <array>
#include <filesystem>
#include <map>

#include "adapters/AdapterTestSupport.h"
#include "errors/ErrorReporter.h"

using namespace ostrell::adaptertest;

namespace {

// A user's home with its own config, state and data directories.
struct Home : OpenTempDir {
    void writeSettings(int port, const std::string& data) const {
        for (const std::string& d : {file(".config"), data}) std::filesystem::create_directories(d);
        writeFile(file(".config/BKX.ini"),
                  "[Version]\nBrannhall=2.3.119\n[Ostrell]\nIPadd=127.0.0.1\nIPport=" + std::to_string(port) +
                      "\nDataDir=" + data + "/\nLoNumber1=4711\nTimeOut=1\nUpLoad=/bin/touch \"" + data +
                      "/up loaded\"\n");
    }
    std::map<std::string, std::string> snapshot() const {  // every file with its contents
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path()))
            if (entry.is_regular_file()) files[entry.path()] = contentOf(entry.path());
        return files;
    }
    std::unique_ptr<QProcess> start(const QStringList& args, const QString& display = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", QString::fromStdString(path()));  // config, state and lock files below it
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "WAYLAND_DISPLAY", "DISPLAY"})
            env.remove(name);
        if (!display.isEmpty()) env.insert("DISPLAY", display);
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(OSTRELL_PROGRAM), args);
        return p;
    }
    // Runs to the end: exit status, stdout, stderr.
    std::tuple<int, QByteArray, QByteArray> run(const QStringList& args, const QString& display = {}) const {
        auto p = start(args, display);
        if (!p->waitForFinished(20000)) p->kill(), p->waitForFinished(5000);
        return {p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1, p->readAllStandardOutput(),
                p->readAllStandardError()};
    }
};

}  // namespace

TEST(CommandLine, EachOptionPrintsAndEndsWithItsStatusAndWritesOrConnectsNothing) {
    testApp();
    QTcpServer server;  // the configured server: any connection attempt shows here
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray version = "ostrell " + QByteArray::fromStdString(ostrell::errors::programVersionText()) + "\n";
    enum class Ini { Full, None, OwnVersionOnly, NoHostVersion };
    struct Case {
        QStringList args;
        int exit;
        QByteArray out, err;
        QString display = {};
        Ini ini = Ini::Full;
    };
    const auto cases = std::to_array<Case>({
        {{"--help"}, 0, "Usage: ostrell", ""},
        {{"--version"}, 0, version, ""},
        {{"--bogus"}, 2, "", "Unknown option 'bogus'"},
        {{"--headless", "stray"}, 2, "", "unexpected argument 'stray'"},
        {{"--status"}, 4, "agent: not running\nserver: unknown\nlast attempt: never\nlast success: never\n", ""},
        // The autostart entry on an account Brannick has not set up, even one a manual start left our version in.
        {{"--autostart"}, 0, "", "", {}, Ini::None},
        {{"--autostart"}, 0, "", "", {}, Ini::OwnVersionOnly},
        // The first run: one sentence, status 1, nothing written (also where a display does not answer).
        {{}, 1, "", "Brannick is not set up for this account (there is no ", {}, Ini::None},
        {{}, 1, "", "display ':97' does not answer: running headless", ":97", Ini::None},
        {{"--headless"}, 1, "", "can only run with Brannick version 2.3.119 or higher", {}, Ini::NoHostVersion},
    });
    for (const auto& c : cases) {
        Home home;
        if (c.ini == Ini::Full) home.writeSettings(server.serverPort(), home.file("d"));
        std::filesystem::create_directories(home.file(".config"));
        if (c.ini == Ini::OwnVersionOnly) writeFile(home.file(".config/BKX.ini"), "[Version]\nostrell=2.4.11\n");
        if (c.ini == Ini::NoHostVersion) writeFile(home.file(".config/BKX.ini"), "[Ostrell]\nTimeOut=15\n");
        const auto before = home.snapshot();
        const auto [exit, out, err] = home.run(c.args, c.display);
        EXPECT_TRUE(exit == c.exit && out.contains(c.out) && err.contains(c.err) && (c.out != "" || out == ""))
            << c.args.join(' ').toStdString() << " ended " << exit << ": " << out.toStdString() << err.toStdString();
        if (c.ini != Ini::NoHostVersion) {
            EXPECT_EQ(home.snapshot(), before) << c.args.join(' ').toStdString() << " wrote";
        }
    }
    EXPECT_FALSE(server.waitForNewConnection(100)) << "an option connected to the server";
}

// Menu entry and autostart of one user, or two users sharing the data directory: both copies start at
// once, one says it is already running and ends with status 1, the other sends each record once, stores
// the server's booking, reports it in one summary line (no monitor lines), and --status sees it.
TEST(TwoAgents, OnOneDataDirectoryUploadEachRecordOnce) {
    testApp();
    for (const bool sameUser : {true, false}) {
        QProcess sim;
        std::array<Home, 2> homes;
        const std::string data = homes[0].file("data"), ledger = homes[0].file("ledger");
        sim.start(VELTRANA_SIM_EXE, {"--port", "0", "--bookings", "4711:1", "--ledger", ledger.c_str()});
        for (int i = 0; i < 100 && !sim.canReadLine(); ++i) sim.waitForReadyRead(100);
        const int port = sim.readLine().trimmed().split(':').last().toInt();
        ASSERT_GT(port, 0);
        homes[0].writeSettings(port, data), homes[1].writeSettings(port, data);
        writeFile(data + "/Prices.csv", "PRC017,\"Room 1\",350,\r\nPRC018,\"Suite\",900,\r\n");
        const std::array<std::unique_ptr<QProcess>, 2> agents{homes[0].start({"--headless"}),
                                                              homes[!sameUser].start({"--headless"})};
        int refused = -1;
        for (int i = 0; i < 150 && refused < 0; ++i)
            for (int k : {0, 1}) refused = agents[k]->waitForFinished(50) ? k : refused;
        ASSERT_GE(refused, 0) << "neither copy stopped";
        QProcess& running = *agents[!refused];
        const QByteArray pid = "(pid " + QByteArray::number(running.processId()) + ")";
        EXPECT_TRUE(agents[refused]->exitCode() == 1 &&
                    agents[refused]->readAllStandardError().contains("already running " + pid));
        const Home& home = homes[sameUser ? 0 : !refused];
        const std::string status = home.file(".local/state/ostrell/status");
        for (int i = 0; i < 200 && contentOf(status).find("last_success=2") == std::string::npos; ++i) ::usleep(100000);
        const auto [exit, out, err] = home.run({"--status"});
        EXPECT_TRUE(exit == 0 && out.contains("agent: running " + pid + ", in contact\n"))
            << out.toStdString() << err.toStdString();
        ::usleep(2500000);  // two more cycles: nothing is sent again
        // The host's end flag, or the session's SIGTERM, ends the agent with status 0.
        if (sameUser) std::ofstream(home.file(".config/BKX.ini"), std::ios::app) << "[Application]\nEndFlag=Y\n";
        else running.terminate();
        EXPECT_TRUE(running.waitForFinished(10000) && running.exitStatus() == QProcess::NormalExit &&
                    running.exitCode() == 0);
        const auto [after, report, problems] = home.run({"--status"});  // its status file stays, its lock not
        EXPECT_TRUE(after == 4 && report.startsWith("agent: not running\n")) << report.toStdString();
        const QByteArray lines = running.readAllStandardOutput();
        EXPECT_TRUE(lines.contains("stored 4711: 1 booking 0 payments") && !lines.contains("S {logon}"))
            << lines.toStdString();
        EXPECT_TRUE(std::filesystem::exists(data + "/up loaded")) << "the upload command ran once records came";
        EXPECT_EQ(QByteArray::fromStdString("\n" + contentOf(ledger)).count("\nACCEPT\t"), 2)
            << "same user " << sameUser;
        sim.terminate(), sim.waitForFinished(5000);
    }
}

// Over TLS (throw-away certificates made now): whole cycles, and each failed check refusing the link with
// its reason before anything of the protocol is sent (no logon in the server's ledger). A clear-text
// server and an unreadable trust file are refused too; neither ever hears the logon in clear text.
TEST(Tls, CyclesRunOverTlsAndEachFailedCheckRefusesTheLinkWithItsReason) {
    testApp();
    OpenTempDir certs;
    ASSERT_EQ(std::system((OSTRELL_MAKE_CERTS " " + certs.path() + " >/dev/null 2>&1").c_str()), 0);
    const std::string ca = "TLSCA=" + certs.file("ca.pem"), pin = contentOf(certs.file("server.pin")).substr(0, 51);
    struct Case {
        std::string certificate;
        std::vector<std::string> keys;
        std::string shown;  // on the monitor; a refusal's "E {Error" line, else the agent logged on
    };
    const std::string wrongPin = "TLSPin=sha256/" + std::string(43, 'A') + "=", none = certs.file("none.pem");
    const auto cases = std::to_array<Case>({
        {"server", {"TLS=yes", ca}, "R [ 12|OK ]"},
        {"server", {"TLS=Yes", ca, "TLSName=localhost", "TLSPin=" + pin}, "S {quit}"},
        {"expired", {"TLS=Yes", ca}, "E {Error - TLS: certificate expired on "},
        {"other", {"TLS=Yes", ca}, "E {Error - TLS: name mismatch: the certificate is not for 127.0.0.1}"},
        {"stranger", {"TLS=Yes", ca}, "E {Error - TLS: unknown issuer: Stranger CA}"},
        {"server", {"TLS=Yes"}, "E {Error - TLS: unknown issuer: Ostrell throw-away CA}"},  // the system's store
        {"server", {"TLS=Yes", ca, wrongPin}, "E {Error - TLS: pin mismatch: the server's key is " + pin + "}"},
        {"", {"TLS=Yes", ca}, "E {Error - TLS: not TLS at all ("},
        {"", {"TLS=Yes", "TLSCA=" + none}, "E {Error - TLSCA=" + none + ": cannot be read: No such file"},
    });
    struct Run {
        Home home;
        QProcess sim;
        std::unique_ptr<QProcess> agent;
        std::string out;
    };
    std::array<Run, cases.size()> runs;
    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        Run& r = runs[k];
        QStringList args{"--port", "0",        "--bookings",
                         "4711:1", "--ledger", QString::fromStdString(r.home.file("ledger"))};
        if (!c.certificate.empty())
            args << "--tls-cert" << QString::fromStdString(certs.file(c.certificate + ".pem")) << "--tls-key"
                 << QString::fromStdString(certs.file(c.certificate + ".key"));
        r.sim.start(VELTRANA_SIM_EXE, args);
        for (int i = 0; i < 100 && !r.sim.canReadLine(); ++i) r.sim.waitForReadyRead(100);
        r.home.writeSettings(r.sim.readLine().trimmed().split(':').last().toInt(), r.home.file("data"));
        for (const std::string& key : c.keys)
            std::ofstream(r.home.file(".config/BKX.ini"), std::ios::app) << key << "\n";
        r.agent = r.home.start({"--monitor"});
    }
    const auto shown = [&](size_t k) { return runs[k].out.find(cases[k].shown) != std::string::npos; };
    const auto allShown = [&] {
        size_t k = 0;
        while (k < cases.size() && shown(k)) ++k;
        return k == cases.size();
    };
    for (int i = 0; i < 1000 && !allShown(); ++i)
        for (Run& r : runs) r.agent->waitForReadyRead(5), r.out += r.agent->readAllStandardOutput().toStdString();
    for (size_t k = 0; k < cases.size(); ++k) {
        Run& r = runs[k];
        r.agent->terminate(), r.agent->waitForFinished(10000), r.sim.terminate(), r.sim.waitForFinished(5000);
        const bool loggedOn = contentOf(r.home.file("ledger")).find("tolvane") != std::string::npos;
        EXPECT_TRUE(shown(k) && loggedOn == !cases[k].shown.starts_with("E {"))
            << cases[k].certificate << " " << cases[k].keys.back() << ":\n"
            << r.out;
    }
}
