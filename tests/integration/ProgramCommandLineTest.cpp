// The built program's command line: each option's output and exit status, nothing written or connected
// by the options that only inform, and --status against a live and a missing server.
#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <map>

#include "errors/ErrorReporter.h"
#include "integration/SimServer.h"

using ostrell::integration::SimServer;

namespace {

struct ProgramRun {
    int exit = -1;
    std::string out, err;
};

// A user's home with its own config, state and data directories.
struct Home {
    QTemporaryDir dir;
    QString path(const QString& rel) const { return dir.filePath(rel); }

    void writeSettings(int port) {
        QDir().mkpath(path("config"));
        QDir().mkpath(path("data"));
        QFile ini(path("config/BKX.ini"));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QString("[Version]\nBrannhall=2.3.119\nostrell=2.4.11\n[Ostrell]\nIPadd=127.0.0.1\nIPport=%1\n"
                          "DataDir=%2/\nLoNumber1=4711\nTimeOut=1\n")
                      .arg(port)
                      .arg(path("data"))
                      .toUtf8());
    }

    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("HOME", dir.path());
        e.insert("XDG_CONFIG_HOME", path("config"));
        e.insert("XDG_STATE_HOME", path("state"));
        e.remove("DISPLAY");
        e.remove("WAYLAND_DISPLAY");
        return e;
    }

    // Every file under the home with its contents: what a run wrote shows as a difference.
    std::map<QString, QByteArray> snapshot() const {
        std::map<QString, QByteArray> files;
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            QFile f(it.next());
            files[f.fileName()] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
        return files;
    }

    ProgramRun run(const QStringList& args, const QString& display = {}) const {
        QProcess p;
        QProcessEnvironment e = env();
        if (!display.isEmpty()) e.insert("DISPLAY", display);
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(OSTRELL_PROGRAM), args);
        ProgramRun r;
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished(5000);
            return r;
        }
        r.exit = p.exitCode();
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(CommandLine, EachInformingOptionPrintsExitsWithItsStatusAndWritesOrConnectsNothing) {
    QTcpServer server;  // the configured server: any connection attempt shows here
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    Home home;
    home.writeSettings(server.serverPort());
    struct Case {
        QStringList args;
        int exit;
        const char* out;
        const char* err;
    };
    const std::string version = "ostrell " + ostrell::errors::programVersionText() + "\n";
    const Case cases[] = {
        {{"--help"}, 0, "Usage: ostrell", ""},
        {{"-h"}, 0, "--status", ""},
        {{"--version"}, 0, version.c_str(), ""},
        {{"--bogus"}, 2, "", "Unknown option 'bogus'"},
        {{"--headless", "stray"}, 2, "", "unexpected argument 'stray'"},
        {{"--status"}, 3, "agent: not running\nserver: unknown\nlast attempt: never\nlast success: never\n", ""},
        {{"--status", "--version"}, 0, version.c_str(), ""},
    };
    int checked = 0;
    for (const Case& c : cases) {
        const auto before = home.snapshot();
        const ProgramRun r = home.run(c.args);
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(r.exit, c.exit) << name << ": " << r.out << r.err;
        EXPECT_TRUE(contains(r.out, c.out)) << name << " printed: " << r.out;
        EXPECT_TRUE(contains(r.err, c.err)) << name << " said: " << r.err;
        EXPECT_EQ(home.snapshot(), before) << name << " wrote a file";
        ++checked;
    }
    QThread::msleep(100);
    EXPECT_FALSE(server.waitForNewConnection(0)) << "an option connected to the server";
    EXPECT_EQ(checked, 7);
}

TEST(CommandLine, AutostartForAUserWithoutSettingsEndsAtOnceAndWritesNothing) {
    Home home;
    const auto before = home.snapshot();
    const ProgramRun r = home.run({"--autostart"});
    EXPECT_EQ(r.exit, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(home.snapshot(), before);
    EXPECT_FALSE(QDir(home.path("config")).exists());
}

TEST(CommandLine, AStaleDisplayFallsBackToHeadlessAndTheVersionGateRefusesWithStatusOne) {
    Home home;
    const ProgramRun r = home.run({}, ":97");  // no X server behind it: Xvfb takes -a numbers from 99
    EXPECT_EQ(r.exit, 1) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "display ':97' does not answer: running headless")) << r.err;
    EXPECT_TRUE(contains(r.err, "can only run with Brannick version 2.3.119 or higher")) << r.err;
}

TEST(CommandLine, StatusIsZeroAfterAGoodCycleAndThreeWhileTheServerIsDown) {
    SimServer sim({"--bookings", "4711:1"});
    ASSERT_GT(sim.port(), 0);
    QTcpServer closed;  // a port with nobody listening: taken, then freed
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const int downPort = closed.serverPort();
    closed.close();

    for (const auto& [port, expected] : {std::pair{int(sim.port()), 0}, std::pair{downPort, 3}}) {
        Home home;
        home.writeSettings(port);
        QProcess agent;
        agent.setProcessEnvironment(home.env());
        agent.start(QStringLiteral(OSTRELL_PROGRAM), {"--headless"});
        ASSERT_TRUE(agent.waitForStarted(10000));
        // Bounded: the first cycle ends within the connection wait (about 3 s).
        bool cycled = false;
        for (int i = 0; i < 200 && !cycled; ++i) {
            QThread::msleep(100);
            QFile status(home.path("state/ostrell/status"));
            cycled = status.open(QIODevice::ReadOnly) && status.readAll().contains("last_attempt=2");
        }
        EXPECT_TRUE(cycled) << "port " << port;
        const ProgramRun r = home.run({"--status"});
        EXPECT_EQ(r.exit, expected) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "agent: running (pid " + std::to_string(agent.processId()) + ")")) << r.out;
        EXPECT_TRUE(contains(r.out, "server: 127.0.0.1:" + std::to_string(port))) << r.out;
        EXPECT_EQ(contains(r.out, "last success: never"), expected == 3) << r.out;
        const std::string cycleLine =
            expected == 0 ? "cycle: connected to 127.0.0.1:" : "cycle: not connected to 127.0.0.1:";
        std::string out = agent.readAllStandardOutput().toStdString();
        for (int i = 0; i < 50 && !contains(out, cycleLine); ++i)
            if (agent.waitForReadyRead(100)) out += agent.readAllStandardOutput().toStdString();
        EXPECT_TRUE(contains(out, cycleLine)) << out;
        EXPECT_FALSE(contains(out, "S {logon}")) << "monitor lines only with --monitor";
        agent.terminate();
        agent.waitForFinished(10000);
        if (expected != 0) continue;
        EXPECT_TRUE(contains(out, "stored 4711: 1 booking 0 payments")) << out;
        // The guest's data stays in the incoming file: no field of the stored record reaches stdout.
        QFile stored(home.path("data/InBookings.csv"));
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        int fields = 0;
        for (const QByteArray& field : stored.readAll().trimmed().split(',')) {
            if (field.size() < 4) continue;  // short numbers and codes also occur in time stamps
            EXPECT_FALSE(contains(out, field.toStdString())) << field.toStdString() << " in " << out;
            ++fields;
        }
        EXPECT_GT(fields, 3);
    }
}
