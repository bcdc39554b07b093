#pragma once

// The upload and download steps as the sync cycle calls them. The real units implement these; the
// cycle, the tray picture and the tests only see the interfaces. Header-only, so the step libraries
// can implement them without linking the cycle.
namespace ostrell::cycle {

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
