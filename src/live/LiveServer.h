#pragma once

#include <memory>
#include <string>

#include "live/LiveScan.h"

// The phone view's web server: one page and its stream of scans, on one
// address of this computer, under a path with a random 128-bit token.
//
// - GET /TOKEN/ gives the page (self-contained HTML, CSS and JavaScript),
//   GET /TOKEN/events the Server-Sent Events stream: one event per scan
//   published, its data one LiveScanJson object, the latest one at once on
//   connecting. Any other path gets 404, any other method 405.
// - At most kMaxViewers streams at once; one more, or the page while they
//   are all taken, gets 503.
// - Read-only: nothing a viewer sends reaches the caller. The server runs its
//   own threads; Publish hands a scan over by value under a lock, returns at
//   once and never waits for a viewer.
// - Stop (and the destructor) closes every stream and joins the threads.
//
// A build without the HTTP library has the same class, whose Start refuses
// with a message.
class LiveServer {
  public:
    static constexpr int kMaxViewers = 8;

    LiveServer();
    ~LiveServer();
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Listens on address:port (port 0: any free one). False, with the
    // reason in error, when the address cannot be used.
    bool Start(const std::string& address, int port, std::string& error);
    void Stop();
    bool Running() const;

    // "http://ADDR:PORT/TOKEN/" while running; empty otherwise.
    std::string Url() const;
    int Port() const;
    // Streams open now.
    int Viewers() const;

    void Publish(LiveScan scan);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
