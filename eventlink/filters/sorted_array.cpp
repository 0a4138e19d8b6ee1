#include "filters/sorted_array.h"

#include <algorithm>

namespace eventlink {

void TSortedArray::Clear() {
  index_.clear();
  position_ = kNoPosition;
}

void TSortedArray::LowerBound() {
  // Binary search for the first slot that does not sort before the key.
  size_t low = 0, high = index_.size();
  while (low < high) {
    const size_t mid = low + (high - low) / 2;
    if (Compare(index_[mid]) == 1)
      low = mid + 1;
    else
      high = mid;
  }
  position_ = static_cast<int32_t>(low);
}

void TSortedArray::Insert(int32_t recordNumber) {
  LowerBound();
  index_.insert(index_.begin() + position_, recordNumber);
  position_ = kNoPosition;
}

bool TSortedArray::Next() {
  if (position_ == kNoPosition) return false;
  if (position_ == kSearchStarted)
    LowerBound();
  else
    ++position_;
  if (static_cast<size_t>(position_) < index_.size() && Compare(index_[position_]) == 0) return true;
  position_ = kNoPosition;
  return false;
}

int32_t TSortedArray::Current() const {
  if (position_ < 0 || static_cast<size_t>(position_) >= index_.size()) return -1;
  const int32_t n = index_[position_];
  return IsRecordNumber(n) ? n : -1;
}

void TSortedArray::RemoveRecordNumber(int32_t n) {
  auto it = std::find(index_.begin(), index_.end(), n);
  if (it != index_.end()) index_.erase(it);
  for (int32_t& slot : index_)
    if (slot > n) --slot;
}

void TSortedArray::Renumber(const std::vector<int32_t>& newNumbers) {
  std::vector<int32_t> kept;
  kept.reserve(index_.size());
  for (int32_t n : index_) {
    if (n >= 0 && static_cast<size_t>(n) < newNumbers.size() && newNumbers[n] >= 0)
      kept.push_back(newNumbers[n]);
  }
  index_ = std::move(kept);
  position_ = kNoPosition;
}

}  // namespace eventlink
