#include "es_server_thread.h"

#include <future>

namespace esserver {

TEsServerThread::TEsServerThread(ServerOptions options) : options_(std::move(options)) {
  options_.log = LogMode::None;
}

TEsServerThread::~TEsServerThread() { Stop(); }

bool TEsServerThread::Start(std::string& error) {
  if (Running()) return true;
  stop_ = false;
  std::promise<std::string> started;
  auto result = started.get_future();
  thread_ = std::thread([this, &started] {
    queue_ = platform::MessageQueue::SharedForCurrentThread();
    TEsServer server(options_);
    if (hook_) server.SetPacketHook(hook_);
    std::string startError;
    if (!server.Start(startError)) {
      started.set_value(startError.empty() ? "start failed" : startError);
      return;
    }
    server_ = &server;
    port_ = server.Port();
    protocolPort_ = server.ProtocolPort();
    started.set_value("");
    while (!stop_) queue_->ProcessMessages(20);
    server_ = nullptr;
    server.Stop();
  });
  error = result.get();
  if (!error.empty()) {
    thread_.join();
    return false;
  }
  // A restart listens on the same ports again.
  options_.port = port_;
  if (options_.protocolPort >= 0) options_.protocolPort = protocolPort_;
  return true;
}

void TEsServerThread::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  queue_->Post([] {});
  thread_.join();
}

void TEsServerThread::Run(const std::function<void(TEsServer&)>& work) {
  if (!Running()) return;
  queue_->Send([&] {
    if (server_) work(*server_);
  });
}

ServerStats TEsServerThread::Stats() {
  ServerStats stats;
  Run([&](TEsServer& server) { stats = server.Stats(); });
  return stats;
}

}  // namespace esserver
