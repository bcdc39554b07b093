// The built program run from outside, as a user runs it: command line and exit statuses, --status, two
// copies on one data directory, and real exchanges with the built test server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <map>
#include <memory>

#include "errors/ErrorReporter.h"

namespace {

bool contains(const QByteArray& text, const QByteArray& part) { return text.contains(part); }

// Polls every 100 ms for at most `tenths` tenths of a second; whether the condition came true.
template <class F>
bool waitFor(F&& done, int tenths) {
    for (int i = 0; i < tenths && !done(); ++i) QThread::msleep(100);
    return done();
}

// A user's home with its own config, state, runtime and data directories.
struct Home {
    QTemporaryDir dir;
    QString path(const QString& rel) const { return dir.filePath(rel); }
    QByteArray read(const QString& rel) const {
        QFile f(path(rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& rel, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(path(rel)).absolutePath());
        QFile f(path(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void writeSettings(int port, const QString& data) const {
        write("config/BKX.ini", QString("[Version]\nBrannhall=2.3.119\n[Ostrell]\nIPadd=127.0.0.1\nIPport=%1\n"
                                        "DataDir=%2/\nLoNumber1=4711\nTimeOut=1\n").arg(port).arg(data).toUtf8());
        QDir().mkpath(data);
    }
    std::map<QString, QByteArray> snapshot() const {  // every file with its contents
        std::map<QString, QByteArray> files;
        for (QDirIterator it(dir.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
            files[it.next()] = read(it.filePath().mid(dir.path().size() + 1));
        return files;
    }
    std::unique_ptr<QProcess> start(const QStringList& args, const QString& display = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : {std::pair{"HOME", path("")}, {"XDG_CONFIG_HOME", path("config")},
                                          {"XDG_STATE_HOME", path("state")}, {"XDG_RUNTIME_DIR", path("run")}})
            env.insert(name, value);
        QDir().mkpath(path("run"));
        env.remove("WAYLAND_DISPLAY");
        display.isEmpty() ? env.remove("DISPLAY") : env.insert("DISPLAY", display);
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

// The built veltrana-sim on a loopback port it chose, with its own ledger.
struct Sim {
    explicit Sim(const QStringList& options) {
        process.start(QStringLiteral(VELTRANA_SIM_EXE), QStringList{"--port", "0", "--ledger", ledger()} + options);
        waitFor([&] { return process.waitForReadyRead(100) || process.canReadLine(); }, 100);
        const QByteArray line = process.readLine().trimmed(), prefix = "listening on 127.0.0.1:";
        port = line.startsWith(prefix) ? line.mid(prefix.size()).toInt() : 0;
    }
    ~Sim() { process.terminate(), process.waitForFinished(5000) || (process.kill(), process.waitForFinished(5000)); }
    QString ledger() const { return dir.filePath("ledger.txt"); }
    int count(const QByteArray& event) const {
        QFile f(ledger());
        return f.open(QIODevice::ReadOnly) ? int(("\n" + f.readAll()).count("\n" + event + "\t")) : -1;
    }
    QTemporaryDir dir;
    QProcess process;
    int port = 0;
};

// A loopback port bound and not listening: a connection to it is refused, and nobody else can take it.
struct RefusingPort {
    RefusingPort() {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0)
            port = ntohs(a.sin_port);
    }
    ~RefusingPort() { ::close(fd); }
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
};

}  // namespace

TEST(CommandLine, EachOptionPrintsAndEndsWithItsStatusAndWritesOrConnectsNothing) {
    QTcpServer server;  // the configured server: any connection attempt shows here
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray version = "ostrell " + QByteArray::fromStdString(ostrell::errors::programVersionText()) + "\n";
    struct Case {
        QStringList args;
        bool settings;
        int exit;
        QByteArray out, err;
        QString display;
    };
    const Case cases[] = {
        {{"--help"}, true, 0, "Usage: ostrell", ""},
        {{"-h"}, true, 0, "--status", ""},
        {{"--version"}, true, 0, version, ""},
        {{"--bogus"}, true, 2, "", "Unknown option 'bogus'"},
        {{"--headless", "stray"}, true, 2, "", "unexpected argument 'stray'"},
        {{"--status"}, true, 3, "agent: not running\nserver: unknown\nlast attempt: never\nlast success: never\n", ""},
        {{"--status", "--version"}, true, 0, version, ""},
        {{"--autostart"}, false, 0, "", ""},  // a user without settings: ends at once
        // A display nobody answers (Xvfb -a takes numbers from 99); no host version then refuses the start.
        {{}, false, 1, "", "display ':97' does not answer: running headless", ":97"},
        {{}, false, 1, "", "can only run with Brannick version 2.3.119 or higher"},
    };
    for (const Case& c : cases) {
        Home home;
        if (c.settings) home.writeSettings(server.serverPort(), home.path("data"));
        const auto before = home.snapshot();
        const auto [exit, out, err] = home.run(c.args, c.display);
        EXPECT_EQ(exit, c.exit) << c.args.join(' ').toStdString() << ": " << out.toStdString() << err.toStdString();
        EXPECT_TRUE(contains(out, c.out) && contains(err, c.err) && (c.out != "" || out == ""))
            << c.args.join(' ').toStdString() << " printed " << out.toStdString() << " said " << err.toStdString();
        if (!c.args.isEmpty()) EXPECT_EQ(home.snapshot(), before) << c.args.join(' ').toStdString() << " wrote a file";
    }
    EXPECT_FALSE(server.waitForNewConnection(100)) << "an option connected to the server";
}

// --status of a running agent after its first cycle: 0 with the server up, 3 while it is down. The one
// summary line per cycle names what was stored and no field of the guest's record.
TEST(CommandLine, StatusIsZeroAfterAGoodCycleAndThreeWhileTheServerIsDown) {
    Sim sim({"--bookings", "4711:1"});
    ASSERT_GT(sim.port, 0);
    RefusingPort down;
    for (const auto& [port, expected] : {std::pair{sim.port, 0}, std::pair{down.port, 3}}) {
        Home home;
        home.writeSettings(port, home.path("data"));
        auto agent = home.start({"--headless"});
        EXPECT_TRUE(waitFor([&] { return home.read("state/ostrell/status").contains("last_attempt=2"); }, 200));
        const auto [exit, out, err] = home.run({"--status"});
        EXPECT_EQ(exit, expected) << out.toStdString() << err.toStdString();
        EXPECT_TRUE(contains(out, "agent: running (pid " + QByteArray::number(agent->processId()) + ")\nserver: 127.0.0.1:" +
                                      QByteArray::number(port)) && contains(out, "last success: never") == (expected == 3))
            << out.toStdString();
        QByteArray lines;
        for (int i = 0; i < 50 && !contains(lines, "cycle: "); ++i) agent->waitForReadyRead(100), lines += agent->readAllStandardOutput();
        agent->terminate();
        agent->waitForFinished(10000);
        EXPECT_TRUE(contains(lines, expected ? "cycle: not connected to 127.0.0.1:" : "cycle: connected to 127.0.0.1:"));
        EXPECT_FALSE(contains(lines, "S {logon}")) << "monitor lines only with --monitor";
        if (expected != 0) continue;
        EXPECT_TRUE(contains(lines, "stored 4711: 1 booking 0 payments")) << lines.toStdString();
        int fields = 0;
        for (const QByteArray& field : home.read("data/InBookings.csv").trimmed().split(','))
            if (field.size() >= 4 && ++fields) EXPECT_FALSE(contains(lines, field)) << field.toStdString();
        EXPECT_GT(fields, 3);
    }
}

// Menu entry and autostart of one user, or two users sharing the data directory: both copies start at
// once, one says it is already running and ends with status 1, the other sends each record once.
TEST(TwoAgents, OnOneDataDirectoryUploadEachRecordOnce) {
    for (const bool sameUser : {true, false}) {
        Sim sim({});
        Home a, b;
        const QString data = a.path("data");
        a.write("data/Bookings.csv", "\"1001\",\"2027-01-02\",\"2027-01-05\",\"Meyer\",\"\"\r\n"
                                     "\"1002\",\"2027-02-01\",\"2027-02-03\",\"Okafor\",\"x\"\r\n");
        a.write("data/Prices.csv", "PRC017,\"Room 1\",350,\r\nPRC018,\"Room 2\",300,\r\nPRC019,\"Suite\",900,\r\n");
        a.writeSettings(sim.port, data);
        b.writeSettings(sim.port, data);
        std::unique_ptr<QProcess> agents[] = {a.start({"--headless"}), (sameUser ? a : b).start({"--headless"})};
        ASSERT_TRUE(waitFor([&] {
            for (auto& agent : agents) agent->waitForFinished(0);
            return agents[0]->state() == QProcess::NotRunning || agents[1]->state() == QProcess::NotRunning;
        }, 150)) << "neither copy stopped";
        QProcess& refused = agents[0]->state() == QProcess::NotRunning ? *agents[0] : *agents[1];
        QProcess& running = &refused == agents[0].get() ? *agents[1] : *agents[0];
        EXPECT_EQ(refused.exitCode(), 1);
        EXPECT_TRUE(contains(refused.readAllStandardError(), "already running (pid " + QByteArray::number(running.processId()) + ")"));
        EXPECT_TRUE(waitFor([&] { return !QFile::exists(data + "/Bookings.csv") && !QFile::exists(data + "/Prices.csv"); }, 200));
        QThread::msleep(2500);  // two more cycles: nothing is sent again
        running.terminate();
        running.waitForFinished(5000);
        EXPECT_EQ(sim.count("ACCEPT"), 5) << "same user " << sameUser;
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
