#pragma once
// Growable byte buffers the codec reads and writes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace eventlink {

// Reading past the content by index.
class EDynArrayStream : public std::runtime_error {
 public:
  explicit EDynArrayStream(int index);
};

// Memory could not be obtained, or a read ran past the end of the stream.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A memory byte buffer with a read/write position; capacity grows in whole grow steps.
class TMemoryStreamEx {
 public:
  static constexpr size_t kDefaultGrowStep = 8192;

  explicit TMemoryStreamEx(size_t growStep = kDefaultGrowStep);
  TMemoryStreamEx(const TMemoryStreamEx& other);
  TMemoryStreamEx(TMemoryStreamEx&& other) noexcept;
  TMemoryStreamEx& operator=(const TMemoryStreamEx& other);
  TMemoryStreamEx& operator=(TMemoryStreamEx&& other) noexcept;
  virtual ~TMemoryStreamEx();

  size_t Size() const { return size_; }
  size_t Position() const { return position_; }
  size_t Capacity() const { return capacity_; }
  size_t GrowStep() const { return growStep_; }
  void SetPosition(size_t position);  // never beyond Size()
  const uint8_t* Data() const { return data_; }
  uint8_t* Data() { return data_; }

  // Rounds up to the grow step; throws EStreamError and leaves the buffer unchanged on failure.
  void Reserve(size_t capacity);

  void Write(const void* bytes, size_t count) {
    if (count == 0) return;  // an empty stream has no memory to copy into
    if (count <= capacity_ - position_) {
      std::memcpy(data_ + position_, bytes, count);
      position_ += count;
      if (position_ > size_) size_ = position_;
    } else {
      WriteSlow(bytes, count);
    }
  }
  // Room for `count` bytes at the position, which moves past them; the caller fills them in.
  uint8_t* WriteSpace(size_t count) {
    if (count > capacity_ - position_) Reserve(CheckedEnd(count));
    uint8_t* at = data_ + position_;
    position_ += count;
    if (position_ > size_) size_ = position_;
    return at;
  }
  // Throws EStreamError when the content runs out.
  void Read(void* bytes, size_t count) {
    if (count > Remaining()) ThrowReadError();
    if (count == 0) return;
    std::memcpy(bytes, data_ + position_, count);
    position_ += count;
  }

  void WriteByte(uint8_t value) { Write(&value, 1); }
  void WriteWord(uint16_t value) {
    const uint8_t b[2] = {uint8_t(value), uint8_t(value >> 8)};
    Write(b, 2);
  }
  void WriteInt32(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    const uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    Write(b, 4);
  }
  void WriteDouble(double value) {
    uint64_t u;
    std::memcpy(&u, &value, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(u >> (8 * i));
    Write(b, 8);
  }
  // A string with its 16-bit byte count; the bytes are written as they are.
  void WriteShortString(std::string_view bytes);

  uint8_t ReadByte() {
    uint8_t b;
    Read(&b, 1);
    return b;
  }
  uint16_t ReadWord() {
    uint8_t b[2];
    Read(b, 2);
    return uint16_t(b[0] | (b[1] << 8));
  }
  int32_t ReadInt32() {
    uint8_t b[4];
    Read(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
  }
  double ReadDouble() {
    uint8_t b[8];
    Read(b, 8);
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= uint64_t(b[i]) << (8 * i);
    double value;
    std::memcpy(&value, &u, 8);
    return value;
  }
  std::string ReadShortString();
  // The same bytes, viewed in place; valid until the stream next grows or is written.
  std::string_view ReadShortStringView();

  size_t Remaining() const { return size_ > position_ ? size_ - position_ : 0; }

 protected:
  void SetSize(size_t size) { size_ = size; }

 private:
  void WriteSlow(const void* bytes, size_t count);
  size_t CheckedEnd(size_t count) const;
  [[noreturn]] static void ThrowReadError();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t position_ = 0;
  size_t growStep_;
};

// Content is everything before the write position.
class TDynArrayStream : public TMemoryStreamEx {
 public:
  using TMemoryStreamEx::TMemoryStreamEx;

  size_t Length() const { return Position(); }
  void Clear();

  // Throws EDynArrayStream for an index outside the content.
  uint8_t ByteAt(ptrdiff_t index) const;

  // Appends `count` bytes of `other`'s content from `start`; out-of-range requests are cut or ignored.
  void AppendRange(const TDynArrayStream& other, ptrdiff_t start, ptrdiff_t count);
  void Append(const void* bytes, size_t count) { Write(bytes, count); }
  // Removes a range of the content, moving the rest down and the position back.
  void DeleteRange(ptrdiff_t start, ptrdiff_t count);

  std::string_view View() const {
    return {reinterpret_cast<const char*>(Data()), Length()};
  }
};

}  // namespace eventlink
