#include "platform/qt/QtStopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

#include "platform/qt/QtCallbackGuard.h"

namespace ostrell::platform {

namespace {

constexpr std::array StopSignals{SIGTERM, SIGINT, SIGHUP};
int signalPipe = -1;  // the write end, for the handler

extern "C" void writeSignalNumber(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe, &number, 1);
    errno = saved;
}

}  // namespace

QtStopSignals::QtStopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    // Without the pipe the signals keep their default action: the program still ends, only less tidily.
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { onReadable(); });
    struct sigaction action {};
    action.sa_handler = writeSignalNumber;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : StopSignals) ::sigaction(signal, &action, nullptr);
}

QtStopSignals::~QtStopSignals() {
    if (!notifier_) return;
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (const int signal : StopSignals) ::sigaction(signal, &byDefault, nullptr);
    signalPipe = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void QtStopSignals::onReadable() {
    unsigned char number = 0;
    while (::read(pipe_[0], &number, 1) == 1) runFromEventLoop("a stop signal", [&] { onStop_(number); });
}

}  // namespace ostrell::platform
