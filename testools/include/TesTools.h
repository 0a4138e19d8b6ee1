#pragma once
// TesTools: the family-wide helper library. This is its one public header: the records that
// callers exchange with the library and the declarations of every export.
//
// Exports carry C linkage so that they appear in the library under their plain names; where a
// C++ type (std::string, a task, a logger) crosses, the caller is one of our own C++ programs
// built with the same compiler.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#define TESTOOLS_API __attribute__((visibility("default")))

// ---------------------------------------------------------------------------------------------
// Failures the library raises or recognises. A failure is reported in logs by the plain name of
// its class (EInOutError), so these keep the family's names.

class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Packets

struct TPacket {
  int32_t Len = 0;          // data bytes in use, 0..256
  uint8_t Data[256] = {};
};
static_assert(sizeof(TPacket) == 260, "TPacket is exchanged as 260 raw bytes");
static_assert(offsetof(TPacket, Data) == 4);

// ---------------------------------------------------------------------------------------------
// Tick timers

struct TTickTimer {
  uint32_t WrapCount = 0;  // how often the tick count was seen to run over
  uint32_t LastTick = 0;   // tick count at the last reading
  uint32_t StartTick = 0;  // tick count at the start
};
static_assert(sizeof(TTickTimer) == 12, "tick timer record is 12 bytes");
static_assert(offsetof(TTickTimer, LastTick) == 4 && offsetof(TTickTimer, StartTick) == 8);

// ---------------------------------------------------------------------------------------------
// Task values

#pragma pack(push, 1)
struct TValueRecord {
  uint8_t Flags = 0;            // bit 0, bit 1 = in modify
  double TimeStamp = 0;         // date-time value
  uint64_t Status = 0;          // status bits
  uint8_t Payload[8] = {};      // carried unchanged
  uint8_t Ready = 0;            // non-zero: the value is ready
  uint8_t Extra[17] = {};       // carried unchanged
};
#pragma pack(pop)
static_assert(sizeof(TValueRecord) == 43, "value record is exchanged as 43 raw bytes");
static_assert(offsetof(TValueRecord, TimeStamp) == 1 && offsetof(TValueRecord, Status) == 9 &&
              offsetof(TValueRecord, Payload) == 17 && offsetof(TValueRecord, Ready) == 25 &&
              offsetof(TValueRecord, Extra) == 26);

constexpr uint8_t kValueFlagInModify = 0x02;
constexpr uint8_t kValueFlagsClearedOnAdd = 0x03;

// The task data block. Comments give each field's offset in the family's 80-byte record; the
// seven fields marked "key" together identify a task.
struct TRUserTaskData {
  int32_t LabelIndex = 0;         // 0: key; third number of the log label
  int32_t LabelMajor = 0;         // 4: key; first number of the log label
  uint8_t Reserved8[16] = {};     // 8..23: carried unchanged
  double KeyTimeFrom = 0;         // 24: key
  double KeyTimeTo = 0;           // 32: key
  int32_t LabelMinor = 0;         // 40: key; second number of the log label
  uint8_t KeyKind = 0;            // 44: key
  uint8_t Reserved45[7] = {};     // 45..51: carried unchanged
  std::string Name;               // 52: task name, the log label when not empty
  uint8_t StateByte = 0;          // 56
  uint8_t Reserved57[3] = {};     // 57..59: carried unchanged
  int32_t KeyExtra = 0;           // 60: key
  int32_t Reference = -1;         // 64
  std::string Text68;             // 68
  std::string Text72;             // 72
  std::string Text76;             // 76
};

class TLogger;
class TUserTask;

// The values of one item of a task. Every value added or removed moves the owner task's values
// count by one.
class TTaskItem {
 public:
  TTaskItem(TUserTask* owner, int32_t key) : Owner(owner), ItemKey(key) {}
  ~TTaskItem() { Clear(); }
  TTaskItem(const TTaskItem&) = delete;
  TTaskItem& operator=(const TTaskItem&) = delete;

  int Count() const { return static_cast<int>(values_.size()); }
  TValueRecord& Value(int index) { return *values_.at(static_cast<size_t>(index)); }
  const TValueRecord& Value(int index) const { return *values_.at(static_cast<size_t>(index)); }
  // A new record at the end, with bits 0 and 1 of its flags cleared.
  inline TValueRecord& AddValue();
  inline void DeleteValue(int index);
  void Clear() {
    while (!values_.empty()) DeleteValue(Count() - 1);
  }

  TUserTask* Owner;
  int32_t ItemKey;
  int32_t Tag = 0;
  std::string Text;

 private:
  std::vector<std::unique_ptr<TValueRecord>> values_;
};

// A task: its items sorted by item key, its data block, its logger and its values count.
// Shared tasks are guarded by Lock() (a recursive lock, like a critical section).
class TUserTask {
 public:
  explicit TUserTask(TLogger* logger = nullptr) : Logger(logger) {}
  ~TUserTask() { ClearItems(); }
  TUserTask(const TUserTask&) = delete;
  TUserTask& operator=(const TUserTask&) = delete;

  int ItemCount() const { return static_cast<int>(items_.size()); }
  TTaskItem& Item(int index) { return *items_.at(static_cast<size_t>(index)); }
  // Index of the item with the key, -1 when there is none.
  int IndexOfItem(int32_t key) const {
    auto it = LowerBound(key);
    return (it != items_.end() && (*it)->ItemKey == key) ? static_cast<int>(it - items_.begin()) : -1;
  }
  TTaskItem* FindItem(int32_t key) {
    int index = IndexOfItem(key);
    return index < 0 ? nullptr : &Item(index);
  }
  // The item with the key; a new one is inserted in key order when missing.
  TTaskItem& FindOrAddItem(int32_t key) {
    auto it = LowerBound(key);
    if (it != items_.end() && (*it)->ItemKey == key) return **it;
    return **items_.insert(it, std::make_unique<TTaskItem>(this, key));
  }
  void RemoveItem(int index) { items_.erase(items_.begin() + index); }
  void ClearItems() {
    while (!items_.empty()) items_.pop_back();
  }
  std::recursive_mutex& Lock() { return lock_; }

  std::vector<uint8_t> MemoryBlock;  // owned, released with the task
  TLogger* Logger;
  TRUserTaskData Data;
  int32_t ValuesCount = 0;

 private:
  std::vector<std::unique_ptr<TTaskItem>>::const_iterator LowerBound(int32_t key) const {
    return std::lower_bound(items_.begin(), items_.end(), key,
                            [](const std::unique_ptr<TTaskItem>& item, int32_t k) { return item->ItemKey < k; });
  }
  std::vector<std::unique_ptr<TTaskItem>> items_;
  std::recursive_mutex lock_;
};

TValueRecord& TTaskItem::AddValue() {
  values_.push_back(std::make_unique<TValueRecord>());
  if (Owner) ++Owner->ValuesCount;
  return *values_.back();
}

void TTaskItem::DeleteValue(int index) {
  values_.erase(values_.begin() + index);
  if (Owner) --Owner->ValuesCount;
}

// ---------------------------------------------------------------------------------------------
// Loggers. The calling program owns its loggers; the library requires of them a lock held for
// the writing of one line, a time-stamp format, a write-line operation and an optional event.

class TLogger {
 public:
  virtual ~TLogger() = default;
  virtual void WriteLine(const std::string& line) = 0;
  std::recursive_mutex& Lock() { return lock_; }

  std::string TimeStampFormat = "dd.mm.yyyy hh:nn:ss.zzz";
  std::function<void(const std::string& line)> OnMessage;

 private:
  std::recursive_mutex lock_;
};

// Message kinds of the log line.
enum TMessageKind : uint8_t {
  mkPlain = 0,
  mkSyntaxError = 1,
  mkError = 2,
  mkWarning = 3,
  mkFatalError = 4,
  mkInformation = 5,
  mkDebug = 6,
};

// ---------------------------------------------------------------------------------------------
// Version record of the host program (its version note). The two versions default to 1.0.0.0,
// the other fields to empty.

struct TVersionInfo {
  std::string CompanyName;
  std::string LegalTrademarks;
  std::string LegalCopyright;
  std::string ProductName;
  std::string ProductVersion = "1.0.0.0";
  std::string FileDescription;
  std::string FileVersion = "1.0.0.0";
  std::string InternalName;
  std::string OriginalFilename;
  std::string Comments;
};

class QWidget;

// ---------------------------------------------------------------------------------------------
// Exports

extern "C" {

// Packets
TESTOOLS_API std::string PacketToString(const TPacket& packet);
TESTOOLS_API void StringToPacket(const std::string& text, TPacket& packet);
TESTOOLS_API std::string PacketToOleString(const TPacket& packet);
TESTOOLS_API void OleStringToPacket(const std::string& bytes, TPacket& packet);
TESTOOLS_API bool ReadFromFileToPacket(int fd, TPacket& packet);
TESTOOLS_API void SetCommandInPacket(TPacket& packet, uint16_t command, const std::string& text);
TESTOOLS_API void PackPacket(TPacket& packet);
TESTOOLS_API void UnPackPacket(TPacket& packet);
TESTOOLS_API uint16_t Calc16Crc(const TPacket& packet, uint8_t start, uint8_t count);
TESTOOLS_API uint16_t CalcSum2Crc(const TPacket& packet, uint8_t start, uint8_t count);
TESTOOLS_API void ShiftBytesToRightInPacket(TPacket& packet, uint8_t position, uint8_t count);
TESTOOLS_API uint16_t GetAbonentFromTxPacket(const TPacket& packet);
TESTOOLS_API uint16_t GetAbonentFromRxPacket(const TPacket& packet);

// Routes
TESTOOLS_API uint8_t HalfByteMirr(uint8_t value);
TESTOOLS_API uint16_t MirrRoute(uint16_t route);
TESTOOLS_API uint16_t PadRoute(uint16_t route, bool leftAligned);
TESTOOLS_API uint16_t AddToRoute(uint16_t route, uint8_t digit, bool leftAligned);
TESTOOLS_API uint8_t Extract1stDigitInRoute(int32_t& route);

// String handles (false / empty for a handle that is not live)
TESTOOLS_API int32_t StringToIntegerAddress(const std::string& text);
TESTOOLS_API bool ExtractStringFromIntegerAddress(int32_t handle, int32_t from, int32_t count, std::string& text);
TESTOOLS_API bool InsertStringToIntegerAddress(const std::string& text, int32_t handle, int32_t index);
TESTOOLS_API bool IntegerAddressToString(int32_t handle, std::string& text);

// Byte queues, addresses, numbers, raw bytes
TESTOOLS_API void DataToLIFOString(const void* area, int32_t size, std::string& queue);
TESTOOLS_API void DataFromLIFOString(void* area, int32_t size, std::string& queue);
TESTOOLS_API std::string IP_Ord(const void* area, int32_t offset, int32_t count);
TESTOOLS_API std::string IP_AddressByHost(uint8_t index, const std::string& host);
TESTOOLS_API double ThreeBytesToFloat(const void* area, int32_t offset);
TESTOOLS_API double FourBytesToUnsignedFloat(const void* area, int32_t offset);
TESTOOLS_API std::string SixteenBytesToString(const void* area, int32_t offset, int32_t count);
TESTOOLS_API void Wrap(void* first, void* second, int32_t size);

// Bits (bit 0 is the least significant; a bit number out of range addresses no bit)
TESTOOLS_API void SetBit(uint8_t bit, uint8_t& value);
TESTOOLS_API void ClearBit(uint8_t bit, uint8_t& value);
TESTOOLS_API bool IsBit(uint8_t bit, int32_t value);
TESTOOLS_API void SetBitInt64(uint8_t bit, int64_t& value);
TESTOOLS_API void ClearBitInt64(uint8_t bit, int64_t& value);
TESTOOLS_API bool IsBitInt64(uint8_t bit, int64_t value);

// Tick timers
TESTOOLS_API TTickTimer* CreateTickTimer();
TESTOOLS_API void InitializeTickTimer(TTickTimer* timer);
TESTOOLS_API void DestroyTickTimer(TTickTimer*& timer);
TESTOOLS_API int64_t GetTickTimerElapsedMilliSeconds(TTickTimer* timer);
TESTOOLS_API double GetTickTimerElapsedTime(TTickTimer* timer);
TESTOOLS_API bool ItIsTickTimerTimeout(TTickTimer* timer, uint32_t seconds);

// Task values
TESTOOLS_API void SetAllTaskItemValuesInModify(TTaskItem* item);
TESTOOLS_API void SetAllTaskValuesInModify(TUserTask* task, int32_t itemKey);
TESTOOLS_API void CopyReadyValues(TUserTask* source, TUserTask* destination, bool remove);
TESTOOLS_API void CopyAllValues(TUserTask* source, TUserTask* destination);
TESTOOLS_API TUserTask* CopyTaskOnly(const TUserTask* task);
TESTOOLS_API bool DataOfTasksAreEqual(const TUserTask* first, const TUserTask* second);
TESTOOLS_API void SetTaskvaluesCount(TUserTask* task, int32_t count);
TESTOOLS_API bool GetStatusInfo(const TValueRecord& value, uint8_t bit);
TESTOOLS_API void SetStatusInfo(TValueRecord& value, uint8_t bit, bool on);

// Value counters
TESTOOLS_API void AddTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
TESTOOLS_API void DeleteTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
TESTOOLS_API void DeletePQLValuesCount(int32_t scriptId, int32_t queryId);
TESTOOLS_API void DeleteScriptValuesCount(int32_t scriptId);
TESTOOLS_API void DeleteAllValuesCount();
TESTOOLS_API int32_t GetAllReadyValuesCount();
TESTOOLS_API int32_t GetAllTotalValuesCount();
TESTOOLS_API int32_t GetScriptReadyValuesCount(int32_t scriptId);
TESTOOLS_API int32_t GetScriptTotalValuesCount(int32_t scriptId);
TESTOOLS_API int32_t GetPQLReadyValuesCount(int32_t scriptId, int32_t queryId);
TESTOOLS_API int32_t GetPQLTotalValuesCount(int32_t scriptId, int32_t queryId);
TESTOOLS_API int32_t GetTaskReadyValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
TESTOOLS_API int32_t GetTaskTotalValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);

// Logger
TESTOOLS_API void AddMsgToLogger(uint8_t kind, const std::string& message, const std::string& source,
                                 const std::string& extra, TLogger* mainLogger, TLogger* reserveLogger);
TESTOOLS_API void AddToLogger(TUserTask* task, uint8_t kind, const std::string& message,
                              const std::string& extra, TLogger* reserveLogger);

// About box and version record
TESTOOLS_API void GetAppVersion(TVersionInfo& info);
// Shows the About box modally over the caller's window. instance: the calling program's module
// (dlopen(nullptr)); the icon shown is the program's Qt resource ":/MAINICON", else its window icon.
TESTOOLS_API void ShowAbout(void* instance, QWidget* window);

}  // extern "C"
