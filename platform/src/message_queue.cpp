#include "platform/message_queue.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace platform {
namespace {

enum : uint64_t { kKindWake = 0, kKindTimer = 1, kKindWatch = 2 };

uint64_t Tag(uint64_t kind, uint32_t id) { return (kind << 32) | id; }

uint32_t ToEpoll(uint32_t events) {
  uint32_t e = 0;
  if (events & MessageQueue::kReadable) e |= EPOLLIN | EPOLLRDHUP;
  if (events & MessageQueue::kWritable) e |= EPOLLOUT;
  return e;
}

uint32_t FromEpoll(uint32_t e) {
  uint32_t events = 0;
  if (e & EPOLLIN) events |= MessageQueue::kReadable;
  if (e & EPOLLOUT) events |= MessageQueue::kWritable;
  if (e & (EPOLLHUP | EPOLLRDHUP)) events |= MessageQueue::kHangup;
  if (e & EPOLLERR) events |= MessageQueue::kError;
  return events;
}

itimerspec Interval(uint32_t ms, bool periodic) {
  itimerspec spec{};
  // A zero interval would disarm the timer; window timers treat it as "as soon as possible".
  const uint32_t effective = ms == 0 ? 1 : ms;
  spec.it_value.tv_sec = effective / 1000;
  spec.it_value.tv_nsec = static_cast<long>(effective % 1000) * 1000000L;
  if (periodic) spec.it_interval = spec.it_value;
  return spec;
}

// Keeps the calling thread's queue; shuts it down when the thread ends, even if other threads
// still hold a reference.
struct ThreadQueueHolder {
  std::shared_ptr<MessageQueue> queue;
  ~ThreadQueueHolder() {
    if (queue) queue->Shutdown();
  }
};
thread_local ThreadQueueHolder t_holder;

}  // namespace

CancelToken::CancelToken() : state_(std::make_shared<State>()) {}

void CancelToken::Cancel() {
  std::lock_guard lock(state_->mutex);
  state_->cancelled = true;
  state_->cv.notify_all();
}

void CancelToken::Reset() {
  std::lock_guard lock(state_->mutex);
  state_->cancelled = false;
}

bool CancelToken::IsCancelled() const {
  std::lock_guard lock(state_->mutex);
  return state_->cancelled;
}

struct MessageQueue::TimerEntry {
  int fd = -1;
  Task handler;
  bool periodic = true;
};

struct MessageQueue::WatchEntry {
  int fd = -1;
  uint32_t events = 0;
  IoHandler handler;
};

// One synchronous call. The status lives apart from the call so that the waiter can watch it
// without owning the call; it is guarded by the mutex of the sync state.
struct MessageQueue::SendCall {
  enum Status { kPending, kRunning, kDone, kAbandoned };
  struct Shared {
    std::shared_ptr<CancelToken::State> sync;
    Status status = kPending;
  };
  std::shared_ptr<Shared> shared;
  Task task;

  // Dropped without having finished (the queue shut down): release the waiter.
  ~SendCall() {
    std::lock_guard lock(shared->sync->mutex);
    if (shared->status == kPending || shared->status == kRunning) {
      shared->status = kAbandoned;
      shared->sync->cv.notify_all();
    }
  }
};

MessageQueue& MessageQueue::ForCurrentThread() { return *SharedForCurrentThread(); }

std::shared_ptr<MessageQueue> MessageQueue::SharedForCurrentThread() {
  if (!t_holder.queue) t_holder.queue = std::make_shared<MessageQueue>();
  return t_holder.queue;
}

MessageQueue* MessageQueue::CurrentOrNull() { return t_holder.queue.get(); }

MessageQueue::MessageQueue() : owner_(std::this_thread::get_id()) {
  epollFd_ = epoll_create1(EPOLL_CLOEXEC);
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (epollFd_ < 0 || wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "message queue");
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = Tag(kKindWake, 0);
  epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev);
}

MessageQueue::~MessageQueue() {
  Shutdown();
  std::lock_guard lock(mutex_);
  for (auto& [id, t] : timers_) close(t->fd);
  timers_.clear();
  watches_.clear();
  close(wakeFd_);
  close(epollFd_);
}

bool MessageQueue::Post(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
    queued_.push_back(std::move(task));
  }
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
  return true;
}

bool MessageQueue::Send(Task task, const CancelToken* token) {
  if (token && token->IsCancelled()) return false;
  if (IsOwnerThread()) {
    if (shutDown_) return false;
    task();
    return true;
  }
  auto shared = std::make_shared<SendCall::Shared>();
  shared->sync = token ? token->state_ : std::make_shared<CancelToken::State>();
  auto call = std::make_shared<SendCall>();
  call->shared = shared;
  call->task = std::move(task);
  const bool posted = Post([call] {
    auto& st = *call->shared;
    {
      std::lock_guard lock(st.sync->mutex);
      if (st.status != SendCall::kPending) return;
      st.status = SendCall::kRunning;
    }
    call->task();
    std::lock_guard lock(st.sync->mutex);
    st.status = SendCall::kDone;
    st.sync->cv.notify_all();
  });
  call.reset();  // the queue owns the call now
  if (!posted) return false;

  auto& sync = *shared->sync;
  std::unique_lock lock(sync.mutex);
  sync.cv.wait(lock, [&] {
    return shared->status == SendCall::kDone || shared->status == SendCall::kAbandoned || sync.cancelled;
  });
  if (shared->status == SendCall::kDone) return true;
  // Cancelled: a call that has not started never will; one that is running finishes unobserved.
  if (shared->status == SendCall::kPending) shared->status = SendCall::kAbandoned;
  return false;
}

void MessageQueue::Shutdown() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    shutDown_ = true;
    dropped.swap(queued_);
  }
  // Destroying the dropped calls releases their waiters.
  dropped.clear();
}

bool MessageQueue::IsShutDown() const { return shutDown_; }

MessageQueue::TimerId MessageQueue::SetTimer(uint32_t intervalMs, Task handler, bool periodic) {
  const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) return 0;
  auto entry = std::make_shared<TimerEntry>();
  entry->fd = fd;
  entry->handler = std::move(handler);
  entry->periodic = periodic;
  std::lock_guard lock(mutex_);
  const TimerId id = nextId_++;
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = Tag(kKindTimer, id);
  const itimerspec spec = Interval(intervalMs, periodic);
  if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev) != 0 || timerfd_settime(fd, 0, &spec, nullptr) != 0) {
    close(fd);
    return 0;
  }
  timers_.emplace(id, std::move(entry));
  return id;
}

bool MessageQueue::ResetTimer(TimerId id, uint32_t intervalMs) {
  std::lock_guard lock(mutex_);
  auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  const itimerspec spec = Interval(intervalMs, it->second->periodic);
  uint64_t drained;
  [[maybe_unused]] ssize_t n = read(it->second->fd, &drained, sizeof drained);
  return timerfd_settime(it->second->fd, 0, &spec, nullptr) == 0;
}

bool MessageQueue::KillTimer(TimerId id) {
  std::shared_ptr<TimerEntry> entry;
  {
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    entry = std::move(it->second);
    timers_.erase(it);
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, entry->fd, nullptr);
    close(entry->fd);
    entry->fd = -1;
  }
  return true;
}

MessageQueue::WatchId MessageQueue::Watch(int fd, uint32_t events, IoHandler handler) {
  auto entry = std::make_shared<WatchEntry>();
  entry->fd = fd;
  entry->events = events;
  entry->handler = std::move(handler);
  std::lock_guard lock(mutex_);
  const WatchId id = nextId_++;
  epoll_event ev{};
  ev.events = ToEpoll(events);
  ev.data.u64 = Tag(kKindWatch, id);
  if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev) != 0) return 0;
  watches_.emplace(id, std::move(entry));
  return id;
}

bool MessageQueue::ModifyWatch(WatchId id, uint32_t events) {
  std::lock_guard lock(mutex_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return false;
  epoll_event ev{};
  ev.events = ToEpoll(events);
  ev.data.u64 = Tag(kKindWatch, id);
  if (epoll_ctl(epollFd_, EPOLL_CTL_MOD, it->second->fd, &ev) != 0) return false;
  it->second->events = events;
  return true;
}

bool MessageQueue::Unwatch(WatchId id) {
  std::lock_guard lock(mutex_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return false;
  epoll_ctl(epollFd_, EPOLL_CTL_DEL, it->second->fd, nullptr);
  watches_.erase(it);
  return true;
}

void MessageQueue::DrainWakeFd() {
  uint64_t value;
  [[maybe_unused]] ssize_t n = read(wakeFd_, &value, sizeof value);
}

bool MessageQueue::RunOneQueuedCall() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (queued_.empty()) return false;
    task = std::move(queued_.front());
    queued_.pop_front();
  }
  task();
  return true;
}

void MessageQueue::DispatchTimer(TimerId id) {
  std::shared_ptr<TimerEntry> entry;
  {
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    uint64_t expirations = 0;
    // Already consumed by a nested ProcessMessages: nothing to do.
    if (read(it->second->fd, &expirations, sizeof expirations) != sizeof expirations) return;
    entry = it->second;
    if (!entry->periodic) {
      timers_.erase(it);
      epoll_ctl(epollFd_, EPOLL_CTL_DEL, entry->fd, nullptr);
      close(entry->fd);
      entry->fd = -1;
    }
  }
  entry->handler();
}

void MessageQueue::DispatchWatch(WatchId id, uint32_t epollEvents) {
  std::shared_ptr<WatchEntry> entry;
  {
    std::lock_guard lock(mutex_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    entry = it->second;
  }
  const uint32_t happened = FromEpoll(epollEvents) & (entry->events | kHangup | kError);
  if (happened) entry->handler(happened);
}

int MessageQueue::ProcessMessages(int timeoutMs) {
  bool haveQueued;
  {
    std::lock_guard lock(mutex_);
    haveQueued = !queued_.empty();
  }
  epoll_event events[64];
  int n;
  do {
    n = epoll_wait(epollFd_, events, 64, haveQueued ? 0 : timeoutMs);
  } while (n < 0 && errno == EINTR);
  if (n < 0) n = 0;

  int handled = 0;
  // Queued calls first, in order; only those present now, so a call that re-posts itself
  // cannot starve timers and descriptors.
  DrainWakeFd();
  size_t budget;
  {
    std::lock_guard lock(mutex_);
    budget = queued_.size();
  }
  while (budget-- > 0 && RunOneQueuedCall()) ++handled;
  {
    std::lock_guard lock(mutex_);
    if (!queued_.empty()) {
      const uint64_t one = 1;
      [[maybe_unused]] ssize_t w = write(wakeFd_, &one, sizeof one);
    }
  }

  for (int i = 0; i < n; ++i) {
    const uint64_t tag = events[i].data.u64;
    const auto kind = tag >> 32;
    const auto id = static_cast<uint32_t>(tag & 0xFFFFFFFFu);
    if (kind == kKindTimer) {
      DispatchTimer(id);
      ++handled;
    } else if (kind == kKindWatch) {
      DispatchWatch(id, events[i].events);
      ++handled;
    }
  }
  return handled;
}

void MessageQueue::PumpUntil(const std::function<bool()>& stop, int timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  while (!stop()) {
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
      if (elapsed >= timeoutMs) return;
      wait = static_cast<int>(timeoutMs - elapsed);
    }
    ProcessMessages(wait);
  }
}

}  // namespace platform
