#pragma once
// Shared helpers of the port tests: pseudo-terminals, a private registry folder, a fake device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pty.h>
#include <sys/ioctl.h>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "comm/comm.h"
#include "platform/message_queue.h"

namespace comm_test {

// A pty pair: the port opens the slave by path, the test plays the far end on the master.
struct Pty {
  int master = -1;
  std::string slavePath;
  Pty() {
    int slave = -1;
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) ADD_FAILURE() << "openpty failed";
    slavePath = name;
    // The master keeps the slave side alive; the test's own slave fd is not needed.
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string Receive() const {
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(master, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    return out;
  }
  termios Attributes() const {
    termios t{};
    tcgetattr(master, &t);  // a pty master reports its slave's settings
    return t;
  }
};

// Points TESSARO_REGISTRY_DIR at a fresh folder for one test.
class ScopedRegistryDir {
 public:
  ScopedRegistryDir() {
    const char* base = std::getenv("TESSARO_TEST_SCRATCH");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/comm-reg-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    dir_ = mkdtemp(buf.data());
    const char* old = std::getenv("TESSARO_REGISTRY_DIR");
    if (old) old_ = old, hadOld_ = true;
    setenv("TESSARO_REGISTRY_DIR", dir_.c_str(), 1);
  }
  ~ScopedRegistryDir() {
    if (hadOld_)
      setenv("TESSARO_REGISTRY_DIR", old_.c_str(), 1);
    else
      unsetenv("TESSARO_REGISTRY_DIR");
    std::string cmd = "rm -rf '" + dir_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }

 private:
  std::string dir_, old_;
  bool hadOld_ = false;
};

// Pumps the calling thread's queue until `done` or about two seconds have passed.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
  platform::MessageQueue::ForCurrentThread().PumpUntil(done, timeoutMs);
  return done();
}

// A device with modem lines and counters the test controls; data flows through a pipe.
struct FakeLine {
  std::mutex mutex;
  int lines = TIOCM_DTR | TIOCM_RTS;
  comm::LineCounters counters;
  bool hasCounters = true;
  bool hasModemLines = true;
  int setLineError = 0;
  bool isCharDevice = true;
  std::set<std::string> openable;  // empty: every path opens
  std::vector<std::string> opened;
  comm::TtyAttributes attributes;
  std::string written;
  int pipeFds[2] = {-1, -1};

  FakeLine() {
    if (pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) ADD_FAILURE() << "pipe2";
    cfmakeraw(&attributes.tio);
    attributes.baudRate = 9600;
  }
  ~FakeLine() {
    for (int fd : pipeFds)
      if (fd >= 0) close(fd);
  }
  void Feed(const std::string& bytes) {
    ASSERT_EQ(write(pipeFds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Flips a modem line and counts the transition, as a serial driver does.
  void Toggle(int line) {
    std::lock_guard lock(mutex);
    lines ^= line;
    if (line == TIOCM_CTS) ++counters.cts;
    if (line == TIOCM_DSR) ++counters.dsr;
    if (line == TIOCM_RNG) ++counters.rng;
    if (line == TIOCM_CD) ++counters.dcd;
  }
  void Unplug() {
    close(pipeFds[1]);
    pipeFds[1] = -1;
  }
};

class FakeSerialDevice final : public comm::SerialDevice {
 public:
  explicit FakeSerialDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
  int Open(const std::string& path) override {
    std::lock_guard lock(line_->mutex);
    if (!line_->openable.empty() && !line_->openable.count(path)) return ENOENT;
    line_->opened.push_back(path);
    open_ = true;
    return 0;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool IsCharacterDevice() const override { return line_->isCharDevice; }
  int PollFd() const override { return line_->pipeFds[0]; }
  ssize_t Read(void* buffer, size_t count) override { return read(line_->pipeFds[0], buffer, count); }
  ssize_t Write(const void* buffer, size_t count) override {
    std::lock_guard lock(line_->mutex);
    line_->written.append(static_cast<const char*>(buffer), count);
    return static_cast<ssize_t>(count);
  }
  int GetAttributes(comm::TtyAttributes& out) override {
    std::lock_guard lock(line_->mutex);
    out = line_->attributes;
    return 0;
  }
  int SetAttributes(const comm::TtyAttributes& in) override {
    std::lock_guard lock(line_->mutex);
    line_->attributes = in;
    return 0;
  }
  int GetModemLines(int& lines) override {
    std::lock_guard lock(line_->mutex);
    if (!line_->hasModemLines) return ENOTTY;
    lines = line_->lines;
    return 0;
  }
  int SetModemLine(int bit, bool on) override {
    std::lock_guard lock(line_->mutex);
    if (line_->setLineError) return line_->setLineError;
    line_->lines = on ? (line_->lines | bit) : (line_->lines & ~bit);
    return 0;
  }
  int BytesWaiting(int& count) override { return ioctl(line_->pipeFds[0], FIONREAD, &count) == 0 ? 0 : errno; }
  int GetLineCounters(comm::LineCounters& out) override {
    std::lock_guard lock(line_->mutex);
    if (!line_->hasCounters) return EINVAL;
    out = line_->counters;
    return 0;
  }

 private:
  std::shared_ptr<FakeLine> line_;
  bool open_ = false;
};

inline comm::SerialDeviceFactory FakeFactory(std::shared_ptr<FakeLine> line) {
  return [line] { return std::make_unique<FakeSerialDevice>(line); };
}

}  // namespace comm_test
