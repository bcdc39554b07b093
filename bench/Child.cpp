#include "Child.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <stdexcept>

extern char** environ;

namespace ostrell::bench {

double nowSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void sleepSeconds(double seconds) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

Child::Child(const Launch& launch) {
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& add : launch.env) replaced |= add.substr(0, add.find('=')) == name;
        if (!replaced) envText.push_back(entry);
    }
    for (const auto& add : launch.env) envText.push_back(add);
    std::vector<char*> envp;
    envp.reserve(envText.size());
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText = launch.argv;
    std::vector<char*> argv;
    argv.reserve(argText.size());
    for (auto& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::array<int, 2> fds{-1, -1};
    if (launch.stdoutPath.empty()) {
        if (::pipe2(fds.data(), O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, launch.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    const std::string err = launch.stderrPath.empty() ? "/dev/null" : launch.stderrPath;
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (fds[1] >= 0) ::close(fds[1]);
    pipe_ = fds[0];
    if (rc != 0) throw std::runtime_error("cannot start " + launch.argv[0] + ": " + std::strerror(rc));
}

Child::~Child() {
    stop();
    if (pipe_ >= 0) ::close(pipe_);
}

bool Child::running() {
    if (pid_ < 0) return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    status_ = r == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return false;
}

int Child::waitExit(double seconds) {
    const double end = nowSeconds() + seconds;
    while (running()) {
        if (nowSeconds() > end) return -1;
        sleepSeconds(0.005);
    }
    return status_;
}

void Child::stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    if (waitExit(1.0) == -1 && running()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

bool Child::waitForLine(const std::string& text, double seconds) {
    const double end = nowSeconds() + seconds;
    for (;;) {
        const size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            const std::string line = pending_.substr(0, lf);
            pending_.erase(0, lf + 1);
            if (line.find(text) != std::string::npos) return true;
            continue;
        }
        const double left = end - nowSeconds();
        if (left <= 0 || pipe_ < 0) return false;
        pollfd p{pipe_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
        std::array<char, 4096> chunk{};
        const ssize_t n = ::read(pipe_, chunk.data(), chunk.size());
        if (n <= 0) return false;
        pending_.append(chunk.data(), static_cast<size_t>(n));
    }
}

}  // namespace ostrell::bench
