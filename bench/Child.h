#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace ostrell::bench {

// A program the benchmark starts: its own environment additions, stdout and stderr to files (or stdout
// to a pipe the benchmark reads). Ended with SIGTERM (then SIGKILL) when the object goes.
class Child {
public:
    struct Launch {
        std::vector<std::string> argv;
        std::vector<std::string> env;  // NAME=VALUE, added to the benchmark's own environment
        std::string stdoutPath;        // empty: a pipe, read with readLineWithin
        std::string stderrPath;
    };

    explicit Child(const Launch& launch);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // Waits for the program to end by itself; its exit status, or -1 when it did not end within the time.
    int waitExit(double seconds);
    // SIGTERM, and SIGKILL when it has not ended a second later.
    void stop();
    // Reads stdout (pipe mode) until a line containing text arrives; false when the time passes first.
    bool waitForLine(const std::string& text, double seconds);

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
    int status_ = -1;
    std::string pending_;
};

// Monotonic seconds.
double nowSeconds();
void sleepSeconds(double seconds);

}  // namespace ostrell::bench
