// The phone view in a build without the HTTP library: the class is there,
// serving is not.

#include "live/LiveServer.h"

struct LiveServer::Impl {};

LiveServer::LiveServer() = default;
LiveServer::~LiveServer() = default;

bool LiveServer::Start(const std::string&, int, std::string& error) {
    error = "The phone view is not part of this build.";
    return false;
}

void LiveServer::Stop() {}
bool LiveServer::Running() const { return false; }
std::string LiveServer::Url() const { return {}; }
int LiveServer::Port() const { return 0; }
int LiveServer::Viewers() const { return 0; }
void LiveServer::Publish(LiveScan) {}
