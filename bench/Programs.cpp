#include "Programs.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ostrell::bench {

namespace fs = std::filesystem;

RunDir::RunDir(const std::string& parent, const std::string& name) : path_(parent + "/" + name) {
    fs::remove_all(path_);
    fs::create_directories(path_ + "/data");
    fs::create_directories(path_ + "/config");
}

RunDir::~RunDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

int64_t countLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 0;
    int64_t n = 0;
    std::array<char, 65536> buffer{};
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) n += buffer[i] == '\n';
    }
    return n;
}

namespace {

int readPortFile(const std::string& path, double seconds) {
    const double end = nowSeconds() + seconds;
    while (nowSeconds() < end) {
        std::ifstream in(path);
        int port = 0;
        if (in >> port && port > 0) return port;
        sleepSeconds(0.01);
    }
    throw std::runtime_error("the test server did not announce " + path);
}

int connectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("cannot reach the test server's admin port");
    return fd;
}

}  // namespace

SimProcess::SimProcess(const ProgramPaths& paths, const RunDir& dir, const std::vector<std::string>& options) {
    const std::string portFile = dir.path() + "/sim.port";
    const std::string adminFile = dir.path() + "/sim.admin";
    Child::Launch launch;
    launch.argv = {paths.sim,           "--port", "0", "--port-file", portFile, "--admin-port", "0",
                   "--admin-port-file", adminFile};
    launch.argv.insert(launch.argv.end(), options.begin(), options.end());
    launch.stdoutPath = dir.path() + "/sim.out";
    launch.stderrPath = dir.path() + "/sim.err";
    child_ = std::make_unique<Child>(launch);
    port_ = readPortFile(portFile, 20);
    adminPort_ = readPortFile(adminFile, 20);
    admin_ = connectLoopback(adminPort_);
}

SimProcess::~SimProcess() {
    if (admin_ >= 0) ::close(admin_);
}

std::string SimProcess::ask(const std::string& line) {
    const std::string out = line + "\n";
    if (::write(admin_, out.data(), out.size()) != static_cast<ssize_t>(out.size()))
        throw std::runtime_error("admin port write failed");
    for (;;) {
        const size_t lf = buffer_.find('\n');
        if (lf != std::string::npos) {
            std::string answer = buffer_.substr(0, lf);
            buffer_.erase(0, lf + 1);
            return answer;
        }
        std::array<char, 1024> chunk{};
        const ssize_t n = ::read(admin_, chunk.data(), chunk.size());
        if (n <= 0) throw std::runtime_error("the test server's admin port closed");
        buffer_.append(chunk.data(), static_cast<size_t>(n));
    }
}

SimStats SimProcess::stats() {
    std::istringstream in(ask("stats"));
    SimStats s;
    std::string name;
    int64_t value = 0;
    while (in >> name >> value) {
        if (name == "bookings-pending") s.bookingsPending = value;
        else if (name == "payments-pending") s.paymentsPending = value;
        else if (name == "lines") s.lines = value;
        else if (name == "connections") s.connections = value;
        else if (name == "open") s.open = value;
    }
    return s;
}

void SimProcess::command(const std::string& line) {
    const std::string answer = ask(line);
    if (answer != "OK") throw std::runtime_error("test server refused '" + line + "': " + answer);
}

void writeAgentSettings(const RunDir& dir, const AgentSettings& s) {
    std::ostringstream ini;
    ini << "[Ostrell]\n"
        << "IPadd=127.0.0.1\n"
        << "IPport=" << s.serverPort << "\n"
        << "DataDir=" << s.dataDir << "\n";
    if (!s.timeOut.empty()) ini << "TimeOut=" << s.timeOut << "\n";
    if (!s.bk.empty()) ini << "LoNumber1=" << s.bk << "\n";
    ini << s.extraLines;
    ini << "\n[Version]\nBrannhall=2.3.119\n\n[Application]\nEndFlag=N\n";
    writeFile(dir.config() + "/BKX.ini", ini.str());
}

std::unique_ptr<Child> startAgent(const ProgramPaths& paths, const RunDir& dir, const std::string& stdoutPath) {
    Child::Launch launch;
    launch.argv = {paths.agent, "--headless"};  // as it runs unattended: one line per cycle, no trace
    launch.env = {"XDG_CONFIG_HOME=" + dir.config(), "XDG_STATE_HOME=" + dir.path() + "/state"};
    launch.stdoutPath = stdoutPath;
    launch.stderrPath = dir.path() + "/agent.err";
    return std::make_unique<Child>(launch);
}

std::unique_ptr<Child> startReference(const ProgramPaths& paths, const RunDir& dir, int port,
                                      const std::vector<std::string>& options) {
    Child::Launch launch;
    launch.argv = {paths.reference, "--port", std::to_string(port), "--data", dir.data()};
    launch.argv.insert(launch.argv.end(), options.begin(), options.end());
    launch.stdoutPath = dir.path() + "/reference.out";
    launch.stderrPath = dir.path() + "/reference.err";
    return std::make_unique<Child>(launch);
}

}  // namespace ostrell::bench
