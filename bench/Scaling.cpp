#include "Scaling.h"

#include <algorithm>
#include <stdexcept>

#include "Child.h"
#include "Programs.h"
#include "Throughput.h"
#include "errors/ErrorReporter.h"
#include "fakes/FakeSettingsStore.h"
#include "net/LineExchange.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/Parameters.h"
#include "settings/Settings.h"
#include "translog/TransferLog.h"
#include "upload/FileUploader.h"

namespace ostrell::bench {

namespace {

// Any report means the measured run went wrong.
class FailOnReport : public platform::ErrorSinkFactory, public platform::ProgramTerminator {
public:
    std::unique_ptr<platform::ErrorSink> create() override { return std::make_unique<Sink>(); }
    [[noreturn]] void endNow() override { throw std::runtime_error("the product asked to end"); }

private:
    struct Sink : platform::ErrorSink {
        int32_t handle(const platform::ErrorSinkInputs& in) override {
            throw std::runtime_error("error reported in " + in.procedureName + ": " + in.description);
        }
    };
};

// The server's side in-process: accepts the first `accept` records, then answers "BAD" (the file is given up).
class AcceptFirst : public net::LineExchange {
public:
    explicit AcceptFirst(int64_t accept) : accept_(accept) {}
    std::string requestReply(const std::string& request) override {
        return ++seen_ <= accept_ ? request.substr(0, 1) + "|SUCCESS" : "BAD";
    }
    void endExchange() override {}

private:
    int64_t accept_;
    int64_t seen_ = 0;
};

struct Units {
    FailOnReport failing;
    errors::ErrorReporter reporter{failing, failing};
    platform::PosixFileSystem files;
    platform::QtEventLoop loop;
    fake::FakeSettingsStore store;
    settings::Settings settings{store};
    settings::Parameters params;
    struct : cycle::StepEvents {
        void lineAccepted(const std::string&) override {}
        void recordStored(const std::string&, cycle::RecordKind) override {}
    } events;
};

double cutDownSecondsPerLine(const std::string& workDir, int64_t lines) {
    RunDir dir(workDir, "scaling-cutdown");
    Units u;
    u.params.dataDirPath = dir.data();
    const std::string file = dir.data() + "Bookings.csv";
    std::string content;
    for (int64_t n = 1; n <= lines; ++n) content += outgoingBookingLine(n) + "\r\n";
    writeFile(file, content);
    translog::TransferLog log(u.files, u.loop, u.reporter, u.params);
    AcceptFirst server(lines / 2);
    upload::FileUploader uploader(u.files, server, log, u.settings, u.reporter, u.params, u.loop, u.events);
    const double t0 = nowSeconds();
    uploader.sendFiles();
    const double seconds = nowSeconds() - t0;
    if (countLines(file) != lines - lines / 2) throw std::runtime_error("cut-down left the wrong lines");
    return seconds / static_cast<double>(lines);
}

double logSecondsPerLine(const std::string& workDir, int64_t lines, bool mustRotate) {
    RunDir dir(workDir, "scaling-log");
    Units u;
    u.params.dataDirPath = dir.data();
    translog::TransferLog log(u.files, u.loop, u.reporter, u.params);
    const std::string text = " G 6|" + outgoingBookingLine(7);
    const double t0 = nowSeconds();
    for (int64_t n = 0; n < lines; ++n) log.write(text);
    const double seconds = nowSeconds() - t0;
    if (mustRotate != fileExists(log.logPath() + ".bak")) throw std::runtime_error("log rotation not as planned");
    return seconds / static_cast<double>(lines);
}

template <class F>
double best(int runs, F f) {
    double out = f();
    for (int i = 1; i < runs; ++i) out = std::min(out, f());
    return out;
}

}  // namespace

Scaling measureScaling(const std::string& workDir, int64_t smallLines, int64_t largeLines) {
    Scaling s;
    s.smallLines = smallLines;
    s.largeLines = largeLines;
    s.cutDownSmall = best(15, [&] { return cutDownSecondsPerLine(workDir, smallLines); });
    s.cutDownLarge = best(3, [&] { return cutDownSecondsPerLine(workDir, largeLines); });
    // A line of the log is about 150 bytes: the large run crosses the 5 MiB limit once.
    const int64_t lineBytes = 20 + 5 + static_cast<int64_t>(outgoingBookingLine(7).size()) + 2;
    s.logSmallLines = smallLines;
    s.logLargeLines = translog::TransferLogLimit / lineBytes + 1000;
    s.logSmall = best(15, [&] { return logSecondsPerLine(workDir, s.logSmallLines, false); });
    s.logLarge = best(3, [&] { return logSecondsPerLine(workDir, s.logLargeLines, true); });
    return s;
}

}  // namespace ostrell::bench
