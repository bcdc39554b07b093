#include "app/ChosenSocket.h"

#include "platform/PlatformError.h"

namespace ostrell::app {

ChosenSocket::~ChosenSocket() { current_->setEvents(nullptr); }

std::string ChosenSocket::choose(const settings::TlsChoice& choice, platform::TlsSocketFactory* factory) {
    std::string problem = choice.problem;
    if (problem.empty() && choice.on) {
        if (!factory) {
            problem = "TLS=Yes: this program has no TLS";
        } else {
            try {
                tls_ = factory->create(choice.options);
            } catch (const platform::PlatformError& e) {
                problem = e.number() == platform::err::TlsRefused
                              ? e.what()
                              : "TLSCA=" + choice.options.authorityFile + ": " + e.what();
            }
        }
    }
    if (!problem.empty()) {
        refuse(problem);
    } else if (tls_) {
        current_->setEvents(nullptr);
        current_->close();
        current_ = tls_.get();
        current_->setEvents(events_);
    }
    return problem;
}

void ChosenSocket::refuse(const std::string& reason) {
    refusal_ = reason;
    current_->setEvents(nullptr);
    current_->close();
}

void ChosenSocket::setEvents(platform::TcpSocketEvents* events) {
    events_ = events;
    if (refusal_.empty()) current_->setEvents(events);
}

void ChosenSocket::connect(const std::string& host, int32_t port) {
    if (refusal_.empty()) {
        current_->connect(host, port);
        return;
    }
    // From the loop, as a socket reports a failed connection; the state stays closed.
    std::weak_ptr<int> alive = alive_;
    loop_.post(0, [this, alive] {
        if (alive.lock() && events_) events_->onError(platform::err::TlsRefused, refusal_);
    });
}

}  // namespace ostrell::app
