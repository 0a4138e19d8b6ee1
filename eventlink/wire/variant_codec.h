#pragma once
// Tagged binary encoding of a Variant (tags 0..7) and its 9-byte calendar date form.
#include <cstdint>
#include <stdexcept>

#include "platform/datetime.h"
#include "wire/dyn_array_stream.h"
#include "wire/variant.h"

namespace eventlink {

class EDinamicByteArray : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kMsgNotOneDimensional = "Вариантный массив должен быть одномерный!";
inline constexpr const char* kMsgUnknownElementType = "Неизвестный тип элемента VARIANT!";
inline constexpr const char* kMsgUnknownDimension = "Не известная размерность вариантного массива!";
// Our own refusals where the 16-bit length or the reader's nesting limit cannot hold a value.
inline constexpr const char* kMsgStringTooLong = "Строка длиннее 65535 байт!";
inline constexpr const char* kMsgNestedTooDeep = "Слишком глубокая вложенность вариантных массивов!";

enum WireTag : uint8_t {
  vtEmpty = 0,
  vtByte = 1,
  vtBoolean = 2,
  vtInteger = 3,
  vtDouble = 4,
  vtDate = 5,
  vtString = 6,
  vtArray = 7,
};

// Arrays nested deeper than this are refused both ways; the library's own packets nest three.
inline constexpr int kMaxArrayNesting = 64;

// Appends the encoding; throws EDinamicByteArray for kinds that have none. On a throw the
// stream may hold part of the value: serialise into a scratch buffer.
void SerializeVariant(const Variant& value, TMemoryStreamEx& out);

// Reads one value at the stream's position. Throws on any damage (EDinamicByteArray,
// EStreamError for truncation, platform::EConvertError for an impossible date); it never
// allocates more elements than the remaining bytes could hold.
Variant DeserializeVariant(TMemoryStreamEx& in);

void WriteCalendarDate(platform::DateTime value, TMemoryStreamEx& out);
platform::DateTime ReadCalendarDate(TMemoryStreamEx& in);

}  // namespace eventlink
