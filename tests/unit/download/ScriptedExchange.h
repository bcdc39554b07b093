#pragma once
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "net/LineExchange.h"

namespace ostrell::dltest {

// Thrown when a download keeps asking past the test's bound. Not a std::exception, so no trap hides it.
struct RunawayDownload {};

// A line exchange whose server is a function of the request. Every request is recorded; the quit is
// recorded as "quit". A bound on requests keeps a faulty download loop from hanging the test.
class ScriptedExchange : public net::LineExchange {
public:
    std::function<std::string(const std::string& request)> server;
    std::vector<std::string> sent;
    bool connected = true;
    bool quitSent = false;
    size_t maxRequests = 200000;
    // Called after each request is recorded and before its reply is made (for crash and state probes).
    std::function<void(const std::string& request)> onRequest;

    std::string requestReply(const std::string& request) override {
        sent.push_back(request);
        if (sent.size() > maxRequests) throw RunawayDownload{};
        if (onRequest) onRequest(request);
        return server ? server(request) : std::string("BAD - timed out");
    }
    void endExchange() override {
        if (!connected) return;
        sent.push_back("quit");
        quitSent = true;
        connected = false;
    }

    // The acknowledgements sent, in order ("12|5", "13|7").
    std::vector<std::string> acks() const {
        std::vector<std::string> out;
        for (const auto& s : sent)
            if (s.rfind("12|", 0) == 0 || s.rfind("13|", 0) == 0) out.push_back(s);
        return out;
    }
};

// A server with a queue of replies per request ("10|BK1", "11|BK1"); an empty queue answers
// "10|NONE" / "11|NONE". A reply given with a record number stays at the front of its queue until that
// number is acknowledged ("12|n" for type 10, "13|n" for type 11), as the real server keeps a record it
// has not heard back about; any other reply is given once.
class QueueServer {
public:
    struct Entry {
        std::string reply;
        std::optional<int64_t> number;
    };
    std::map<std::string, std::deque<Entry>> queues;
    int acksToLose = 0;                         // the next n acknowledgements never reach the server
    std::vector<std::string> acksTaken;          // acknowledgements the server took
    std::map<std::string, std::vector<std::string>> repliesByAck;  // "12|5" -> record replies sent for it

    void record(const std::string& request, int64_t number, const std::string& reply) {
        queues[request].push_back({reply, number});
    }
    void reply(const std::string& request, const std::string& text) { queues[request].push_back({text, {}}); }

    std::string operator()(const std::string& request) {
        const bool isAck = request.rfind("12|", 0) == 0 || request.rfind("13|", 0) == 0;
        if (isAck) {
            if (acksToLose > 0) {
                --acksToLose;
                return "BAD - timed out";
            }
            acksTaken.push_back(request);
            const std::string prefix = request[1] == '2' ? "10|" : "11|";
            for (auto& [key, q] : queues)
                if (key.rfind(prefix, 0) == 0 && !q.empty() && q.front().number &&
                    ackFor(key, *q.front().number) == request)
                    q.pop_front();
            return "OK";
        }
        auto it = queues.find(request);
        if (it == queues.end() || it->second.empty()) return request.substr(0, 2) + "|NONE";
        const Entry e = it->second.front();
        if (e.number)
            repliesByAck[ackFor(request, *e.number)].push_back(e.reply);
        else
            it->second.pop_front();
        return e.reply;
    }

    static std::string ackFor(const std::string& request, int64_t number) {
        return (request.rfind("10|", 0) == 0 ? "12|" : "13|") + std::to_string(number);
    }
};

}  // namespace ostrell::dltest
