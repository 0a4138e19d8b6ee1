#include "testools/moving_strings.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace testools {

namespace {

struct TMovingString {
  int32_t Len = 0;   // characters that count
  std::string Text;
};

class HandleRegistry {
 public:
  int32_t Add(const std::string& text) {
    std::lock_guard lock(mutex_);
    do {
      next_ = next_ == INT32_MAX ? 1 : next_ + 1;
    } while (strings_.count(next_) != 0);
    strings_[next_] = TMovingString{static_cast<int32_t>(text.size()), text};
    return next_;
  }

  template <typename Fn>
  bool With(int32_t handle, Fn fn) {
    std::lock_guard lock(mutex_);
    auto it = strings_.find(handle);
    if (it == strings_.end()) return false;
    fn(it->second);
    return true;
  }

  bool Release(int32_t handle, TMovingString& out) {
    std::lock_guard lock(mutex_);
    auto it = strings_.find(handle);
    if (it == strings_.end()) return false;
    out = std::move(it->second);
    strings_.erase(it);
    return true;
  }

  size_t Size() {
    std::lock_guard lock(mutex_);
    return strings_.size();
  }

 private:
  std::mutex mutex_;
  int32_t next_ = 0;
  std::unordered_map<int32_t, TMovingString> strings_;
};

HandleRegistry& Registry() {
  static HandleRegistry registry;
  return registry;
}

}  // namespace

int32_t StringToIntegerAddress(const std::string& text) { return Registry().Add(text); }

bool ExtractStringFromIntegerAddress(int32_t handle, int32_t from, int32_t count, std::string& text) {
  text.clear();
  bool exact = false;
  const bool live = Registry().With(handle, [&](TMovingString& s) {
    // A start before the first character counts from the first, for copy and delete alike.
    const size_t start = static_cast<size_t>(std::max(from, 1) - 1);
    const size_t wanted = static_cast<size_t>(std::max(count, 0));
    if (start < s.Text.size()) {
      text = s.Text.substr(start, wanted);
      s.Text.erase(start, text.size());
      s.Len -= static_cast<int32_t>(text.size());
    }
    exact = text.size() == wanted;
  });
  return live && exact;
}

bool InsertStringToIntegerAddress(const std::string& text, int32_t handle, int32_t index) {
  return Registry().With(handle, [&](TMovingString& s) {
    const size_t at = std::min(static_cast<size_t>(std::max(index, 1) - 1), s.Text.size());
    s.Text.insert(at, text);
    s.Len += static_cast<int32_t>(text.size());
  });
}

bool IntegerAddressToString(int32_t handle, std::string& text) {
  TMovingString s;
  if (!Registry().Release(handle, s)) {
    text.clear();
    return false;
  }
  text = s.Text.substr(0, static_cast<size_t>(std::clamp<int64_t>(s.Len, 0, static_cast<int64_t>(s.Text.size()))));
  return true;
}

size_t LiveStringHandles() { return Registry().Size(); }

}  // namespace testools
