#include "es_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "wire/event_packet.h"
#include "wire/event_records.h"
#include "wire/packets.h"
#include "wire/value_packet.h"

namespace esserver {

using eventlink::Variant;

struct TEsServer::Client {
  int id = 0;
  int fd = -1;
  platform::MessageQueue::WatchId watch = 0;
  eventlink::TEvPacketExtractor extractor;
  eventlink::TFilterStorage evFilters;
  eventlink::TDataFilterStorage dataFilters;
  bool monitor = false;
  std::string name;
  eventlink::TDynArrayStream out;
  size_t outHead = 0;
  bool wantWrite = false;
};

struct TEsServer::EchoPeer {
  int fd = -1;
  platform::MessageQueue::WatchId watch = 0;
};

namespace {

int Listen(const std::string& address, int port, int& boundPort, std::string& error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
    error = "bad bind address " + address;
    close(fd);
    return -1;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 128) != 0) {
    error = "port " + std::to_string(port) + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  boundPort = ntohs(addr.sin_port);
  return fd;
}

void JsonString(std::ostringstream& out, const std::string& text) {
  out << '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') out << '\\' << c;
    else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out << buf;
    } else out << c;
  }
  out << '"';
}

void RenderJson(std::ostringstream& out, const Variant& v) {
  using eventlink::VarType;
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: out << "null"; return;
    case VarType::Boolean: out << (v.AsBoolean() ? "true" : "false"); return;
    case VarType::Array: {
      out << '[';
      for (int32_t i = v.LowBound(); i <= v.HighBound(); ++i) {
        if (i > v.LowBound()) out << ',';
        RenderJson(out, v.At(i));
      }
      out << ']';
      return;
    }
    case VarType::OleStr:
    case VarType::String: JsonString(out, v.RawString()); return;
    case VarType::Double:
    case VarType::Single:
    case VarType::Date: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.10g", v.AsDouble());
      out << buf;
      return;
    }
    default:
      try {
        out << v.AsInt64();
      } catch (const std::exception&) {
        out << "null";
      }
  }
}

}  // namespace

std::string VariantToJson(const Variant& value) {
  std::ostringstream out;
  RenderJson(out, value);
  return out.str();
}

TEsServer::TEsServer(ServerOptions options)
    : options_(std::move(options)), queue_(platform::MessageQueue::SharedForCurrentThread()) {}

TEsServer::~TEsServer() { Stop(); }

bool TEsServer::Start(std::string& error) {
  listenFd_ = Listen(options_.bindAddress, options_.port, port_, error);
  if (listenFd_ < 0) return false;
  listenWatch_ = queue_->Watch(listenFd_, platform::MessageQueue::kReadable, [this](uint32_t) { OnAccept(); });
  if (options_.protocolPort >= 0) {
    echoFd_ = Listen(options_.bindAddress, options_.protocolPort, protocolPort_, error);
    if (echoFd_ < 0) {
      Stop();
      return false;
    }
    echoWatch_ = queue_->Watch(echoFd_, platform::MessageQueue::kReadable, [this](uint32_t) { OnAcceptEcho(); });
  }
  return true;
}

void TEsServer::Stop() {
  // A stop takes in what the clients have already written; DropAll alone is the abrupt cut.
  std::vector<int> ids;
  for (auto& [id, client] : clients_) ids.push_back(id);
  for (int id : ids) OnClientIo(id, platform::MessageQueue::kReadable);
  DropAll();
  for (auto& [id, peer] : echoPeers_) {
    queue_->Unwatch(peer->watch);
    close(peer->fd);
  }
  echoPeers_.clear();
  if (listenWatch_) queue_->Unwatch(listenWatch_);
  if (echoWatch_) queue_->Unwatch(echoWatch_);
  listenWatch_ = echoWatch_ = 0;
  if (listenFd_ >= 0) close(listenFd_);
  if (echoFd_ >= 0) close(echoFd_);
  listenFd_ = echoFd_ = -1;
}

void TEsServer::DropAll() {
  std::vector<int> ids;
  for (auto& [id, client] : clients_) ids.push_back(id);
  for (int id : ids) CloseClient(id);
}

ServerStats TEsServer::Stats() const {
  ServerStats stats;
  stats.packets = stats_.packets.load(std::memory_order_relaxed);
  stats.events = stats_.events.load(std::memory_order_relaxed);
  stats.data = stats_.data.load(std::memory_order_relaxed);
  stats.clientsAccepted = stats_.clientsAccepted.load(std::memory_order_relaxed);
  stats.clientsConnected = stats_.clientsConnected.load(std::memory_order_relaxed);
  return stats;
}

namespace {
void Bump(std::atomic<uint64_t>& counter, uint64_t by = 1) { counter.fetch_add(by, std::memory_order_relaxed); }
}  // namespace

void TEsServer::OnAccept() {
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (rejectClients_) {
      close(fd);
      continue;
    }
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto client = std::make_unique<Client>();
    client->id = nextId_++;
    client->fd = fd;
    const int id = client->id;
    client->watch = queue_->Watch(fd, platform::MessageQueue::kReadable, [this, id](uint32_t ev) { OnClientIo(id, ev); });
    Client& ref = *client;
    clients_.emplace(id, std::move(client));
    Bump(stats_.clientsAccepted);
    stats_.clientsConnected = clients_.size();
    Variant info = Variant::ArrayOf({Variant::Integer(eventlink::pkServerInfo), Variant::Boolean(options_.valueEvents)});
    SendTo(ref, info);
  }
}

void TEsServer::CloseClient(int id) {
  auto it = clients_.find(id);
  if (it == clients_.end()) return;
  queue_->Unwatch(it->second->watch);
  close(it->second->fd);
  clients_.erase(it);
  stats_.clientsConnected = clients_.size();
}

void TEsServer::OnClientIo(int id, uint32_t events) {
  auto it = clients_.find(id);
  if (it == clients_.end()) return;
  Client& client = *it->second;
  if (events & platform::MessageQueue::kWritable) FlushClient(client);
  if (!(events & (platform::MessageQueue::kReadable | platform::MessageQueue::kHangup | platform::MessageQueue::kError)))
    return;
  uint8_t buf[65536];
  bool closed = false;
  for (int rounds = 0; rounds < 64; ++rounds) {
    const ssize_t n = recv(client.fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) {
      client.extractor.Append(buf, static_cast<size_t>(n));
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) closed = true;
    break;
  }
  while (client.extractor.NextPacket()) {
    HandlePacket(client, client.extractor.LastKind() == eventlink::pfText, client.extractor.PacketBuffer());
    if (clients_.find(id) == clients_.end()) return;
  }
  if (closed) CloseClient(id);
}

void TEsServer::HandlePacket(Client& client, bool text, const eventlink::TDynArrayStream& payload) {
  Bump(stats_.packets);
  const bool observed = options_.log != LogMode::None || hook_;
  // Event packets, nearly all of the traffic, are read straight into records when nobody
  // needs to see the value itself.
  if (!text && !observed && eventlink::DecodeEventsPayload(payload.Data(), payload.Length(), events_)) {
    Bump(stats_.events, events_.size());
    for (const auto& event : events_) RouteEvent(event);
    return;
  }
  ReceivedPacket packet;
  packet.client = client.id;
  packet.text = text;
  if (observed) packet.raw.assign(payload.View());
  if (text) {
    auto record = eventlink::ParseTextPayload(payload.View());
    if (!record) return;
    packet.textRecord = *record;
    packet.kind = record->RecordKind == eventlink::trkHello ? eventlink::pkHello : eventlink::pkEvents;
    Log(packet);
    if (hook_) hook_(packet);
    if (record->RecordKind == eventlink::trkHello) {
      client.name = record->Text;
      return;
    }
    eventlink::TEvRecord event;
    event.EvCode = record->EvCode;
    event.Key1 = record->Key1;
    event.Key2 = record->Key2;
    event.Key3 = record->Key3;
    event.Key4 = record->Key4;
    event.Key5 = record->Key5;
    event.Time1 = record->Time1;
    event.Time2 = event.Time3 = record->Time2;
    event.Text = record->Text;
    Bump(stats_.events);
    RouteEvent(event);
    return;
  }
  packet.value = eventlink::DecodeValuePayload(payload);
  const auto kind = eventlink::ReceivedPacketKind(packet.value);
  packet.kind = kind ? *kind : -1;
  Log(packet);
  if (hook_) hook_(packet);
  if (kind) HandleValue(client, packet.value, *kind);
}

void TEsServer::HandleValue(Client& client, const Variant& packet, int32_t kind) {
  auto keysOf = [&](int32_t n, std::vector<int32_t>& keys) {
    if (packet.HighBound() < 1 || !packet.At(1).IsArray()) return false;
    const Variant& a = packet.At(1);
    if (a.HighBound() - a.LowBound() + 1 != n) return false;
    keys.clear();
    for (int32_t i = a.LowBound(); i <= a.HighBound(); ++i) {
      int32_t v = 0;
      if (!a.At(i).TryAsInteger(v)) return false;
      keys.push_back(v);
    }
    return true;
  };
  auto groupOf = [&](int32_t& group) { return packet.HighBound() >= 1 && packet.At(1).TryAsInteger(group); };
  std::vector<int32_t> k;
  int32_t group = 0;
  switch (kind) {
    case eventlink::pkEvSubscribe:
      if (keysOf(6, k)) client.evFilters.AddEvFilter({k[0], k[1], k[2], k[3], k[4]}, k[5], nullptr, 0);
      break;
    case eventlink::pkEvSubscribeDelOne:
      if (keysOf(6, k)) client.evFilters.DelEvFilter({k[0], k[1], k[2], k[3], k[4]}, k[5]);
      break;
    case eventlink::pkEvSubscribeDelGroup:
      if (groupOf(group)) client.evFilters.DelEvGroup(group);
      break;
    case eventlink::pkEvSubscribeClear: client.evFilters.ClearEvFilters(); break;
    // Data subscriptions arrive in wire order: Key1, Key3, Key2, Key4, group.
    case eventlink::pkDataSubscribe:
      if (keysOf(5, k)) client.dataFilters.AddDataFilter(k[0], k[2], k[1], k[3], k[4], nullptr, 0);
      break;
    case eventlink::pkDataSubscribeDelOne:
      if (keysOf(5, k)) client.dataFilters.DelDataFilter(k[0], k[2], k[1], k[3], k[4]);
      break;
    case eventlink::pkDataSubscribeDelGroup:
      if (groupOf(group)) client.dataFilters.DelDataGroup(group);
      break;
    case eventlink::pkDataSubscribeClear: client.dataFilters.ClearDataFilters(); break;
    case eventlink::pkMonitorOn: client.monitor = true; break;
    case eventlink::pkMonitorOff: client.monitor = false; break;
    case eventlink::pkIdentity:
      if (packet.HighBound() >= 1) client.name = packet.At(1).AsString();
      break;
    case eventlink::pkEvents: {
      const auto events = eventlink::ParseEventsPacket(packet);
      Bump(stats_.events, events.size());
      for (const auto& event : events) RouteEvent(event);
      break;
    }
    case eventlink::pkData: {
      auto data = eventlink::ParseDataPacket(packet);
      if (!data) break;
      Bump(stats_.data);
      RouteData(*data);
      break;
    }
    default: break;
  }
}

void TEsServer::RouteEvent(const eventlink::TEvRecord& event) {
  const eventlink::EvKeys keys{event.Key1, event.Key2, event.Key3, event.Key4, event.Key5};
  std::vector<int> targets;
  for (auto& [id, client] : clients_) {
    if (client->evFilters.EvFilterCount() == 0) continue;
    client->evFilters.BeginEvMatch(keys);
    if (client->evFilters.NextEvMatch()) targets.push_back(id);
  }
  if (targets.empty()) return;
  routed_.Clear();
  eventlink::AppendEventPacket(event, routed_);
  for (int id : targets) {
    auto it = clients_.find(id);
    if (it == clients_.end()) continue;
    it->second->out.Append(routed_.Data(), routed_.Length());
    FlushClient(*it->second);
  }
}

void TEsServer::RouteData(const eventlink::TDataRecord& data) {
  std::vector<int> targets;
  for (auto& [id, client] : clients_)
    if (client->monitor || !client->dataFilters.CollectDataMatches(data).empty()) targets.push_back(id);
  if (targets.empty()) return;
  const Variant packet = eventlink::MakeDataPacket(data);
  for (int id : targets) {
    auto it = clients_.find(id);
    if (it != clients_.end()) SendTo(*it->second, packet);
  }
}

void TEsServer::Broadcast(const Variant& packet) {
  std::vector<int> ids;
  for (auto& [id, client] : clients_) ids.push_back(id);
  for (int id : ids) {
    auto it = clients_.find(id);
    if (it != clients_.end()) SendTo(*it->second, packet);
  }
}

void TEsServer::SendTo(Client& client, const Variant& packet) {
  eventlink::AppendValuePacket(packet, client.out);
  FlushClient(client);
}

void TEsServer::FlushClient(Client& client) {
  while (client.outHead < client.out.Length()) {
    const ssize_t n = send(client.fd, client.out.Data() + client.outHead, client.out.Length() - client.outHead,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      client.outHead += static_cast<size_t>(n);
      continue;
    }
    break;  // blocked or failed: a failure shows up as a hang-up on the next read
  }
  if (client.outHead == client.out.Length()) {
    client.out.Clear();
    client.outHead = 0;
  }
  const bool want = client.outHead < client.out.Length();
  if (want != client.wantWrite) {
    client.wantWrite = want;
    queue_->ModifyWatch(client.watch, platform::MessageQueue::kReadable | (want ? platform::MessageQueue::kWritable : 0u));
  }
}

void TEsServer::OnAcceptEcho() {
  for (;;) {
    const int fd = accept4(echoFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    auto peer = std::make_unique<EchoPeer>();
    peer->fd = fd;
    const int id = nextId_++;
    peer->watch = queue_->Watch(fd, platform::MessageQueue::kReadable, [this, id](uint32_t ev) { OnEchoIo(id, ev); });
    echoPeers_.emplace(id, std::move(peer));
  }
}

void TEsServer::OnEchoIo(int id, uint32_t) {
  auto it = echoPeers_.find(id);
  if (it == echoPeers_.end()) return;
  uint8_t buf[4096];
  const ssize_t n = recv(it->second->fd, buf, sizeof buf, MSG_DONTWAIT);
  if (n > 0) {
    // Frames go back as they came: the answer carries the request's id.
    if (send(it->second->fd, buf, static_cast<size_t>(n), MSG_NOSIGNAL) >= 0) return;
  } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
    return;
  }
  queue_->Unwatch(it->second->watch);
  close(it->second->fd);
  echoPeers_.erase(it);
}

void TEsServer::Log(const ReceivedPacket& packet) {
  if (options_.log == LogMode::None || !options_.logStream) return;
  std::ostringstream line;
  if (options_.log == LogMode::Json) {
    line << "{\"client\":" << packet.client << ",\"framing\":\"" << (packet.text ? "text" : "value")
         << "\",\"kind\":" << packet.kind << ",\"bytes\":" << packet.raw.size();
    if (packet.text) {
      const auto& r = packet.textRecord;
      line << ",\"record\":{\"RecordKind\":" << r.RecordKind << ",\"EvCode\":" << r.EvCode << ",\"Keys\":[" << r.Key1
           << ',' << r.Key2 << ',' << r.Key3 << ',' << r.Key4 << ',' << r.Key5 << "],\"Time1\":" << r.Time1
           << ",\"Time2\":" << r.Time2 << ",\"Text\":";
      JsonString(line, r.Text);
      line << '}';
    } else {
      line << ",\"value\":" << VariantToJson(packet.value);
    }
    line << '}';
  } else {
    line << "client " << packet.client << ' ' << (packet.text ? "text" : "value") << " kind " << packet.kind << ' ';
    if (packet.text)
      line << "EvCode=" << packet.textRecord.EvCode << " Key1=" << packet.textRecord.Key1 << " text=\""
           << packet.textRecord.Text << '"';
    else
      line << VariantToJson(packet.value);
  }
  line << '\n';
  std::fputs(line.str().c_str(), options_.logStream);
  std::fflush(options_.logStream);
}

}  // namespace esserver
