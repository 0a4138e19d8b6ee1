#pragma once
// A small event server on the client's own codec: accepts many clients, tells each whether it
// takes value events, keeps each client's event and data subscriptions and monitor state, and
// routes every event and data item to the clients whose subscriptions match. A second port
// echoes remote-protocol frames. Runs on the message queue of the thread that starts it.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "filters/data_filter_storage.h"
#include "filters/ev_filters.h"
#include "platform/message_queue.h"
#include "wire/dyn_array_stream.h"
#include "wire/event_records.h"
#include "wire/packet_extractor.h"
#include "wire/text_packet.h"
#include "wire/variant.h"

namespace esserver {

enum class LogMode { None, Text, Json };

struct ServerOptions {
  std::string bindAddress = "127.0.0.1";
  int port = 2024;           // 0: any free port (see Port())
  int protocolPort = 10100;  // -1: no remote-protocol port; 0: any free port
  bool valueEvents = true;   // what ServerInfo tells the clients
  LogMode log = LogMode::None;
  FILE* logStream = stdout;
};

// One packet as the server received it, for logs and tests.
struct ReceivedPacket {
  int client = 0;
  bool text = false;                    // text framing
  eventlink::TEvTextRecord textRecord;  // text framing
  eventlink::Variant value;             // value framing
  std::string raw;                      // the bytes between the markers
  int32_t kind = -1;                    // value kind, or 1 hello / 5 event for text packets
};

struct ServerStats {
  uint64_t packets = 0;
  uint64_t events = 0;  // events received, both framings
  uint64_t data = 0;
  uint64_t clientsAccepted = 0;
  size_t clientsConnected = 0;
};

class TEsServer {
 public:
  explicit TEsServer(ServerOptions options);
  ~TEsServer();

  // Opens the listening sockets on the calling thread's queue. False (with `error`) on failure.
  bool Start(std::string& error);
  // Reads what the clients have already sent, then closes everything.
  void Stop();
  // Closes every client connection; the ports keep listening.
  void DropAll();

  int Port() const { return port_; }
  int ProtocolPort() const { return protocolPort_; }
  ServerStats Stats() const;
  // Called for every packet received (on the server's thread).
  void SetPacketHook(std::function<void(const ReceivedPacket&)> hook) { hook_ = std::move(hook); }
  // Sends a value packet to every client (tests, demos).
  void Broadcast(const eventlink::Variant& packet);
  void SetValueEvents(bool on) { options_.valueEvents = on; }
  // Closes the clients' connections as soon as they connect (fault tests).
  void SetRejectClients(bool on) { rejectClients_ = on; }

 private:
  struct Client;
  struct EchoPeer;

  void OnAccept();
  void OnAcceptEcho();
  void OnClientIo(int id, uint32_t events);
  void OnEchoIo(int id, uint32_t events);
  void CloseClient(int id);
  void HandlePacket(Client& client, bool text, const eventlink::TDynArrayStream& payload);
  void HandleValue(Client& client, const eventlink::Variant& packet, int32_t kind);
  void RouteEvent(const eventlink::TEvRecord& event);
  void RouteData(const eventlink::TDataRecord& data);
  void SendTo(Client& client, const eventlink::Variant& packet);
  void FlushClient(Client& client);
  void Log(const ReceivedPacket& packet);

  ServerOptions options_;
  std::shared_ptr<platform::MessageQueue> queue_;
  int listenFd_ = -1, echoFd_ = -1;
  platform::MessageQueue::WatchId listenWatch_ = 0, echoWatch_ = 0;
  int port_ = 0, protocolPort_ = 0;
  int nextId_ = 1;
  bool rejectClients_ = false;
  std::map<int, std::unique_ptr<Client>> clients_;
  std::map<int, std::unique_ptr<EchoPeer>> echoPeers_;
  // Counted on the server's thread, read from any: plain atomic counters, no lock per packet.
  struct Counters {
    std::atomic<uint64_t> packets{0}, events{0}, data{0}, clientsAccepted{0};
    std::atomic<size_t> clientsConnected{0};
  };
  Counters stats_;
  std::vector<eventlink::TEvRecord> events_;  // the events of the packet in hand
  eventlink::TDynArrayStream routed_;         // one routed event's packet, built once for all
  std::function<void(const ReceivedPacket&)> hook_;
};

// Renders a value as JSON (arrays as lists, dates as day counts).
std::string VariantToJson(const eventlink::Variant& value);

}  // namespace esserver
