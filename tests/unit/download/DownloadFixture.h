#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedExchange.h"
#include "download/Downloader.h"
#include "download/ReplyClassification.h"
#include "translog/TransferLog.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeProcessLauncher.h"
#include "fakes/RecordingErrorSink.h"

namespace ostrell::dltest {

inline const std::string Stamp = "2026-12-06 00:00:00 ";
inline const std::string BookingsPath = "/data/InBookings.csv";
inline const std::string PaymentsPath = "/data/Payment.csv";
inline const std::string LogPath = "/data/VRXlogOUT.txt";

// A booking line of 20 quoted fields whose sixth holds number, one field holding a comma.
inline std::string bookingLine(const std::string& number, const std::string& guest = "Smith, Ann") {
    std::string line = "\"BK1\",\"" + guest + "\",\"2026-12-06\",\"2026-12-09\",\"2\",\"" + number + "\"";
    for (int i = 7; i <= 20; ++i) line += ",\"f" + std::to_string(i) + "\"";
    return line;
}
inline std::string paymentLine(const std::string& number, const std::string& amount = "120.50") {
    return "\"BK1\",\"" + number + "\",\"" + amount + "\",\"2026-12-06\"";
}

struct DownloadFixture {
    fake::FakeEventLoop clock;
    fake::FakeFileSystem fs;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
    settings::Parameters params;
    translog::TransferLog log{fs, clock, reporter, params};
    ScriptedExchange exchange;
    QueueServer server;
    fake::FakeProcessLauncher launcher;
    download::Downloader downloader{exchange, fs, launcher, reporter, params, log};

    DownloadFixture() {
        fs.addDirectory("/data");
        params.dataDirPath = "/data/";
        params.loNumbers[1] = "BK1";
        params.hasLoNumber = true;
        params.uploadCommand = "/opt/brannick/upload --now";
        exchange.server = [this](const std::string& r) { return server(r); };
    }

    void downloadFiles() { downloader.downloadFiles(); }

    // The transfer log's texts, without the date and time.
    std::vector<std::string> logTexts() const {
        std::vector<std::string> out;
        const std::string all = fs.content(LogPath);
        size_t start = 0;
        while (start < all.size()) {
            const size_t end = all.find("\r\n", start);
            std::string line = all.substr(start, end - start);
            EXPECT_EQ(line.rfind(Stamp, 0), 0u) << line;
            out.push_back(line.substr(Stamp.size()));
            start = end == std::string::npos ? all.size() : end + 2;
        }
        return out;
    }

    // Every acknowledgement that went out names a record whose line is durably in its incoming file.
    // Call after fs.powerLoss(). Gives the number of acknowledgements checked.
    size_t expectEveryAckDurable() {
        size_t checked = 0;
        for (const auto& ack : exchange.acks()) {
            const std::string content = fs.content(ack.rfind("12|", 0) == 0 ? BookingsPath : PaymentsPath);
            const auto& replies = server.repliesByAck[ack];
            bool found = false;
            for (const auto& reply : replies)
                if (content.find(download::recordLine(reply) + "\r\n") != std::string::npos) found = true;
            EXPECT_TRUE(found) << ack << " was acknowledged but its record is not on disk";
            ++checked;
        }
        return checked;
    }
};

// The lines of a file ended by CR LF.
inline std::vector<std::string> fileLines(const std::string& content) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < content.size()) {
        const size_t end = content.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(content.substr(start) + "<no line end>");
            break;
        }
        out.push_back(content.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

}  // namespace ostrell::dltest
