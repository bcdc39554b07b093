#include "integration/SimServer.h"

#include <gtest/gtest.h>
#include <QFile>

namespace ostrell::integration {

SimServer::SimServer(const QStringList& options) {
    QStringList args{"--port", "0", "--ledger", dir_.filePath("ledger.txt")};
    args += options;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(VELTRANA_SIM_EXE), args);
    if (!process_.waitForStarted(10000)) {
        ADD_FAILURE() << "veltrana-sim did not start: " << process_.errorString().toStdString();
        return;
    }
    // The first stdout line names the port: "listening on 127.0.0.1:<port>".
    for (int i = 0; i < 100 && !process_.canReadLine(); ++i) process_.waitForReadyRead(100);
    const QString line = QString::fromUtf8(process_.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on 127.0.0.1:");
    if (!line.startsWith(prefix)) {
        ADD_FAILURE() << "veltrana-sim said: " << line.toStdString();
        return;
    }
    port_ = line.mid(prefix.size()).toInt();
}

SimServer::~SimServer() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

std::vector<std::vector<std::string>> SimServer::ledger() const {
    std::vector<std::vector<std::string>> lines;
    QFile file(dir_.filePath("ledger.txt"));
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        if (raw.isEmpty()) continue;
        std::vector<std::string> fields;
        for (const QByteArray& f : raw.split('\t')) fields.push_back(f.toStdString());
        lines.push_back(fields);
    }
    return lines;
}

int SimServer::count(const std::string& event) const {
    int n = 0;
    for (const auto& l : ledger()) n += !l.empty() && l[0] == event;
    return n;
}

}  // namespace ostrell::integration
