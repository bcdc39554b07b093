#pragma once
#include <memory>
#include <string>

#include "app/CycleSummary.h"
#include "net/LineExchange.h"
#include "platform/ErrorSink.h"

namespace ostrell::app {

// Sits between the upload and download steps and the connection and counts, from the lines alone, what
// the cycle achieved: an upload line the server accepted, a record acknowledged (which the download
// does only after storing it), per BK number.
class CountingExchange : public net::LineExchange {
public:
    CountingExchange(net::LineExchange& inner, CycleSummary& summary) : inner_(inner), summary_(summary) {}
    std::string requestReply(const std::string& request) override;
    void endExchange() override { inner_.endExchange(); }
    bool replyArrivedWhole() override { return inner_.replyArrivedWhole(); }
    void showNote(const std::string& text) override { inner_.showNote(text); }

private:
    CycleSummary::Stored& storedFor(const std::string& bkNumber);

    net::LineExchange& inner_;
    CycleSummary& summary_;
    std::string bkNumber_;  // of the last "10|" or "11|" request
};

// Counts the reports of a cycle on their way to the real sink.
class CountingErrorSinks : public platform::ErrorSinkFactory {
public:
    CountingErrorSinks(platform::ErrorSinkFactory& inner, CycleSummary& summary) : inner_(inner), summary_(summary) {}
    std::unique_ptr<platform::ErrorSink> create() override {
        ++summary_.errors;
        return inner_.create();
    }
    std::string description() const override { return inner_.description(); }

private:
    platform::ErrorSinkFactory& inner_;
    CycleSummary& summary_;
};

}  // namespace ostrell::app
