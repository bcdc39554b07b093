#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>

#include "integration/SimServer.h"

using ostrell::integration::SimServer;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The program, headless, as the user whose config and runtime directories are given.
std::unique_ptr<QProcess> startAgent(const QString& config, const QString& runtime) {
    auto agent = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_RUNTIME_DIR", runtime);
    agent->setProcessEnvironment(env);
    agent->setStandardOutputFile(QProcess::nullDevice());
    agent->start(QStringLiteral(OSTRELL_PROGRAM), {"--headless"});
    return agent;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QThread::msleep(50);
    return done();
}

}  // namespace

// Menu entry and autostart of one user, or two users sharing the data directory: both copies start at
// once, one says it is already running and ends with status 1, the other sends each record once.
TEST(TwoAgents, OnOneDataDirectoryUploadEachRecordOnce) {
    for (const bool sameUser : {true, false}) {
        SimServer sim({});
        QTemporaryDir home;
        const QString data = home.filePath("data");
        writeFile(data + "/Bookings.csv",
                  "\"1001\",\"2027-01-02\",\"2027-01-05\",\"Meyer\",\"\"\r\n"
                  "\"1002\",\"2027-02-01\",\"2027-02-03\",\"Okafor\",\"x\"\r\n");
        writeFile(data + "/Prices.csv",
                  "PRC017,\"Room 1\",350,\r\nPRC018,\"Room 2\",300,\r\nPRC019,\"Suite\",900,\r\n");
        const QByteArray ini = "[Ostrell]\nIPadd=127.0.0.1\nIPport=" + QByteArray::number(sim.port()) +
                               "\nDataDir=" + data.toUtf8() +
                               "/\nTimeOut=1\nLoNumber1=4711\n[Version]\nBrannhall=2.3.119\n";
        const QString user[2] = {home.filePath("a"), home.filePath(sameUser ? "a" : "b")};
        for (const QString& u : user) {
            writeFile(u + "/config/BKX.ini", ini);
            QDir().mkpath(u + "/run");
        }
        auto first = startAgent(user[0] + "/config", user[0] + "/run");
        auto second = startAgent(user[1] + "/config", user[1] + "/run");
        const auto ended = [&] {
            return first->state() == QProcess::NotRunning || second->state() == QProcess::NotRunning;
        };
        ASSERT_TRUE(waitFor([&] { return (first->waitForFinished(0), second->waitForFinished(0), ended()); }, 15000))
            << "same user " << sameUser << ": neither copy stopped";
        QProcess& refused = first->state() == QProcess::NotRunning ? *first : *second;
        QProcess& running = &refused == first.get() ? *second : *first;
        EXPECT_EQ(refused.exitCode(), 1);
        EXPECT_TRUE(refused.readAllStandardError().contains("already running (pid " +
                                                            QByteArray::number(running.processId()) + ")"));
        EXPECT_TRUE(waitFor(
            [&] { return !QFile::exists(data + "/Bookings.csv") && !QFile::exists(data + "/Prices.csv"); }, 20000))
            << "the outgoing files were not sent";
        QThread::msleep(2500);  // two more cycles: nothing is sent again
        running.terminate();
        running.waitForFinished(5000);
        EXPECT_EQ(sim.count("ACCEPT"), 5) << "same user " << sameUser;
    }
}
