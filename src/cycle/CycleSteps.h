#pragma once
#include <string>

// The upload and download steps as the sync cycle calls them. The real units implement these; the
// cycle, the tray picture and the tests only see the interfaces. Header-only, so the step libraries
// can implement them without linking the cycle.
namespace ostrell::cycle {

enum class RecordKind { Booking, Payment };

// What the steps tell as it happens, for the cycle's summary line and the day's counts: the steps know
// what they sent and stored, the wire text does not say it reliably.
class StepEvents {
public:
    virtual ~StepEvents() = default;
    // A line of the outgoing file fileName ("Bookings.csv") the server accepted.
    virtual void lineAccepted(const std::string& fileName) = 0;
    // A record for the BK number stored durably (it is acknowledged next).
    virtual void recordStored(const std::string& bkNumber, RecordKind kind) = 0;
};

class Uploader {
public:
    virtual ~Uploader() = default;
    // True when at least one outgoing file waits. Also asked by the tray picture: touches no upload state.
    virtual bool hasFilesToSend() = 0;
    // Sends and disposes of every waiting outgoing file over the held connection.
    virtual void sendFiles() = 0;
};

class Downloader {
public:
    virtual ~Downloader() = default;
    // The download exchange, ending with the quit exchange when still connected.
    virtual void downloadFiles() = 0;
};

}  // namespace ostrell::cycle
