#pragma once
// One message queue per thread, in place of a window-message queue: posted calls, synchronous
// calls from other threads, one-shot and periodic timers, file-descriptor watches. The whole
// queue is one pollable descriptor (an epoll set), so a GUI event loop can serve it too.
//
// Everything a queue runs, it runs on its own thread, from ProcessMessages. Handlers may call
// ProcessMessages again (a message-pumping pause) and may add or remove timers and watches,
// their own included.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {

// Lets the owner of a synchronous call give up waiting for it, for instance a port that is
// closing while its event thread is handing events to the owner. Once cancelled, pending and
// later Send calls made with this token return false at once, and a call that has not started
// never runs. Reset() makes the token usable again.
class CancelToken {
 public:
  CancelToken();
  void Cancel();
  void Reset();
  bool IsCancelled() const;

 private:
  friend class MessageQueue;
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    bool cancelled = false;
  };
  std::shared_ptr<State> state_;
};

class MessageQueue {
 public:
  using Task = std::function<void()>;
  using TimerId = uint32_t;  // 0 is never a valid id
  using WatchId = uint32_t;  // 0 is never a valid id

  enum IoEvent : uint32_t {
    kReadable = 1u << 0,
    kWritable = 1u << 1,
    kHangup = 1u << 2,  // reported whether asked for or not
    kError = 1u << 3,   // reported whether asked for or not
  };
  using IoHandler = std::function<void(uint32_t events)>;

  // The queue of the calling thread, created on first use and shut down when the thread ends.
  static MessageQueue& ForCurrentThread();
  // The same queue as a shared reference, for other threads that must keep it alive.
  static std::shared_ptr<MessageQueue> SharedForCurrentThread();
  // The calling thread's queue, or nullptr if it has none yet.
  static MessageQueue* CurrentOrNull();

  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // --- from any thread ---
  // Queues a call; false when the queue is shut down (the call is dropped).
  bool Post(Task task);
  // Runs `task` on the queue's thread and waits until it has run. Called on the queue's own
  // thread it runs the task at once. Answers false, without running it, when the queue shuts
  // down or the token is cancelled before the task starts; a cancelled wait also returns at
  // once while the task runs.
  bool Send(Task task, const CancelToken* token = nullptr);
  // Refuses new work, abandons waiting Send calls and drops what is queued.
  void Shutdown();
  bool IsShutDown() const;
  // The thread that owns the queue (the one that created it).
  std::thread::id OwnerThread() const { return owner_; }
  bool IsOwnerThread() const { return std::this_thread::get_id() == owner_; }

  // --- timers (any thread; handlers run on the queue's thread) ---
  // A periodic timer fires every `intervalMs` (coalesced: a late queue runs it once, as window
  // timers do); a one-shot timer fires once and is then removed.
  TimerId SetTimer(uint32_t intervalMs, Task handler, bool periodic = true);
  // Changes the interval of a live timer and restarts its period; false for an unknown id.
  bool ResetTimer(TimerId id, uint32_t intervalMs);
  bool KillTimer(TimerId id);

  // --- descriptor watches (any thread; handlers run on the queue's thread) ---
  // `events` is a mask of kReadable | kWritable; the handler gets what happened.
  WatchId Watch(int fd, uint32_t events, IoHandler handler);
  bool ModifyWatch(WatchId id, uint32_t events);
  bool Unwatch(WatchId id);

  // --- on the queue's thread ---
  // Waits up to timeoutMs (0: no wait, negative: without limit) for work, then runs what is
  // ready: queued calls in order, expired timers, descriptor events. Answers how many ran.
  int ProcessMessages(int timeoutMs);
  // Runs ready work until `stop` says so or `timeoutMs` has passed; for message-pumping pauses.
  void PumpUntil(const std::function<bool()>& stop, int timeoutMs);
  // The descriptor that becomes readable when the queue has work.
  int Fd() const { return epollFd_; }

 private:
  struct TimerEntry;
  struct WatchEntry;
  struct SendCall;

  bool RunOneQueuedCall();
  void DispatchTimer(TimerId id);
  void DispatchWatch(WatchId id, uint32_t epollEvents);
  void DrainWakeFd();

  std::thread::id owner_;
  int epollFd_ = -1;
  int wakeFd_ = -1;
  std::atomic<bool> shutDown_{false};

  mutable std::mutex mutex_;
  std::deque<Task> queued_;
  std::unordered_map<TimerId, std::shared_ptr<TimerEntry>> timers_;
  std::unordered_map<WatchId, std::shared_ptr<WatchEntry>> watches_;
  uint32_t nextId_ = 1;
};

}  // namespace platform
