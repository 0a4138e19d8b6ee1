#pragma once
// Runs a TEsServer on a thread of its own, for tests and benchmarks in one process.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "es_server.h"

namespace esserver {

class TEsServerThread {
 public:
  explicit TEsServerThread(ServerOptions options);
  ~TEsServerThread();

  // Starts the thread and the server; false when the ports could not be opened.
  bool Start(std::string& error);
  // Stops the server and ends the thread; Start may be called again (ports kept when fixed).
  void Stop();
  bool Running() const { return thread_.joinable(); }

  int Port() const { return port_; }
  int ProtocolPort() const { return protocolPort_; }
  // Runs `work` on the server's thread and waits for it.
  void Run(const std::function<void(TEsServer&)>& work);
  ServerStats Stats();
  // Installed in every server this thread starts, before its first client; runs on its thread.
  void SetPacketHook(std::function<void(const ReceivedPacket&)> hook) { hook_ = std::move(hook); }

 private:
  ServerOptions options_;
  std::thread thread_;
  std::shared_ptr<platform::MessageQueue> queue_;
  std::atomic<bool> stop_{false};
  TEsServer* server_ = nullptr;
  int port_ = 0, protocolPort_ = 0;
  std::function<void(const ReceivedPacket&)> hook_;
};

}  // namespace esserver
