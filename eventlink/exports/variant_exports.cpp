// Building and reading values from C.
#define EVENTLINK_BUILDING 1
#include <cstring>
#include <string>

#include "EventLink.h"
#include "wire/variant.h"

using eventlink::Variant;

extern "C" {

ESVariant* ESVariantCreateEmpty(void) { return new Variant(); }
ESVariant* ESVariantCreateInteger(int32_t value) { return new Variant(Variant::Integer(value)); }
ESVariant* ESVariantCreateDouble(double value) { return new Variant(Variant::Double(value)); }
ESVariant* ESVariantCreateDate(double value) { return new Variant(Variant::Date(value)); }
ESVariant* ESVariantCreateBoolean(bool value) { return new Variant(Variant::Boolean(value)); }
ESVariant* ESVariantCreateString(const char* utf8) { return new Variant(Variant::String(utf8 ? utf8 : "")); }

ESVariant* ESVariantCreateArray(int32_t lowBound, int32_t highBound) {
  if (highBound < lowBound - 1) highBound = lowBound - 1;
  return new Variant(Variant::Array(lowBound, highBound));
}

ESVariant* ESVariantCopy(const ESVariant* value) { return value ? new Variant(*value) : new Variant(); }
void ESVariantFree(ESVariant* value) { delete value; }

int32_t ESVariantArraySet(ESVariant* array, int32_t index, const ESVariant* item) {
  if (!array || !array->IsArray() || index < array->LowBound() || index > array->HighBound()) return -1;
  array->At(index) = item ? *item : Variant();
  return 0;
}

int32_t ESVariantType(const ESVariant* value) {
  return value ? static_cast<int32_t>(value->Type()) : ES_VT_EMPTY;
}

int32_t ESVariantAsInteger(const ESVariant* value, int32_t* out) {
  if (!value || !out) return -1;
  return value->TryAsInteger(*out) ? 0 : -1;
}

int32_t ESVariantAsDouble(const ESVariant* value, double* out) {
  if (!value || !out) return -1;
  try {
    *out = value->AsDouble();
    return 0;
  } catch (const std::exception&) {
    return -1;
  }
}

int32_t ESVariantAsString(const ESVariant* value, char* buffer, int32_t bufferSize) {
  if (!value) return -1;
  std::string text;
  try {
    text = value->AsString();
  } catch (const std::exception&) {
    return -1;
  }
  if (buffer && bufferSize > 0) {
    const size_t n = std::min(text.size(), static_cast<size_t>(bufferSize - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int32_t>(text.size());
}

int32_t ESVariantArrayBounds(const ESVariant* value, int32_t* lowBound, int32_t* highBound) {
  if (!value || !value->IsArray()) return -1;
  if (lowBound) *lowBound = value->LowBound();
  if (highBound) *highBound = value->HighBound();
  return 0;
}

const ESVariant* ESVariantArrayItem(const ESVariant* value, int32_t index) {
  if (!value || !value->IsArray() || index < value->LowBound() || index > value->HighBound()) return nullptr;
  return &value->At(index);
}

}  // extern "C"
