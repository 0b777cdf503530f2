// An HTTP server on the loopback address, on a port of its own, serving on a
// thread of its own until it goes.
#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

namespace korvane::test {

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;
  httplib::Server server;
  void start() {
    port = server.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  void stop() {
    if (!thread_.joinable()) return;
    server.stop();
    thread_.join();
  }
  int port = 0;

 private:
  std::thread thread_;
};

}  // namespace korvane::test
