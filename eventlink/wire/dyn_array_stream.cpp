#include "wire/dyn_array_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace eventlink {

namespace {
std::string IndexMessage(int index) {
  char text[96];
  std::snprintf(text, sizeof text, "Превышен индекс массива %d", index);
  return text;
}
}  // namespace

EDynArrayStream::EDynArrayStream(int index) : std::runtime_error(IndexMessage(index)) {}

TMemoryStreamEx::TMemoryStreamEx(size_t growStep) : growStep_(growStep == 0 ? 1 : growStep) {}

TMemoryStreamEx::TMemoryStreamEx(const TMemoryStreamEx& other) : growStep_(other.growStep_) {
  Reserve(other.size_);
  if (other.size_ > 0) std::memcpy(data_, other.data_, other.size_);
  size_ = other.size_;
  position_ = other.position_;
}

TMemoryStreamEx::TMemoryStreamEx(TMemoryStreamEx&& other) noexcept
    : data_(other.data_),
      size_(other.size_),
      capacity_(other.capacity_),
      position_(other.position_),
      growStep_(other.growStep_) {
  other.data_ = nullptr;
  other.size_ = other.capacity_ = other.position_ = 0;
}

TMemoryStreamEx& TMemoryStreamEx::operator=(const TMemoryStreamEx& other) {
  if (this != &other) {
    TMemoryStreamEx copy(other);
    *this = std::move(copy);
  }
  return *this;
}

TMemoryStreamEx& TMemoryStreamEx::operator=(TMemoryStreamEx&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    position_ = other.position_;
    growStep_ = other.growStep_;
    other.data_ = nullptr;
    other.size_ = other.capacity_ = other.position_ = 0;
  }
  return *this;
}

TMemoryStreamEx::~TMemoryStreamEx() { std::free(data_); }

void TMemoryStreamEx::SetPosition(size_t position) { position_ = std::min(position, size_); }

void TMemoryStreamEx::Reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  if (capacity > SIZE_MAX - growStep_) throw EStreamError("Out of memory while expanding memory stream");
  const size_t rounded = (capacity + growStep_ - 1) / growStep_ * growStep_;
  void* grown = std::realloc(data_, rounded);
  if (grown == nullptr) throw EStreamError("Out of memory while expanding memory stream");
  data_ = static_cast<uint8_t*>(grown);
  capacity_ = rounded;
}

size_t TMemoryStreamEx::CheckedEnd(size_t count) const {
  if (position_ > SIZE_MAX - count) throw EStreamError("Out of memory while expanding memory stream");
  return position_ + count;
}

void TMemoryStreamEx::WriteSlow(const void* bytes, size_t count) {
  if (count == 0) return;
  const size_t end = CheckedEnd(count);
  Reserve(end);
  std::memcpy(data_ + position_, bytes, count);
  position_ = end;
  size_ = std::max(size_, end);
}

void TMemoryStreamEx::ThrowReadError() { throw EStreamError("Stream read error"); }

void TMemoryStreamEx::WriteShortString(std::string_view bytes) {
  WriteWord(static_cast<uint16_t>(bytes.size()));
  Write(bytes.data(), bytes.size());
}

std::string TMemoryStreamEx::ReadShortString() { return std::string(ReadShortStringView()); }

std::string_view TMemoryStreamEx::ReadShortStringView() {
  const uint16_t count = ReadWord();
  if (count > Remaining()) ThrowReadError();
  const std::string_view bytes(reinterpret_cast<const char*>(data_ + position_), count);
  position_ += count;
  return bytes;
}

void TDynArrayStream::Clear() {
  SetPosition(0);
  SetSize(0);
}

uint8_t TDynArrayStream::ByteAt(ptrdiff_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= Length()) throw EDynArrayStream(static_cast<int>(index));
  return Data()[index];
}

void TDynArrayStream::AppendRange(const TDynArrayStream& other, ptrdiff_t start, ptrdiff_t count) {
  const auto otherLength = static_cast<ptrdiff_t>(other.Length());
  if (start < 0 || start >= otherLength || count <= 0) return;
  count = std::min(count, otherLength - start);
  if (&other == this) {
    // Growing may move our own bytes, so copy them out first.
    std::string copy(reinterpret_cast<const char*>(Data()) + start, static_cast<size_t>(count));
    Write(copy.data(), copy.size());
  } else {
    Write(other.Data() + start, static_cast<size_t>(count));
  }
}

void TDynArrayStream::DeleteRange(ptrdiff_t start, ptrdiff_t count) {
  const auto length = static_cast<ptrdiff_t>(Length());
  if (start < 0 || start >= length || count <= 0) return;
  count = std::min(count, length - start);
  std::memmove(Data() + start, Data() + start + count, static_cast<size_t>(length - start - count));
  SetPosition(static_cast<size_t>(length - count));
  SetSize(static_cast<size_t>(length - count));
}

}  // namespace eventlink
