#pragma once
// One instance per name and user: the first process to take the name holds an flock on a lock
// file (freed by the kernel when the process dies) and listens on a local socket; a later
// process learns that another instance runs and can ask the first one, through that socket, to
// come to the front.
#include <functional>
#include <string>

#include "platform/message_queue.h"

namespace platform {

class SingleInstance {
 public:
  using ActivateHandler = std::function<void(const std::string& request)>;

  // Tries to take `name` (any text, e.g. a window caption). The files live in $XDG_RUNTIME_DIR,
  // else in /tmp/tessaro-<uid> (created private to the user).
  explicit SingleInstance(const std::string& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this object holds the name. A second object for the same name, in this or any
  // other process of the user, is not first while this one lives.
  bool IsFirst() const { return listenFd_ >= 0; }
  bool AnotherInstanceRunning() const { return !IsFirst(); }

  // First instance: requests of later instances are handed to `handler` on the calling
  // thread, through its MessageQueue.
  void OnActivate(ActivateHandler handler);

  // Later instance: asks the first one to come to the front. True when the first instance has
  // taken the request within `timeoutMs`.
  bool RequestActivation(const std::string& request = "activate", int timeoutMs = 2000) const;

  const std::string& LockPath() const { return lockPath_; }

 private:
  void AcceptPending();

  std::string lockPath_;
  std::string socketName_;  // a file path, or an abstract name starting with '\0'
  int lockFd_ = -1;
  int listenFd_ = -1;
  MessageQueue* queue_ = nullptr;
  MessageQueue::WatchId watch_ = 0;
  ActivateHandler handler_;
};

}  // namespace platform
