#include "filters/data_filter_storage.h"

#include <algorithm>

namespace eventlink {

int32_t TDataFilterStorage::Compare(int32_t recordNumber) const {
  if (!IsRecordNumber(recordNumber)) return -1;
  const TDataFilterEntry& e = records_[recordNumber];
  const int32_t mine[4] = {e.Key4, e.Key2, e.Key3, e.Key1};
  const int32_t wanted[4] = {key_.Key4, key_.Key2, key_.Key3, key_.Key1};
  for (int k = 0; k < 4; ++k) {
    if (mine[k] < wanted[k]) return 1;
    if (mine[k] > wanted[k]) return -1;
  }
  return 0;
}

int32_t TDataFilterStorage::Find(int32_t key1, int32_t key2, int32_t key3, int32_t key4,
                                 int32_t group) {
  key_.Key1 = key1;
  key_.Key2 = key2;
  key_.Key3 = key3;
  key_.Key4 = key4;
  StartSearch();
  while (Next()) {
    const int32_t n = Current();
    if (n >= 0 && records_[n].Group == group) return n;
  }
  return -1;
}

bool TDataFilterStorage::AddDataFilter(int32_t key1, int32_t key2, int32_t key3, int32_t key4,
                                       int32_t group, TCodePointer callback, uintptr_t userData) {
  if (Find(key1, key2, key3, key4, group) >= 0) return false;
  TDataFilterEntry entry{key1, key2, key3, key4, group, callback, userData, nextSerial_++};
  records_.push_back(entry);
  Insert(static_cast<int32_t>(records_.size() - 1));  // the search key still holds the keys
  return true;
}

void TDataFilterStorage::DelDataFilter(int32_t key1, int32_t key2, int32_t key3, int32_t key4,
                                       int32_t group) {
  const int32_t n = Find(key1, key2, key3, key4, group);
  if (n < 0) return;
  records_.erase(records_.begin() + n);
  RemoveRecordNumber(n);
  ++revision_;
}

void TDataFilterStorage::DelDataGroup(int32_t group) {
  std::vector<int32_t> newNumbers(records_.size(), -1);
  std::vector<TDataFilterEntry> kept;
  kept.reserve(records_.size());
  for (size_t n = 0; n < records_.size(); ++n) {
    if (records_[n].Group == group) continue;
    newNumbers[n] = static_cast<int32_t>(kept.size());
    kept.push_back(records_[n]);
  }
  if (kept.size() == records_.size()) return;
  records_ = std::move(kept);
  Renumber(newNumbers);
  ++revision_;
}

void TDataFilterStorage::ClearDataFilters() {
  records_.clear();
  Clear();
  ++revision_;
}

void TDataFilterStorage::BeginDataMatch(const TDataRecord& record) {
  key_ = record;
  StartSearch();
}

std::vector<TDataFilterEntry> TDataFilterStorage::CollectDataMatches(const TDataRecord& record) {
  std::vector<TDataFilterEntry> matches;
  BeginDataMatch(record);
  while (Next()) {
    const int32_t n = Current();
    if (n >= 0) matches.push_back(records_[n]);
  }
  return matches;
}

bool TDataFilterStorage::IsSubscribed(uint64_t serial) const {
  return std::any_of(records_.begin(), records_.end(),
                     [serial](const TDataFilterEntry& e) { return e.Serial == serial; });
}

}  // namespace eventlink
