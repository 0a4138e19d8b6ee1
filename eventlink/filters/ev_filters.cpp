#include "filters/ev_filters.h"

#include <algorithm>

namespace eventlink {

int32_t WildcardBitsOf(const EvKeys& keys) {
  int32_t bits = 0;
  for (size_t k = 0; k < keys.size(); ++k)
    if (keys[k] == kAnyKey) bits |= 1 << k;
  return bits;
}

bool EvEntryMatches(const TEvFilterEntry& entry, const EvKeys& eventKeys) {
  for (size_t k = 0; k < eventKeys.size(); ++k)
    if (entry.Keys[k] != kAnyKey && entry.Keys[k] != eventKeys[k]) return false;
  return true;
}

int32_t TEvFilterList::Find(const EvKeys& keys, int32_t group) {
  key_.Keys = keys;
  key_.WildcardBits = WildcardBitsOf(keys);
  StartSearch();
  while (Next()) {
    const int32_t n = Current();
    if (n >= 0 && records_[n].Keys == keys && records_[n].Group == group) return n;
  }
  return -1;
}

void TEvFilterList::Add(const TEvFilterEntry& entry) {
  records_.push_back(entry);
  key_ = entry;
  Insert(static_cast<int32_t>(records_.size() - 1));
}

void TEvFilterList::RemoveRecord(int32_t recordNumber) {
  if (!IsRecordNumber(recordNumber)) return;
  records_.erase(records_.begin() + recordNumber);
  RemoveRecordNumber(recordNumber);
}

size_t TEvFilterList::RemoveGroup(int32_t group) {
  std::vector<int32_t> newNumbers(records_.size(), -1);
  std::vector<TEvFilterEntry> kept;
  kept.reserve(records_.size());
  for (size_t n = 0; n < records_.size(); ++n) {
    if (records_[n].Group == group) continue;
    newNumbers[n] = static_cast<int32_t>(kept.size());
    kept.push_back(records_[n]);
  }
  const size_t removed = records_.size() - kept.size();
  if (removed > 0) {
    records_ = std::move(kept);
    Renumber(newNumbers);
  }
  return removed;
}

void TEvFilterList::ClearRecords() {
  records_.clear();
  Clear();
}

int32_t TEvMaskFilter::Compare(int32_t recordNumber) const {
  if (!IsRecordNumber(recordNumber)) return -1;
  const int32_t bits = records_[recordNumber].WildcardBits;
  return bits < key_.WildcardBits ? 1 : bits > key_.WildcardBits ? -1 : 0;
}

int32_t TEvExactFilter::Compare(int32_t recordNumber) const {
  if (!IsRecordNumber(recordNumber)) return -1;
  const EvKeys& keys = records_[recordNumber].Keys;
  for (int k = 4; k >= 0; --k) {
    if (keys[k] < key_.Keys[k]) return 1;
    if (keys[k] > key_.Keys[k]) return -1;
  }
  return 0;
}

TEvFilterList& TFilterStorage::StoreFor(int32_t wildcardBits) {
  if (wildcardBits != 0) return mask_;
  return exact_;
}

bool TFilterStorage::AddEvFilter(const EvKeys& keys, int32_t group, TCodePointer callback,
                                 uintptr_t userData) {
  const int32_t bits = WildcardBitsOf(keys);
  TEvFilterList& store = StoreFor(bits);
  if (store.Find(keys, group) >= 0) return false;
  TEvFilterEntry entry;
  entry.Keys = keys;
  entry.WildcardBits = bits;
  entry.Group = group;
  entry.Callback = callback;
  entry.UserData = userData;
  entry.Serial = nextSerial_++;
  store.Add(entry);
  return true;
}

void TFilterStorage::DelEvFilter(const EvKeys& keys, int32_t group) {
  TEvFilterList& store = StoreFor(WildcardBitsOf(keys));
  const int32_t n = store.Find(keys, group);
  if (n < 0) return;
  store.RemoveRecord(n);
  ++revision_;
}

void TFilterStorage::DelEvGroup(int32_t group) {
  if (mask_.RemoveGroup(group) + exact_.RemoveGroup(group) > 0) ++revision_;
}

void TFilterStorage::ClearEvFilters() {
  mask_.ClearRecords();
  exact_.ClearRecords();
  counter_ = 0;
  ++revision_;
}

void TFilterStorage::BeginEvMatch(const EvKeys& eventKeys) {
  eventKeys_ = eventKeys;
  exact_.SearchKey().Keys = eventKeys;
  mask_.SearchKey().Keys = eventKeys;
  counter_ = static_cast<int32_t>(mask_.Records().size());
}

bool TFilterStorage::NextEvMatch() {
  while (counter_ > 0) {
    counter_ = std::min(counter_, static_cast<int32_t>(mask_.Records().size()));
    if (counter_ == 0) break;
    --counter_;
    const TEvFilterEntry& entry = mask_.Records()[counter_];
    if (EvEntryMatches(entry, eventKeys_)) {
      current_ = entry;
      return true;
    }
  }
  if (counter_ == 0) {
    exact_.SearchKey().Keys = eventKeys_;
    exact_.StartSearch();
    counter_ = -1;
  }
  if (counter_ == -1 && exact_.Next()) {
    const int32_t n = exact_.Current();
    if (n >= 0) {
      current_ = exact_.Records()[n];
      return true;
    }
  }
  return false;
}

std::vector<TEvFilterEntry> TFilterStorage::CollectEvMatches(const EvKeys& eventKeys) {
  std::vector<TEvFilterEntry> matches;
  BeginEvMatch(eventKeys);
  while (NextEvMatch()) matches.push_back(current_);
  return matches;
}

bool TFilterStorage::IsSubscribed(uint64_t serial) const {
  auto has = [serial](const std::vector<TEvFilterEntry>& records) {
    return std::any_of(records.begin(), records.end(),
                       [serial](const TEvFilterEntry& e) { return e.Serial == serial; });
  };
  return has(mask_.Records()) || has(exact_.Records());
}

size_t TFilterStorage::EvFilterCount() const {
  return mask_.Records().size() + exact_.Records().size();
}

const TEvFilterEntry& TFilterStorage::EvFilterAt(size_t i) const {
  const size_t wildcards = mask_.Records().size();
  return i < wildcards ? mask_.Records()[i] : exact_.Records().at(i - wildcards);
}

}  // namespace eventlink
