#pragma once
// Shared pieces of the client tests: pumping the test thread's queue, a scripted peer that
// records what a client sends, packet splitting, and a private registry per test.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EventLink.h"
#include "client/process_settings.h"
#include "client/protocol_s50.h"
#include "client/sockets_pool.h"
#include "platform/message_queue.h"
#include "platform/registry.h"
#include "wire/packet_extractor.h"
#include "wire/packets.h"
#include "wire/text_packet.h"
#include "wire/value_packet.h"

namespace clienttest {

// Pumps in short slices, so that conditions changed by other threads are seen promptly.
inline bool Pump(const std::function<bool()>& done, int timeoutMs = 3000) {
  auto& queue = platform::MessageQueue::ForCurrentThread();
  for (int waited = 0; !done() && waited < timeoutMs; waited += 5) queue.PumpUntil([] { return false; }, 5);
  return done();
}

inline void PumpFor(int ms) {
  platform::MessageQueue::ForCurrentThread().PumpUntil([] { return false; }, ms);
}

// A private, empty registry folder for the calling test.
inline void FreshRegistry() {
  static int serial = 0;
  auto dir = std::filesystem::temp_directory_path() /
             ("eventlink-client-tests-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("TESSARO_REGISTRY_DIR", dir.c_str(), 1);
}

inline void WriteEventServerValue(const std::string& name, int32_t value) {
  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(eventlink::kEventServerKey, true));
  reg.WriteInteger(name, value);
}

inline void WriteEventServerString(const std::string& name, const std::string& value) {
  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(eventlink::kEventServerKey, true));
  reg.WriteString(name, value);
}

// A fresh pool reading a fresh registry that points the defaults at `port` (0: left alone).
inline void FreshPool(int port = 0) {
  FreshRegistry();
  if (port > 0) WriteEventServerValue("ServerPort", port);
  eventlink::RecreateProcessPool();
  eventlink::ResetRequestIdsForTests();
}

struct Packet {
  bool text = false;
  eventlink::TEvTextRecord record;
  eventlink::Variant value;
  int32_t kind = -1;
  std::string bytes;  // the whole packet, markers included
};

inline std::vector<Packet> SplitPackets(const std::string& stream, size_t* errors = nullptr) {
  std::vector<Packet> out;
  eventlink::TEvPacketExtractor extractor;
  extractor.Append(stream.data(), stream.size());
  while (extractor.NextPacket()) {
    if (errors) *errors += extractor.LastErrors().size();
    Packet p;
    p.text = extractor.LastKind() == eventlink::pfText;
    if (p.text) {
      auto rec = eventlink::ParseTextPayload(extractor.PacketBuffer().View());
      if (rec) {
        p.record = *rec;
        p.kind = rec->RecordKind == eventlink::trkHello ? 1 : 5;
      }
      p.bytes = "<" + std::string(extractor.PacketBuffer().View()) + ">";
    } else {
      p.value = eventlink::DecodeValuePayload(extractor.PacketBuffer());
      auto kind = eventlink::ReceivedPacketKind(p.value);
      p.kind = kind ? *kind : -1;
      p.bytes = "\x02" + std::string(extractor.PacketBuffer().View()) + "\x03";
    }
    out.push_back(std::move(p));
  }
  if (errors) *errors += extractor.LastErrors().size();
  return out;
}

inline std::string ValueBytes(const eventlink::Variant& v) {
  return std::string(eventlink::BuildValuePacket(v).View());
}

// A non-blocking listening socket on an ephemeral loopback port; receiveBuffer > 0 sets the
// accepted sockets' receive buffer.
inline int ListenOnLoopback(int& port, int receiveBuffer = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  listen(fd, 16);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

// A listening socket on loopback, served by the test thread's queue: records every accepted
// connection's bytes and can answer, stop reading, or hang up.
class ScriptedPeer {
 public:
  ScriptedPeer() {
    listenFd_ = ListenOnLoopback(port_);
    auto& q = platform::MessageQueue::ForCurrentThread();
    listenWatch_ = q.Watch(listenFd_, platform::MessageQueue::kReadable, [this](uint32_t) { Accept(); });
  }
  ~ScriptedPeer() {
    auto& q = platform::MessageQueue::ForCurrentThread();
    CloseCurrent();
    q.Unwatch(listenWatch_);
    close(listenFd_);
  }

  int Port() const { return port_; }
  size_t Connections() const { return received_.size(); }
  const std::string& Received(size_t i) const { return received_.at(i); }
  const std::string& Last() const { return received_.back(); }
  bool Connected() const { return fd_ >= 0; }
  void SetReading(bool on) {
    reading_ = on;
    if (fd_ >= 0) platform::MessageQueue::ForCurrentThread().ModifyWatch(watch_, on ? platform::MessageQueue::kReadable : 0u);
    if (on) Drain();
  }
  void SetAcceptClose(bool on) { acceptClose_ = on; }

  void Send(const std::string& bytes) {
    ASSERT_GE(fd_, 0);
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  void CloseCurrent() {
    if (fd_ < 0) return;
    platform::MessageQueue::ForCurrentThread().Unwatch(watch_);
    close(fd_);
    fd_ = -1;
  }
  // Reads what has arrived, without pumping anything else.
  void Drain() {
    if (fd_ < 0) return;
    char buf[65536];
    for (;;) {
      const ssize_t n = recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        received_.back().append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0) CloseCurrent();
      return;
    }
  }

 private:
  void Accept() {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (acceptClose_) {
      close(fd);
      received_.emplace_back();
      return;
    }
    CloseCurrent();
    fd_ = fd;
    received_.emplace_back();
    watch_ = platform::MessageQueue::ForCurrentThread().Watch(fd_, reading_ ? platform::MessageQueue::kReadable : 0u,
                                                             [this](uint32_t) {
                                                               if (reading_) Drain();
                                                             });
  }

  int listenFd_ = -1, fd_ = -1, port_ = 0;
  platform::MessageQueue::WatchId listenWatch_ = 0, watch_ = 0;
  bool reading_ = true;
  bool acceptClose_ = false;
  std::vector<std::string> received_;
};

}  // namespace clienttest
