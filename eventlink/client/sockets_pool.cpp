#include "client/sockets_pool.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <utility>

namespace eventlink {

namespace {

// Case-insensitive order of the entries by address.
bool AddressLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) < std::tolower(y);
  });
}

}  // namespace

void RetireConnection(std::shared_ptr<TTCPClientSocket> connection) {
  if (!connection) return;
  platform::MessageQueue* queue = nullptr;
  {
    std::lock_guard lock(connection->Lock());
    connection->Shutdown();
    // Freed at once only on its own thread outside its handlers; otherwise the queue frees it
    // after the handler in progress has returned.
    if (connection->Queue().IsOwnerThread() && !connection->InDispatch()) return;
    queue = &connection->Queue();
  }
  auto keep = connection;
  // When the owner thread is gone the post fails and the object goes here: nothing can run its
  // handlers any more.
  queue->Post([keep]() mutable { keep.reset(); });
}

void RetireProtocol(std::shared_ptr<TTCPProtocolS50> protocol) {
  if (!protocol) return;
  protocol->Shutdown();
  // An answer callback may be what removes the channel: free it from the queue afterwards.
  auto& queue = protocol->Queue();
  auto keep = protocol;
  queue.Post([keep]() mutable { keep.reset(); });
}

TTCPSocketsPool::TTCPSocketsPool(bool readRegistry) {
  defaults_.ComputerName = LocalComputerName();
  defaults_.ExeName = RunningProgramPath();
  if (readRegistry) LoadRegistrySettings(defaults_, ProcessSettings());
}

TTCPSocketsPool::~TTCPSocketsPool() {
  std::vector<std::unique_ptr<TESConnection>> entries;
  {
    std::lock_guard lock(lock_);
    default_ = nullptr;
    entries.swap(entries_);
  }
  for (auto& entry : entries) RetireEntry(std::move(entry));
}

// The pool's lock is never held while a connection's lock is taken: a connection holds its own
// lock while it dispatches, and a callback may call an export that takes the pool's lock, so
// the opposite order on another thread could deadlock.
void TTCPSocketsPool::RetireEntry(std::unique_ptr<TESConnection> entry) {
  if (!entry) return;
  RetireProtocol(std::move(entry->Protocol));
  RetireConnection(std::move(entry->Socket));
}

TESConnection* TTCPSocketsPool::FindEntry(std::string_view address) {
  for (auto& entry : entries_)
    if (SameAddress(entry->ServerIP, address)) return entry.get();
  return nullptr;
}

void TTCPSocketsPool::SortEntries() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const auto& a, const auto& b) { return AddressLess(a->ServerIP, b->ServerIP); });
}

std::unique_ptr<TESConnection> TTCPSocketsPool::DetachEntry(TESConnection* entry) {
  if (!entry) return nullptr;
  if (default_ == entry) default_ = nullptr;
  auto it = std::find_if(entries_.begin(), entries_.end(), [entry](const auto& e) { return e.get() == entry; });
  if (it == entries_.end()) return nullptr;
  std::unique_ptr<TESConnection> removed = std::move(*it);
  entries_.erase(it);
  return removed;
}

bool TTCPSocketsPool::HoldsEntry(const TESConnection* entry) const {
  return std::any_of(entries_.begin(), entries_.end(), [entry](const auto& e) { return e.get() == entry; });
}

void TTCPSocketsPool::Connect(std::string_view name, std::string_view userName) {
  std::lock_guard lock(lock_);
  if (default_) return;
  if (TESConnection* existing = FindEntry(defaults_.ServerIP)) {
    default_ = existing;
    return;
  }
  defaults_.ConnectionName = std::string(name);
  defaults_.UserName = std::string(userName);
  auto entry = std::make_unique<TESConnection>();
  entry->ServerIP = defaults_.ServerIP;
  entry->ServerPort = defaults_.ServerPort;
  entry->Socket = TTCPClientSocket::Create(defaults_);
  default_ = entry.get();
  entries_.push_back(std::move(entry));
  SortEntries();
}

void TTCPSocketsPool::ConnectTo(std::string_view name, std::string_view userName, std::string_view address,
                                int32_t port) {
  std::lock_guard lock(lock_);
  if (FindEntry(address)) return;
  TConnectionConfig config = defaults_;
  config.ConnectionName = std::string(name);
  config.UserName = std::string(userName);
  config.ServerIP = std::string(address);
  config.ServerPort = port;
  auto entry = std::make_unique<TESConnection>();
  entry->ServerIP = config.ServerIP;
  entry->ServerPort = port;
  entry->Socket = TTCPClientSocket::Create(config);
  entries_.push_back(std::move(entry));
  SortEntries();
}

void TTCPSocketsPool::Disconnect() {
  std::unique_ptr<TESConnection> removed;
  {
    std::lock_guard lock(lock_);
    removed = DetachEntry(default_);
    default_ = nullptr;
  }
  RetireEntry(std::move(removed));
}

void TTCPSocketsPool::DisconnectFrom(std::string_view address) {
  std::unique_ptr<TESConnection> removed;
  {
    std::lock_guard lock(lock_);
    removed = DetachEntry(FindEntry(address));
  }
  RetireEntry(std::move(removed));
}

int32_t TTCPSocketsPool::Reconfigure(const TSettingsList& settings) {
  std::unique_ptr<TESConnection> removed;
  TESConnection* target = nullptr;
  TConnectionConfig config;
  {
    std::lock_guard lock(lock_);
    if (!default_) return 1;
    ApplySettingsList(settings, defaults_);
    TESConnection* found = FindEntry(defaults_.ServerIP);
    if (found && found != default_) {
      removed = DetachEntry(default_);
      default_ = found;
    }
    target = default_;
    config = defaults_;
  }
  RetireEntry(std::move(removed));
  return Rebuild(target, config);
}

int32_t TTCPSocketsPool::ReconfigureOther(const TSettingsList& settings) {
  TESConnection* target = nullptr;
  TConnectionConfig config;
  {
    std::lock_guard lock(lock_);
    config = defaults_;
    ApplySettingsList(settings, config);
    target = FindEntry(config.ServerIP);
    if (!target) return 1;
  }
  return Rebuild(target, config);
}

int32_t TTCPSocketsPool::Rebuild(TESConnection* entry, const TConnectionConfig& config) {
  std::shared_ptr<TTCPClientSocket> socket;
  {
    std::lock_guard lock(lock_);
    if (!HoldsEntry(entry) || !entry->Socket) return 1;
    socket = entry->Socket;
  }
  {
    std::lock_guard connectionLock(socket->Lock());
    socket->DisableConnectTimer();
    socket->CloseSocket();
    socket->DiscardSendBuffer();
    socket->ApplyConfig(config);
  }
  auto protocol = std::make_shared<TTCPProtocolS50>(config.ServerIP, config.ProtocolPort, config.ProtocolOperatorId,
                                                    config.ProtocolPassword, config.ProtocolBufferSize);
  std::shared_ptr<TTCPProtocolS50> oldProtocol;
  {
    std::lock_guard lock(lock_);
    // Removed by another thread meanwhile: its connection is retired already.
    if (!HoldsEntry(entry) || entry->Socket != socket) {
      oldProtocol = std::move(protocol);
    } else {
      oldProtocol = std::exchange(entry->Protocol, std::move(protocol));
      entry->ServerIP = config.ServerIP;
      entry->ServerPort = config.ServerPort;
      SortEntries();
    }
  }
  RetireProtocol(std::move(oldProtocol));
  {
    std::lock_guard connectionLock(socket->Lock());
    // Closing re-armed the timer through the disconnect report; either way one attempt follows.
    socket->DisableConnectTimer();
    socket->EnableConnectTimer();
  }
  return 0;
}

std::shared_ptr<TTCPClientSocket> TTCPSocketsPool::DefaultConnection() {
  std::lock_guard lock(lock_);
  return default_ ? default_->Socket : nullptr;
}

std::shared_ptr<TTCPClientSocket> TTCPSocketsPool::ConnectionFor(std::string_view address) {
  std::lock_guard lock(lock_);
  TESConnection* entry = FindEntry(address);
  return entry ? entry->Socket : nullptr;
}

std::shared_ptr<TTCPProtocolS50> TTCPSocketsPool::DefaultProtocol() {
  std::lock_guard lock(lock_);
  return default_ ? default_->Protocol : nullptr;
}

TConnectionConfig TTCPSocketsPool::DefaultsCopy() {
  std::lock_guard lock(lock_);
  return defaults_;
}

size_t TTCPSocketsPool::EntryCount() {
  std::lock_guard lock(lock_);
  return entries_.size();
}

std::vector<std::string> TTCPSocketsPool::EntryAddresses() {
  std::lock_guard lock(lock_);
  std::vector<std::string> out;
  for (const auto& entry : entries_) out.push_back(entry->ServerIP);
  return out;
}

namespace {
std::unique_ptr<TTCPSocketsPool>& PoolSlot() {
  static std::unique_ptr<TTCPSocketsPool> pool;
  return pool;
}
std::mutex g_poolSlotMutex;
// The slot's pool for the lock-free look-up every export makes; the mutex guards changes.
std::atomic<TTCPSocketsPool*> g_currentPool{nullptr};
}  // namespace

TTCPSocketsPool& ProcessPool() {
  if (TTCPSocketsPool* pool = g_currentPool.load(std::memory_order_acquire)) return *pool;
  std::lock_guard lock(g_poolSlotMutex);
  auto& slot = PoolSlot();
  if (!slot) slot = std::make_unique<TTCPSocketsPool>();
  g_currentPool.store(slot.get(), std::memory_order_release);
  return *slot;
}

void RecreateProcessPool() {
  std::unique_ptr<TTCPSocketsPool> old;
  {
    std::lock_guard lock(g_poolSlotMutex);
    g_currentPool.store(nullptr, std::memory_order_release);
    old = std::move(PoolSlot());
    ProcessSettings() = TProcessSettings{};
    ResetMaxSendFailsCount();
    PoolSlot() = std::make_unique<TTCPSocketsPool>();
    g_currentPool.store(PoolSlot().get(), std::memory_order_release);
  }
}

}  // namespace eventlink
