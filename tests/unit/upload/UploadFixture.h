#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "translog/TransferLog.h"
#include "net/LineExchange.h"
#include "fakes/FakeEventLoop.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/RecordingErrorSink.h"
#include "settings/Settings.h"
#include "upload/FileUploader.h"

namespace ostrell::testing {

// A reply of the scripted server, and whether the server takes the record into its ledger with it.
struct Reply {
    std::string text;
    bool accepted = false;
};

inline Reply accept(const std::string& request) { return {request.substr(0, 1) + "|SUCCESS", true}; }
inline Reply say(const std::string& text) { return {text, false}; }

// The server side of the line exchange: answers from a script first, then by a rule (default: accept).
// Its ledger holds every request it accepted, in order.
class ScriptedServer : public net::LineExchange {
public:
    std::deque<Reply> script;
    std::function<Reply(const std::string&)> rule;
    std::function<void(const std::string&)> onRequest;  // runs while the request "waits": host actions
    std::vector<std::string> requests;
    std::vector<std::string> ledger;

    std::string requestReply(const std::string& request) override {
        requests.push_back(request);
        if (onRequest) onRequest(request);
        Reply r;
        if (!script.empty()) {
            r = script.front();
            script.pop_front();
        } else {
            r = rule ? rule(request) : accept(request);
        }
        if (r.accepted) ledger.push_back(request);
        return r.text;
    }
    void endExchange() override {}
};

struct UploadFixture {
    fake::FakeEventLoop clock;
    fake::FakeFileSystem fs;
    fake::RecordingErrorSinks sinks;
    fake::ThrowingTerminator terminator;
    errors::ErrorReporter reporter{sinks, terminator};
    fake::FakeSettingsStore store;
    settings::Settings settings{store};
    settings::Parameters params;
    translog::TransferLog log{fs, clock, reporter, params};
    ScriptedServer server;
    upload::FileUploader up{fs, server, log, settings, reporter, params, "/state/ostrell"};

    UploadFixture() {
        fs.addDirectory("/data");
        params.dataDirPath = "/data/";
    }

    static std::string path(const std::string& base) { return "/data/" + base + ".csv"; }

    // The transfer log's texts, without their date and time.
    std::vector<std::string> logTexts() const {
        std::vector<std::string> out;
        const std::string all = fs.content("/data/VRXlogOUT.txt");
        size_t start = 0;
        while (start < all.size()) {
            const size_t end = all.find("\r\n", start);
            const std::string line = all.substr(start, end - start);
            out.push_back(line.size() >= 20 ? line.substr(20) : line);
            if (end == std::string::npos) break;
            start = end + 2;
        }
        return out;
    }

    // Files in the data directory other than the transfer log.
    std::vector<std::string> dataFiles() const {
        std::vector<std::string> out;
        for (const auto& name : fs.list("/data"))
            if (name.rfind("VRXlogOUT.txt", 0) != 0) out.push_back(name);
        return out;
    }
};

}  // namespace ostrell::testing
