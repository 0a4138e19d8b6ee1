// A peer that stops reading: the blocking resend mode (the sending thread waits with short
// sleeps) and the close after too many failed sends, followed by the reconnect. The peer runs on
// its own thread so that it can resume reading while the client's thread is busy waiting.
#include <poll.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "client_test_support.h"
#include "platform/datetime.h"

using namespace clienttest;

namespace {

const double kJanuary = platform::EncodeDateTime(2024, 1, 15, 12, 0, 0, 0);

// Small, fixed receive buffers keep the amount the kernel can hold for a stalled peer low.
constexpr int kPeerReceiveBuffer = 65536;

class ThreadedPeer {
 public:
  ThreadedPeer() {
    listenFd_ = ListenOnLoopback(port_, kPeerReceiveBuffer);
    thread_ = std::thread([this] { Run(); });
  }
  ~ThreadedPeer() {
    stop_ = true;
    thread_.join();
    for (auto& c : connections_)
      if (c.fd >= 0) close(c.fd);
    close(listenFd_);
  }

  int Port() const { return port_; }
  // Off: nothing is read, so the client's socket fills up. Old connections are read too, to
  // their end, so that bytes the client handed to the kernel before closing are not lost.
  void SetReading(bool on) { reading_ = on; }
  // Turns reading back on once the current connection's queue has stopped growing (the client
  // can push no more) and holds something.
  void ResumeWhenStalled() { resumeWhenStalled_ = true; }
  bool Resumed() const { return resumed_; }

  size_t Connections() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
  }
  std::string Received(size_t i) const {
    std::lock_guard lock(mutex_);
    return i < connections_.size() ? connections_[i].bytes : std::string();
  }
  bool Ended(size_t i) const {
    std::lock_guard lock(mutex_);
    return i < connections_.size() && connections_[i].fd < 0;
  }

 private:
  struct Connection {
    int fd;
    std::string bytes;
  };

  void Run() {
    int lastQueued = -1;
    auto stableSince = std::chrono::steady_clock::now();
    while (!stop_) {
      std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
      {
        std::lock_guard lock(mutex_);
        if (reading_)
          for (auto& c : connections_)
            if (c.fd >= 0) fds.push_back({c.fd, POLLIN, 0});
      }
      poll(fds.data(), fds.size(), 2);
      std::lock_guard lock(mutex_);
      if (fds[0].revents & POLLIN) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) connections_.push_back({fd, {}});
      }
      if (resumeWhenStalled_ && !reading_ && !connections_.empty() && connections_.back().fd >= 0) {
        int queued = 0;
        ioctl(connections_.back().fd, FIONREAD, &queued);
        const auto now = std::chrono::steady_clock::now();
        if (queued != lastQueued) {
          lastQueued = queued;
          stableSince = now;
        } else if (queued > 0 && now - stableSince >= std::chrono::milliseconds(30)) {
          resumeWhenStalled_ = false;
          resumed_ = true;
          reading_ = true;
        }
      }
      if (!reading_) continue;
      for (auto& c : connections_) ReadAvailable(c);
    }
  }

  static void ReadAvailable(Connection& c) {
    char buf[65536];
    while (c.fd >= 0) {
      const ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
      if (n > 0) {
        c.bytes.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        close(c.fd);
        c.fd = -1;
      }
      return;
    }
  }

  int listenFd_ = -1, port_ = 0;
  mutable std::mutex mutex_;
  std::vector<Connection> connections_;
  std::atomic<bool> reading_{true}, resumeWhenStalled_{false}, resumed_{false}, stop_{false};
  std::thread thread_;
};

// The sequence numbers (Key1) of the whole event and data packets in a stream, in order.
std::vector<int32_t> SequenceOf(const std::string& stream, size_t* errors = nullptr) {
  std::vector<int32_t> out;
  for (auto& p : SplitPackets(stream, errors)) {
    if (p.kind == 5 && p.text) out.push_back(p.record.Key1);
    if (p.kind == 10) {
      auto data = eventlink::ParseDataPacket(p.value);
      if (data) out.push_back(data->Key1);
    }
  }
  return out;
}

std::vector<int32_t> Kinds(const std::string& stream) {
  std::vector<int32_t> out;
  for (auto& p : SplitPackets(stream)) out.push_back(p.kind);
  return out;
}

int32_t Pending() { return eventlink::ProcessPool().DefaultConnection()->PendingLength(); }

int g_stateCalls = 0;
void CountState() { ++g_stateCalls; }

class SendFailTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DisconnectFromES_Ex();
    eventlink::ProcessSettings() = eventlink::TProcessSettings{};
    eventlink::ResetMaxSendFailsCount();
  }
  // The two process-wide settings come from the registry, as in a real installation.
  void Start(int32_t asyncResend, int32_t maxSendFails) {
    FreshRegistry();
    WriteEventServerValue("ServerPort", peer_.Port());
    WriteEventServerValue("ClientAsyncResend", asyncResend);
    WriteEventServerValue("MaxSendFailsCount", maxSendFails);
    eventlink::RecreateProcessPool();
    ASSERT_EQ(eventlink::ProcessSettings().ClientAsyncResend, asyncResend);
    ASSERT_EQ(eventlink::MaxSendFailsCount(), maxSendFails);
    g_stateCalls = 0;
    ConnectToES_Ex("stalled");
    ESStateSubscribe(CountState, true);
    ASSERT_TRUE(Pump([&] { return SplitPackets(peer_.Received(0)).size() >= 5; }));
  }
  ThreadedPeer peer_;
};

TEST_F(SendFailTest, BlockingResendWaitsForThePeerAndDeliversEverythingOnceInOrder) {
  Start(0, 100000);
  peer_.SetReading(false);
  peer_.ResumeWhenStalled();
  // Far more than the kernel holds for a stalled peer: without the wait the buffer would grow.
  constexpr int kBound = 100000;
  const int32_t kMaxKept = static_cast<int32_t>(eventlink::kGatherBytes) + 512;
  int seq = 0;
  int32_t mostKept = 0;
  while (!peer_.Resumed() && seq < kBound) {
    if (seq % 500 == 499)
      SendDataToEs_Ex(7, seq++, 2, 3, 4, kJanuary, kJanuary, 1.5, 2.5);
    else
      ASSERT_EQ(SendEventToES_Ex(1, seq++, 0, 5, 0, 0, "blocked", kJanuary, kJanuary), 0);
    mostKept = std::max(mostKept, Pending());
  }
  ASSERT_TRUE(peer_.Resumed()) << "the client never stalled";
  ASSERT_LT(seq, kBound);
  // While the socket took nothing the calls waited: the buffer held at most one gathered chunk.
  EXPECT_LE(mostKept, kMaxKept);
  for (int i = 0; i < 20; ++i) SendEventToES_Ex(1, seq++, 0, 5, 0, 0, "after", kJanuary, kJanuary);
  SendDataToEs_Ex(7, seq++, 2, 3, 4, kJanuary, kJanuary, 1.5, 2.5);

  ASSERT_TRUE(Pump([&] { return Pending() == 0 && SequenceOf(peer_.Received(0)).size() >= size_t(seq); }, 10000));
  EXPECT_EQ(peer_.Connections(), 1u) << "a wait that ends in time must not close the connection";
  EXPECT_TRUE(ESClientConnected());
  size_t errors = 0;
  const auto got = SequenceOf(peer_.Received(0), &errors);
  EXPECT_EQ(errors, 0u);
  ASSERT_EQ(got.size(), static_cast<size_t>(seq));
  for (int i = 0; i < seq; ++i) ASSERT_EQ(got[i], i);
}

// After the allowed number of failed sends the connection is closed; the reconnect announces
// again and then delivers what was accepted, a packet cut off by the close sent again whole.
struct CloseCase {
  const char* name;
  int32_t asyncResend;
  int32_t maxSendFails;
};

class SendFailCloseTest : public SendFailTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(SendFailCloseTest, TooManyFailedSendsCloseAndTheReconnectDeliversEverythingOnce) {
  Start(GetParam().asyncResend, GetParam().maxSendFails);
  peer_.SetReading(false);
  int seq = 0;
  while (ESClientConnected() && seq < 100000)
    ASSERT_EQ(SendEventToES_Ex(1, seq++, 0, 5, 0, 0, "until closed", kJanuary, kJanuary), 0);
  // With the waiting mode the close comes from inside the sending call; otherwise from a
  // resend after the socket said it would block.
  if (ESClientConnected()) {
    ASSERT_TRUE(Pump([] { return !ESClientConnected(); }, 3000));
  }
  ASSERT_FALSE(ESClientConnected()) << "the connection stayed open after " << seq << " events";
  EXPECT_GT(Pending(), 0);
  // Accepted while down: queued behind the rest.
  for (int i = 0; i < 10; ++i) ASSERT_EQ(SendEventToES_Ex(1, seq++, 0, 5, 0, 0, "while down", kJanuary, kJanuary), 0);

  peer_.SetReading(true);
  // Every stream but the last must be read to its end: the client may have left bytes in it.
  auto allEnded = [&] {
    for (size_t i = 0; i + 1 < peer_.Connections(); ++i)
      if (!peer_.Ended(i)) return false;
    return true;
  };
  auto delivered = [&] {
    std::vector<int32_t> all;
    for (size_t i = 0; i < peer_.Connections(); ++i) {
      const auto part = SequenceOf(peer_.Received(i));
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  };
  ASSERT_TRUE(Pump([&] {
    return peer_.Connections() >= 2 && Pending() == 0 && ESClientConnected() && allEnded() &&
           delivered().size() >= size_t(seq);
  }, 10000));
  EXPECT_GE(g_stateCalls, 2);  // the drop and the new connection

  const std::string second = peer_.Received(1);
  auto kinds = Kinds(second);
  ASSERT_GE(kinds.size(), 5u);
  EXPECT_EQ(std::vector<int32_t>(kinds.begin(), kinds.begin() + 5), (std::vector<int32_t>{1, 16, 19, 4, 9}));
  for (size_t i = 1; i < peer_.Connections(); ++i) {
    size_t errors = 0;
    SequenceOf(peer_.Received(i), &errors);
    EXPECT_EQ(errors, 0u) << "stream " << i << " must start and stay on packet boundaries";
  }
  const auto got = delivered();
  ASSERT_EQ(got.size(), static_cast<size_t>(seq));
  for (int i = 0; i < seq; ++i) ASSERT_EQ(got[i], i);
}

INSTANTIATE_TEST_SUITE_P(Modes, SendFailCloseTest,
                         ::testing::Values(CloseCase{"WaitingMode", 0, 5}, CloseCase{"TimerModeNoFailAllowed", 1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
