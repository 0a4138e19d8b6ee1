#include <cerrno>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>

#include "comm/comm.h"
#include "comm/port_name.h"

namespace comm {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Milliseconds left until `deadline`; -1 (no limit) for a negative timeout, which the original
// passed on as INFINITE.
int MsLeft(int32_t timeoutMs, SteadyClock::time_point deadline) {
  if (timeoutMs < 0) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the device to become ready; false on timeout. Hang-ups count as ready, so that
// the next read or write reports the error.
bool WaitReady(int fd, short events, int timeoutMs) {
  for (;;) {
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, timeoutMs);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;
  }
}

}  // namespace

TCustomComm::TCustomComm(TCommProfile profile, SerialDeviceFactory deviceFactory)
    : profile_(profile), deviceFactory_(std::move(deviceFactory)) {
  if (!deviceFactory_) deviceFactory_ = [] { return MakeTtyDevice(); };
}

TCustomComm::~TCustomComm() { Close(); }

std::unique_ptr<SerialDevice> TCustomComm::OpenDevice(const std::string& name, int& error) {
  auto device = deviceFactory_();
  error = device->Open(ResolvePortName(name));
  if (error != 0) return nullptr;
  return device;
}

void TCustomComm::CreateHandle() {
  int error = 0;
  if (profile_ == TCommProfile::DeviceModule) {
    auto device = OpenDevice(deviceName_, error);
    if (!device) throw ECommError(sErrorAccessingDevice, error);
    if (!device->IsCharacterDevice()) {
      device->Close();
      throw ECommError(sInvalidDeviceHandle, -1);
    }
    device_ = std::move(device);
    return;
  }
  // GNSS profile: the first name that opens wins and becomes DeviceName.
  const std::string before = deviceName_;
  error = ENOENT;
  for (const std::string& name : deviceNames_) {
    deviceName_ = name;
    if (auto device = OpenDevice(name, error)) {
      device_ = std::move(device);
      return;
    }
  }
  // None opened: DeviceName keeps the name the settings hold, not the last one tried.
  deviceName_ = before;
  throw ECommError(sErrorAccessingDevice, error);
}

void TCustomComm::Open() {
  if (IsOpen()) throw ECommError(sPortAlreadyOpen, -1);
  CreateHandle();
  freshlyOpened_ = true;
  try {
    // A tty has no device timeouts: Read and Write keep ReadTimeout and WriteTimeout
    // themselves, so nothing can fail here ("Error updating CommTimeouts" does not occur).
    UpdateDataControlBlock();
    // Linux tty queues have a fixed size; the sizes only set the XON/XOFF limits of the image.
    if (readBufSize_ < 0 || writeBufSize_ < 0) throw ECommError(sErrorInitBuffers, EINVAL);
    // The thread starts once the tty is raw, so that no event comes from a half-set line.
    StartEventThread();
  } catch (...) {
    // A half-opened port is closed again, so that the caller's next Open can succeed.
    Close();
    throw;
  }
}

void TCustomComm::StartEventThread() {
  rx_ = std::make_shared<RxTracker>();
  guard_ = std::make_shared<HandOverGuard>();
  guard_->port = this;
  cancel_ = platform::CancelToken();
  auto queue = platform::MessageQueue::SharedForCurrentThread();
  auto guard = guard_;
  auto token = cancel_;
  auto handOver = [queue, guard, token](uint32_t mask, uint32_t errors) {
    if (queue->IsShutDown()) return HandOverResult::kOwnerGone;
    const bool ran = queue->Send(
        [guard, mask, errors] {
          if (guard->port) guard->port->DispatchEvents(mask, errors);
        },
        &token);
    if (ran) return HandOverResult::kDelivered;
    if (token.IsCancelled() || queue->IsShutDown()) return HandOverResult::kOwnerGone;
    return HandOverResult::kFailed;
  };
  eventThread_ = std::make_unique<TCommEventThread>(device_, EventMaskOf(monitorEvents_), rx_, handOver);
}

void TCustomComm::Close() {
  if (!IsOpen()) return;
  bool threadEnded = true;
  if (eventThread_) {
    // Cancel first: a hand-over waiting for this (the owner's) thread is abandoned at once.
    cancel_.Cancel();
    eventThread_->Stop();
    threadEnded = eventThread_->WaitFor(CloseWaitMs());
    eventThread_.reset();  // joins, or leaves a stuck thread to end by itself
  }
  if (guard_) guard_->port = nullptr;
  // A thread that did not end still holds the device; it is closed when that thread lets go.
  if (threadEnded) device_->Close();
  device_.reset();
}

void TCustomComm::DispatchEvents(uint32_t mask, uint32_t errors) {
  auto guard = guard_;
  auto live = [&] { return guard && guard->port == this; };
  // Once per batch, whatever was reported: the queue count (the error word was gathered and
  // cleared by the event thread for this batch).
  int count = 0;
  if (device_->BytesWaiting(count) != 0 || count < 0) count = 0;
  if (mask & EV_RXCHAR) rx_->Reported(count);

  auto notify = [&](uint32_t bit, const TNotifyEvent& handler) {
    if ((mask & bit) && handler && live()) handler(this);
  };
  notify(EV_BREAK, OnBreak);
  notify(EV_CTS, OnCts);
  notify(EV_DSR, OnDsr);
  if ((mask & EV_ERR) && OnError && live()) OnError(this, static_cast<int32_t>(errors));
  notify(EV_RING, OnRing);
  notify(EV_RLSD, OnRlsd);
  if ((mask & EV_RXCHAR) && count > 0 && OnRxChar && live()) OnRxChar(this, count);
  notify(EV_RXFLAG, OnRxFlag);
  notify(EV_TXEMPTY, OnTxEmpty);
}

int32_t TCustomComm::Read(void* buffer, int32_t count) {
  std::lock_guard lock(ioLock_);
  if (!device_) throw ECommError(sReadError, EBADF);
  if (count <= 0) return 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(readTimeout_ < 0 ? 0 : readTimeout_);
  int32_t got = 0;
  for (;;) {
    ssize_t n = device_->Read(bytes + got, static_cast<size_t>(count - got));
    if (n > 0) {
      got += static_cast<int32_t>(n);
      if (rx_) rx_->Consumed(static_cast<int>(n));
      if (got == count) return got;
      continue;
    }
    // End of file on a tty means it was hung up under us (an unplugged adapter).
    if (n == 0) throw ECommError(sReadError, EIO);
    if (errno == EINTR) continue;
    if (errno != EAGAIN) throw ECommError(sReadError, errno);
    const int left = MsLeft(readTimeout_, deadline);
    if (left == 0 || !WaitReady(device_->PollFd(), POLLIN, left)) return -1;
  }
}

int32_t TCustomComm::Write(const void* buffer, int32_t count) {
  std::lock_guard lock(ioLock_);
  if (!device_) throw ECommError(sWriteError, EBADF);
  if (count <= 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(writeTimeout_ < 0 ? 0 : writeTimeout_);
  int32_t done = 0;
  for (;;) {
    ssize_t n = device_->Write(bytes + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int32_t>(n);
      if (done == count) return done;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) throw ECommError(sWriteError, errno);
    const int left = MsLeft(writeTimeout_, deadline);
    if (left == 0 || !WaitReady(device_->PollFd(), POLLOUT, left)) return -1;
  }
}

void TCustomComm::SetDTR(bool on) {
  if (!IsOpen()) throw ECommError(sPortNotOpen, -1);
  const int error = device_->SetModemLine(TIOCM_DTR, on);
  // A pty has no modem lines; there is nothing to drive, which is not a failure.
  if (error != 0 && !IsNoModemLinesError(error)) throw ECommError(sEscapeFailure, error);
}

void TCustomComm::SetRTS(bool on) {
  if (!IsOpen()) throw ECommError(sPortNotOpen, -1);
  if (on && OnSetRTS) OnSetRTS(this);
  if (!on && OnClearRTS) OnClearRTS(this);
  const int error = device_->SetModemLine(TIOCM_RTS, on);
  if (error != 0 && !IsNoModemLinesError(error)) throw ECommError(sEscapeFailure, error);
  rtsState_ = on;
}

bool TCustomComm::GetModemSignal(int kind) {
  static constexpr int kLines[] = {0, TIOCM_CTS, TIOCM_DSR, TIOCM_RNG, TIOCM_CD};
  if (kind < 1 || kind > 4 || !IsOpen()) return false;
  int lines = 0;
  if (device_->GetModemLines(lines) != 0) return false;
  return (lines & kLines[kind]) != 0;
}

// --- settings ---

int TCustomComm::GetCommState() {
  if (!device_) return EBADF;
  TtyAttributes tty;
  if (int error = device_->GetAttributes(tty)) return error;
  if (freshlyOpened_) {
    // A fresh Linux tty carries terminal defaults (IXON): a data port starts without
    // software flow control, as a serial driver reports it, or XON/XOFF bytes would vanish.
    tty.tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    freshlyOpened_ = false;
  }
  int lines = -1;
  if (device_->GetModemLines(lines) != 0) lines = -1;
  dcb_ = MergeTtyIntoDcb(dcb_, tty, lines);
  return 0;
}

int TCustomComm::SetCommState() {
  if (!device_) return EBADF;
  TtyAttributes tty;
  if (int error = device_->GetAttributes(tty)) return error;
  if (int error = DcbToTty(dcb_, tty)) return error;
  if (int error = device_->SetAttributes(tty)) return error;
  // The line-control fields drive DTR and RTS as the original driver did; handshake is the
  // driver's business (RTS) or has no Linux equivalent (DTR). Devices without lines ignore it.
  const uint32_t dtr = DtrControl(dcb_.Flags), rts = RtsControl(dcb_.Flags);
  if (dtr != kLineHandshake) device_->SetModemLine(TIOCM_DTR, dtr == kLineEnable);
  if (rts != kLineHandshake) device_->SetModemLine(TIOCM_RTS, rts == kLineEnable);
  return 0;
}

void TCustomComm::UpdateDataControlBlock() {
  if (!IsOpen()) return;
  GetCommState();
  dcb_.BaudRate = baudRate_;
  dcb_.Parity = parity_;
  dcb_.StopBits = stopbits_;
  dcb_.ByteSize = databits_;
  dcb_.XonChar = eventChars_.XonChar();
  dcb_.XoffChar = eventChars_.XoffChar();
  dcb_.ErrorChar = eventChars_.ErrorChar();
  dcb_.EofChar = eventChars_.EofChar();
  dcb_.EvtChar = eventChars_.EvtChar();
  dcb_.XonLim = static_cast<uint16_t>(readBufSize_ / 4);
  dcb_.XoffLim = static_cast<uint16_t>(readBufSize_ / 4);
  dcb_.Flags = ApplyFlowControl(dcb_.Flags, flowControl_);
  dcb_.Flags = ApplyOptions(dcb_.Flags, options_);
  if (int error = SetCommState()) throw ECommError(sErrorUpdatingDcb, error);
}

void TCustomComm::UpdateSingleSetting(const std::function<void(TDcb&)>& put, bool baudRatePause) {
  // Both calls fail quietly on a closed port; the value then reaches the tty at Open.
  GetCommState();
  put(dcb_);
  dcb_.Flags = ApplyFlowControl(dcb_.Flags, flowControl_);
  if (baudRatePause) std::this_thread::sleep_for(std::chrono::milliseconds(baudRatePauseMs_));
  SetCommState();
}

void TCustomComm::SetDeviceName(const std::string& value) {
  if (value == deviceName_) return;
  if (IsOpen()) throw ECommError(sPortAlreadyOpen, -1);
  if (profile_ == TCommProfile::DeviceModule) {
    deviceName_ = value;
    return;
  }
  deviceNames_ = SplitPortNameList(value);
  if (!deviceNames_.empty()) deviceName_ = deviceNames_.front();
}

void TCustomComm::SetReadTimeout(int32_t value) { readTimeout_ = value; }
void TCustomComm::SetWriteTimeout(int32_t value) { writeTimeout_ = value; }

void TCustomComm::SetReadBufSize(int32_t value) {
  if (value == readBufSize_) return;
  if (IsOpen()) throw ECommError(sPortAlreadyOpen, -1);
  readBufSize_ = value;
}

void TCustomComm::SetWriteBufSize(int32_t value) {
  if (value == writeBufSize_) return;
  if (IsOpen()) throw ECommError(sPortAlreadyOpen, -1);
  writeBufSize_ = value;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes value) {
  if (value == monitorEvents_) return;
  if (IsOpen()) throw ECommError(sPortAlreadyOpen, -1);
  monitorEvents_ = value;
}

void TCustomComm::SetBaudRate(uint32_t value) {
  if (value == baudRate_) return;
  baudRate_ = value;
  UpdateSingleSetting([value](TDcb& d) { d.BaudRate = value; }, true);
}

void TCustomComm::SetParity(uint8_t value) {
  if (value == parity_) return;
  parity_ = value;
  UpdateSingleSetting([value](TDcb& d) { d.Parity = value; }, false);
}

void TCustomComm::SetStopbits(uint8_t value) {
  if (value == stopbits_) return;
  stopbits_ = value;
  UpdateSingleSetting([value](TDcb& d) { d.StopBits = value; }, false);
}

void TCustomComm::SetDatabits(uint8_t value) {
  if (value == databits_) return;
  databits_ = value;
  UpdateSingleSetting([value](TDcb& d) { d.ByteSize = value; }, false);
}

void TCustomComm::SetEventChars(const TCommEventChars& value) {
  eventChars_.Assign(value);
  UpdateDataControlBlock();
}

void TCustomComm::SetOptions(TCommOptions value) {
  if (value == options_) return;
  options_ = value;
  UpdateDataControlBlock();
}

void TCustomComm::SetFlowControl(TFlowControl value) {
  if (value == flowControl_) return;
  flowControl_ = value;
  UpdateDataControlBlock();
}

}  // namespace comm
