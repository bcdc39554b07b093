#pragma once
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

namespace ostrell::integration {

// The built veltrana-sim as a child process on a free loopback port, with its own ledger file.
// Stopped when the object goes.
class SimServer {
public:
    explicit SimServer(const QStringList& options);
    ~SimServer();

    int32_t port() const { return port_; }
    // The ledger's lines, each split on its tabs.
    std::vector<std::vector<std::string>> ledger() const;
    // How many ledger lines begin with the event name.
    int count(const std::string& event) const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int32_t port_ = 0;
};

}  // namespace ostrell::integration
