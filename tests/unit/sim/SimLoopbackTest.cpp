// The real veltrana-sim executable on a free loopback port, driven with a QTcpSocket. Every wait is
// bounded; nothing here passes because of a sleep.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>

#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "SimTempFile.h"
#include "veltrana-sim/LedgerFormat.h"
#include "veltrana-sim/RecordGenerator.h"

using namespace ostrell::sim;

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "unit_sim";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    (void)app;
}

class RunningSim {
public:
    explicit RunningSim(const QStringList& args) {
        ensureApp();
        process.start(QStringLiteral(VELTRANA_SIM_EXE), args);
        if (!process.waitForStarted(10000)) return;
        const QByteArray first = stdoutLine();
        if (!first.startsWith("listening on 127.0.0.1:")) return;
        port = static_cast<quint16>(first.mid(23).trimmed().toUInt());
    }
    ~RunningSim() {
        if (process.state() == QProcess::NotRunning) return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QByteArray stdoutLine() {
        QElapsedTimer t;
        t.start();
        while (!process.canReadLine() && t.elapsed() < 10000) process.waitForReadyRead(100);
        return process.readLine();
    }
    // SIGTERM, then the exit code (or -1 when it does not end in time).
    int stop() {
        process.terminate();
        if (!process.waitForFinished(10000)) return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    long residentKiB() const {
        std::ifstream status("/proc/" + std::to_string(process.processId()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
        return -1;
    }

    QProcess process;
    quint16 port = 0;
};

class Client {
public:
    bool connectTo(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(5000);
    }
    void send(const std::string& line) {
        socket.write((line + "\n").c_str());
        socket.waitForBytesWritten(5000);
    }
    // One line with its line end, or nothing when none comes within the time.
    std::optional<std::string> line(int timeoutMs = 5000) {
        QElapsedTimer t;
        t.start();
        while (!socket.canReadLine() && socket.state() == QAbstractSocket::ConnectedState && t.elapsed() < timeoutMs)
            socket.waitForReadyRead(50);
        if (!socket.canReadLine()) return std::nullopt;
        return socket.readLine().toStdString();
    }
    std::string ask(const std::string& request) {
        send(request);
        return line().value_or("<no reply>");
    }
    bool closedByServer(int timeoutMs = 5000) {
        if (socket.state() == QAbstractSocket::UnconnectedState) return true;
        return socket.waitForDisconnected(timeoutMs);
    }

    QTcpSocket socket;
};

std::vector<LedgerEntry> entries(const std::string& path, const std::string& event) {
    std::vector<LedgerEntry> found;
    for (auto& e : readLedgerFile(path))
        if (e.event == event) found.push_back(e);
    return found;
}

}  // namespace

TEST(SimLoopback, ServesLogonDownloadAcknowledgementsAndQuitAndEndsOnSigterm) {
    SimTempFile ledger("loop-ledger"), portFile("loop-port");
    RunningSim sim({"--port", "0", "--port-file", QString::fromStdString(portFile.path), "--ledger",
                    QString::fromStdString(ledger.path), "--bookings", "5:2", "--payments", "5:1"});
    ASSERT_NE(sim.port, 0);
    std::string written;
    std::getline(std::ifstream(portFile.path), written);
    EXPECT_EQ(written, std::to_string(sim.port));

    Client c;
    ASSERT_TRUE(c.connectTo(sim.port));
    EXPECT_EQ(c.ask("10|5"), "BAD\r\n");
    EXPECT_EQ(c.ask("tolvane|QHT514"), "Logon success\r\n");
    EXPECT_EQ(c.ask("10|5"), "10|" + bookingRecord(1) + "\r\n");
    EXPECT_EQ(c.ask("12|1"), "12|OK\r\n");
    EXPECT_EQ(c.ask("10|5"), "10|" + bookingRecord(2) + "\r\n");
    EXPECT_EQ(c.ask("12|2"), "12|OK\r\n");
    EXPECT_EQ(c.ask("10|5"), "10|NONE\r\n");
    EXPECT_EQ(c.ask("11|5"), "11|" + paymentRecord(3) + "\r\n");
    EXPECT_EQ(c.ask("13|3"), "13|OK\r\n");
    EXPECT_EQ(c.ask("3|P1|0|x| "), "3|SUCCESS\r\n");
    c.send("quit");
    EXPECT_TRUE(c.closedByServer());

    // A second connection finds the acknowledged records gone.
    Client again;
    ASSERT_TRUE(again.connectTo(sim.port));
    EXPECT_EQ(again.ask("tolvane|QHT514"), "Logon success\r\n");
    EXPECT_EQ(again.ask("10|5"), "10|NONE\r\n");

    EXPECT_EQ(sim.stop(), 0);
    const auto acks = entries(ledger.path, "ACK12");
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].fields[3], bookingRecord(1));
    EXPECT_EQ(acks[1].fields[3], bookingRecord(2));
    EXPECT_EQ(entries(ledger.path, "ACK13").size(), 1u);
    EXPECT_EQ(entries(ledger.path, "ACCEPT").size(), 1u);
    EXPECT_EQ(entries(ledger.path, "STOP").size(), 1u);
}

TEST(SimLoopback, DropsTheConnectionAtTheChosenLineBeforeOrAfterCarryingItOut) {
    SimTempFile ledger("drop-ledger");
    RunningSim before({"--port", "0", "--ledger", QString::fromStdString(ledger.path), "--bookings", "5:1",
                       "--drop-at", "3"});
    ASSERT_NE(before.port, 0);
    Client c;
    ASSERT_TRUE(c.connectTo(before.port));
    EXPECT_EQ(c.ask("tolvane|QHT514"), "Logon success\r\n");
    EXPECT_EQ(c.ask("10|5"), "10|" + bookingRecord(1) + "\r\n");
    c.send("12|1");
    EXPECT_TRUE(c.closedByServer());
    EXPECT_EQ(before.stop(), 0);
    EXPECT_TRUE(entries(ledger.path, "ACK12").empty());  // dropped before it counted
    const auto closes = entries(ledger.path, "CLOSE");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].fields[1], "drop");

    SimTempFile ledger2("drop-after-ledger");
    RunningSim after({"--port", "0", "--ledger", QString::fromStdString(ledger2.path), "--bookings", "5:1",
                      "--drop-at", "3", "--drop-mode", "after"});
    ASSERT_NE(after.port, 0);
    Client d;
    ASSERT_TRUE(d.connectTo(after.port));
    d.ask("tolvane|QHT514");
    d.ask("10|5");
    d.send("12|1");
    EXPECT_TRUE(d.closedByServer());
    EXPECT_FALSE(d.line(0));  // no "12|OK" came before the close
    EXPECT_EQ(after.stop(), 0);
    EXPECT_EQ(entries(ledger2.path, "ACK12").size(), 1u);  // carried out, never answered
}

TEST(SimLoopback, BannerMergedLinesAndSplitPiecesReachTheClientAsConfigured) {
    RunningSim sim({"--port", "0", "--banner", "Welcome to Veltrana", "--merge", "--merge-text", "10|NONE"});
    ASSERT_NE(sim.port, 0);
    Client c;
    ASSERT_TRUE(c.connectTo(sim.port));
    EXPECT_EQ(c.line(), "Welcome to Veltrana\r\n");  // before anything is asked
    c.send("tolvane|QHT514");
    EXPECT_EQ(c.line(), "Logon success\r\n");
    EXPECT_EQ(c.line(), "10|NONE\r\n");  // the unasked extra line

    // Split into pieces of 8 bytes a minute apart: the first piece comes alone and nothing follows soon.
    RunningSim split({"--port", "0", "--split", "8", "--split-pause-ms", "60000"});
    ASSERT_NE(split.port, 0);
    Client s;
    ASSERT_TRUE(s.connectTo(split.port));
    s.send("tolvane|QHT514");
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < 8 && t.elapsed() < 5000) {
        s.socket.waitForReadyRead(50);
        got += s.socket.readAll();
    }
    s.socket.waitForReadyRead(200);
    got += s.socket.readAll();
    EXPECT_EQ(got, QByteArray("Logon su"));
}

TEST(SimLoopback, StreamsAFiftyMegabyteLineWithoutLineEndsAndWithoutHoldingIt) {
    RunningSim sim({"--port", "0", "--endless-line", "52428800", "--endless-at", "2"});
    ASSERT_NE(sim.port, 0);
    Client c;
    ASSERT_TRUE(c.connectTo(sim.port));
    EXPECT_EQ(c.ask("tolvane|QHT514"), "Logon success\r\n");
    const long startKiB = sim.residentKiB();
    c.send("10|5");
    qint64 total = 0;
    bool sawLineEnd = false;
    long peakKiB = 0;
    QElapsedTimer t;
    t.start();
    while (total < 52428800 && t.elapsed() < 60000) {
        if (!c.socket.waitForReadyRead(1000)) continue;
        const QByteArray chunk = c.socket.readAll();
        sawLineEnd |= chunk.contains('\n') || chunk.contains('\r');
        total += chunk.size();
        if ((total >> 22) != ((total - chunk.size()) >> 22)) peakKiB = std::max(peakKiB, sim.residentKiB());
    }
    EXPECT_EQ(total, 52428800);
    EXPECT_FALSE(sawLineEnd);
    ASSERT_GT(startKiB, 0);
    EXPECT_LT(peakKiB - startKiB, 16 * 1024);  // far below the 50 MB it sent
}

TEST(SimLoopback, AdminPortChangesTheRunningServer) {
    RunningSim sim({"--port", "0", "--admin-port", "0"});
    ASSERT_NE(sim.port, 0);
    const QByteArray adminLine = sim.stdoutLine();
    ASSERT_TRUE(adminLine.startsWith("admin on 127.0.0.1:")) << adminLine.toStdString();
    Client admin;
    ASSERT_TRUE(admin.connectTo(static_cast<quint16>(adminLine.mid(19).trimmed().toUInt())));
    EXPECT_EQ(admin.ask("set bookings 9:1"), "OK\n");
    EXPECT_EQ(admin.ask("set refuse 2:1"), "OK\n");
    EXPECT_EQ(admin.ask("set no-crlf"), "OK\n");
    EXPECT_EQ(admin.ask("set delay-ms soon").rfind("ERR ", 0), 0u);
    EXPECT_EQ(admin.ask("reboot").rfind("ERR ", 0), 0u);

    Client c;
    ASSERT_TRUE(c.connectTo(sim.port));
    EXPECT_EQ(c.ask("tolvane|QHT514"), "Logon success\n");
    EXPECT_EQ(c.ask("10|9"), "10|" + bookingRecord(1) + "\n");
    EXPECT_EQ(c.ask("2|x"), "2|FAILED\n");
    EXPECT_EQ(admin.ask("stats"), "bookings-pending 1 payments-pending 0 lines 3 connections 1 open 1\n");
    admin.send("exit");
    EXPECT_TRUE(sim.process.waitForFinished(10000));
    EXPECT_EQ(sim.process.exitCode(), 0);
}

TEST(SimLoopback, EndsByItselfWhenIdleAndStopsWhenItsLedgerFails) {
    RunningSim idle({"--port", "0", "--exit-after-idle-ms", "200"});
    ASSERT_NE(idle.port, 0);
    EXPECT_TRUE(idle.process.waitForFinished(10000));
    EXPECT_EQ(idle.process.exitCode(), 0);

    ensureApp();
    QProcess full;
    full.start(QStringLiteral(VELTRANA_SIM_EXE), {"--port", "0", "--ledger", "/dev/full"});
    ASSERT_TRUE(full.waitForFinished(10000));
    EXPECT_EQ(full.exitCode(), 3);
    EXPECT_TRUE(full.readAllStandardError().contains("ledger"));

    QProcess wrong;
    wrong.start(QStringLiteral(VELTRANA_SIM_EXE), {"--refuse", "9:1"});
    ASSERT_TRUE(wrong.waitForFinished(10000));
    EXPECT_EQ(wrong.exitCode(), 2);
}
