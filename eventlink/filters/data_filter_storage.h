#pragma once
// The data subscriptions of one connection, indexed by Key4, Key2, Key3, Key1. Data
// subscriptions have no wildcards.
#include <cstdint>
#include <vector>

#include "filters/filter_entry.h"
#include "filters/sorted_array.h"
#include "wire/event_records.h"

namespace eventlink {

struct TDataFilterEntry {
  int32_t Key1 = 0, Key2 = 0, Key3 = 0, Key4 = 0;
  int32_t Group = 0;
  TCodePointer Callback = nullptr;
  uintptr_t UserData = 0;
  uint64_t Serial = 0;  // unique per store, to recognise an entry after the store changed
};

class TDataFilterStorage : public TSortedArray {
 public:
  // True when added; a duplicate (same keys and group) leaves the first entry as it is.
  bool AddDataFilter(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group,
                     TCodePointer callback, uintptr_t userData);
  void DelDataFilter(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group);
  void DelDataGroup(int32_t group);
  void ClearDataFilters();

  // Enumeration of the entries whose keys equal the record's, newest first:
  // BeginDataMatch, then Next() / Current() give record numbers.
  void BeginDataMatch(const TDataRecord& record);
  // The matches copied out before any callback runs.
  std::vector<TDataFilterEntry> CollectDataMatches(const TDataRecord& record);
  bool IsSubscribed(uint64_t serial) const;
  uint64_t Revision() const { return revision_; }

  // In subscription order.
  const std::vector<TDataFilterEntry>& Records() const { return records_; }
  size_t DataFilterCount() const { return records_.size(); }
  const TDataFilterEntry& DataFilterAt(size_t i) const { return records_.at(i); }

 protected:
  int32_t Compare(int32_t recordNumber) const override;
  bool IsRecordNumber(int32_t n) const override {
    return n >= 0 && static_cast<size_t>(n) < records_.size();
  }

 private:
  int32_t Find(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group);

  std::vector<TDataFilterEntry> records_;
  TDataRecord key_;  // a received record is copied in unchanged
  uint64_t nextSerial_ = 1;
  uint64_t revision_ = 0;
};

}  // namespace eventlink
