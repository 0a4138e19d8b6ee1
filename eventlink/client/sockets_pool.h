#pragma once
// The process's connections: one default connection that most exports address, further ones by
// server address (compared without regard to case), and the settings new connections start from.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "client/connection_config.h"
#include "client/process_settings.h"
#include "client/protocol_s50.h"
#include "client/tcp_client_socket.h"

namespace eventlink {

struct TESConnection {
  std::string ServerIP;
  int32_t ServerPort = 0;
  std::shared_ptr<TTCPClientSocket> Socket;
  std::shared_ptr<TTCPProtocolS50> Protocol;
};

class TTCPSocketsPool {
 public:
  // Fills the defaults (computer name, program path) and, when asked, reads the registry.
  explicit TTCPSocketsPool(bool readRegistry = true);
  ~TTCPSocketsPool();  // every connection and channel is closed and destroyed
  TTCPSocketsPool(const TTCPSocketsPool&) = delete;
  TTCPSocketsPool& operator=(const TTCPSocketsPool&) = delete;

  void Connect(std::string_view name, std::string_view userName);
  void ConnectTo(std::string_view name, std::string_view userName, std::string_view address, int32_t port);
  void Disconnect();
  void DisconnectFrom(std::string_view address);
  // 0 applied, 1 not applied.
  int32_t Reconfigure(const TSettingsList& settings);
  int32_t ReconfigureOther(const TSettingsList& settings);

  std::shared_ptr<TTCPClientSocket> DefaultConnection();
  std::shared_ptr<TTCPClientSocket> ConnectionFor(std::string_view address);
  std::shared_ptr<TTCPProtocolS50> DefaultProtocol();

  TConnectionConfig DefaultsCopy();
  size_t EntryCount();
  std::vector<std::string> EntryAddresses();  // in the entries' order

 private:
  TESConnection* FindEntry(std::string_view address);
  // Under the pool's lock: takes the entry out of the pool (and out of the default).
  std::unique_ptr<TESConnection> DetachEntry(TESConnection* entry);
  bool HoldsEntry(const TESConnection* entry) const;
  // Without the pool's lock: destroys a detached entry's connection and channel.
  static void RetireEntry(std::unique_ptr<TESConnection> entry);
  // Takes the pool's lock only around its look-ups, never while the connection's lock is held.
  int32_t Rebuild(TESConnection* entry, const TConnectionConfig& config);
  void SortEntries();

  std::recursive_mutex lock_;
  // Pointers so that the default stays valid while the list is reordered.
  std::vector<std::unique_ptr<TESConnection>> entries_;
  TESConnection* default_ = nullptr;
  TConnectionConfig defaults_;
};

// Ends a connection now and frees it when no handler of it is running, so that a callback may
// destroy its own connection.
void RetireConnection(std::shared_ptr<TTCPClientSocket> connection);
void RetireProtocol(std::shared_ptr<TTCPProtocolS50> protocol);

// The pool of the loaded library.
TTCPSocketsPool& ProcessPool();
// Replaces it with a fresh one that reads the registry again (tests); the old one is destroyed.
void RecreateProcessPool();

}  // namespace eventlink
