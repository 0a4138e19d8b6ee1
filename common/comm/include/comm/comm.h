#pragma once
// The serial port component: one object wraps one tty, keeps the port settings as properties,
// applies them to the device and runs an event thread whose events reach the owner on the
// thread that opened the port.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/comm_error.h"
#include "comm/comm_event_thread.h"
#include "comm/comm_objs.h"
#include "comm/comm_types.h"
#include "comm/dcb.h"
#include "comm/serial_device.h"
#include "platform/message_queue.h"

namespace comm {

class TCustomComm;

using TNotifyEvent = std::function<void(TCustomComm* Sender)>;
using TCommRxCharEvent = std::function<void(TCustomComm* Sender, int32_t Count)>;
using TCommErrorEvent = std::function<void(TCustomComm* Sender, int32_t Errors)>;
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

// The special characters of the port. Index 1 to 5: XonChar, XoffChar, ErrorChar, EofChar,
// EvtChar. A change reaches an open port at once.
class TCommEventChars {
 public:
  explicit TCommEventChars(TCustomComm* comm = nullptr) : comm_(comm) {}

  uint8_t EventChar(int index) const { return chars_[index - 1]; }
  void SetEventChar(int index, uint8_t value);

  uint8_t XonChar() const { return EventChar(1); }
  uint8_t XoffChar() const { return EventChar(2); }
  uint8_t ErrorChar() const { return EventChar(3); }
  uint8_t EofChar() const { return EventChar(4); }
  uint8_t EvtChar() const { return EventChar(5); }
  void SetXonChar(uint8_t c) { SetEventChar(1, c); }
  void SetXoffChar(uint8_t c) { SetEventChar(2, c); }
  void SetErrorChar(uint8_t c) { SetEventChar(3, c); }
  void SetEofChar(uint8_t c) { SetEventChar(4, c); }
  void SetEvtChar(uint8_t c) { SetEventChar(5, c); }

  // Copies the five characters, leaving the device alone.
  void Assign(const TCommEventChars& source);

 private:
  TCustomComm* comm_;
  uint8_t chars_[5] = {17, 19, 0, 0, 0};
};

class TCustomComm {
 public:
  // `deviceFactory` makes the device behind the port; empty means a real tty.
  explicit TCustomComm(TCommProfile profile = TCommProfile::DeviceModule, SerialDeviceFactory deviceFactory = {});
  virtual ~TCustomComm();
  TCustomComm(const TCustomComm&) = delete;
  TCustomComm& operator=(const TCustomComm&) = delete;

  void Open();
  void Close();
  bool IsOpen() const { return device_ != nullptr; }

  // Bytes read, or -1 when they did not all come within ReadTimeout.
  int32_t Read(void* buffer, int32_t count);
  // Bytes written, or -1 when the write did not finish within WriteTimeout.
  int32_t Write(const void* buffer, int32_t count);
  void SetDTR(bool on);
  void SetRTS(bool on);
  // kind 1 CTS, 2 DSR, 3 RING, 4 RLSD; false for other kinds, a closed port or a failed query.
  bool GetModemSignal(int kind);

  const std::string& DeviceName() const { return deviceName_; }
  void SetDeviceName(const std::string& value);
  int32_t ReadTimeout() const { return readTimeout_; }
  void SetReadTimeout(int32_t value);
  int32_t WriteTimeout() const { return writeTimeout_; }
  void SetWriteTimeout(int32_t value);
  int32_t ReadBufSize() const { return readBufSize_; }
  void SetReadBufSize(int32_t value);
  int32_t WriteBufSize() const { return writeBufSize_; }
  void SetWriteBufSize(int32_t value);
  TCommEventTypes MonitorEvents() const { return monitorEvents_; }
  void SetMonitorEvents(TCommEventTypes value);
  uint32_t BaudRate() const { return baudRate_; }
  void SetBaudRate(uint32_t value);
  uint8_t Parity() const { return parity_; }
  void SetParity(uint8_t value);
  uint8_t Stopbits() const { return stopbits_; }
  void SetStopbits(uint8_t value);
  uint8_t Databits() const { return databits_; }
  void SetDatabits(uint8_t value);
  TCommEventChars& EventChars() { return eventChars_; }
  void SetEventChars(const TCommEventChars& value);
  TCommOptions Options() const { return options_; }
  void SetOptions(TCommOptions value);
  TFlowControl FlowControl() const { return flowControl_; }
  void SetFlowControl(TFlowControl value);

  TNotifyEvent OnBreak, OnCts, OnDsr, OnSetRTS, OnClearRTS;
  TCommErrorEvent OnError;
  TNotifyEvent OnRing, OnRlsd;
  TCommRxCharEvent OnRxChar;
  TNotifyEvent OnRxFlag, OnTxEmpty;

  TCommProfile Profile() const { return profile_; }
  // GNSS profile: the names Open tries, in order.
  const std::vector<std::string>& DeviceNames() const { return deviceNames_; }
  // The settings image as last read from or written to the device.
  const TDcb& Dcb() const { return dcb_; }
  bool RtsState() const { return rtsState_; }
  // The device went away while open (the event thread has stopped delivering).
  bool DeviceLost() const { return eventThread_ && eventThread_->DeviceLost(); }
  // Longest wait for the event thread in Close.
  uint32_t CloseWaitMs() const { return profile_ == TCommProfile::GnssModule ? 5000 : 10000; }

 protected:
  // Opens the device named by DeviceName (or, GNSS profile, the first of DeviceNames that opens).
  virtual void CreateHandle();

 private:
  friend class TCommEventChars;
  struct HandOverGuard {
    TCustomComm* port = nullptr;
  };

  std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, int& error);
  void StartEventThread();
  void UpdateDataControlBlock();
  void UpdateSingleSetting(const std::function<void(TDcb&)>& put, bool baudRatePause);
  int GetCommState();
  int SetCommState();
  void DispatchEvents(uint32_t mask, uint32_t errors);

  const TCommProfile profile_;
  SerialDeviceFactory deviceFactory_;
  std::shared_ptr<SerialDevice> device_;
  TDcb dcb_;
  std::string deviceName_ = "COM1";
  std::vector<std::string> deviceNames_{"COM1"};
  TCriticalSection ioLock_;
  int32_t readTimeout_ = 65535;
  int32_t writeTimeout_ = 65535;
  int32_t readBufSize_ = 4096;
  int32_t writeBufSize_ = 2048;
  TCommEventTypes monitorEvents_ = kAllCommEvents;
  uint32_t baudRate_ = 9600;
  uint8_t parity_ = EVENPARITY;
  uint8_t stopbits_ = TWOSTOPBITS;
  uint8_t databits_ = 8;
  std::unique_ptr<TCommEventThread> eventThread_;
  TCommEventChars eventChars_{this};
  TCommOptions options_;
  TFlowControl flowControl_ = fcDefault;
  bool rtsState_ = false;
  bool freshlyOpened_ = false;
  const uint16_t baudRatePauseMs_ = 1;

  std::shared_ptr<RxTracker> rx_;
  std::shared_ptr<HandOverGuard> guard_;
  platform::CancelToken cancel_;
};

// The published component; both programs use it, each in its own profile.
class TComm : public TCustomComm {
 public:
  using TCustomComm::TCustomComm;
};

}  // namespace comm
