#pragma once
// The event subscriptions of one connection: entries with wildcards (-1 keys) in one store,
// exact entries in another, indexed for matching a received event.
#include <array>
#include <cstdint>
#include <vector>

#include "filters/filter_entry.h"
#include "filters/sorted_array.h"

namespace eventlink {

using EvKeys = std::array<int32_t, 5>;  // Key1..Key5
inline constexpr int32_t kAnyKey = -1;

struct TEvFilterEntry {
  EvKeys Keys{};             // -1 = any value
  int32_t WildcardBits = 0;  // bit k set when Keys[k] is -1
  int32_t Group = 0;
  TCodePointer Callback = nullptr;
  uintptr_t UserData = 0;
  uint64_t Serial = 0;  // unique per store, to recognise an entry after the store changed
};

int32_t WildcardBitsOf(const EvKeys& keys);
bool EvEntryMatches(const TEvFilterEntry& entry, const EvKeys& eventKeys);

// Shared by both event stores: records in subscription order plus the sorted index.
class TEvFilterList : public TSortedArray {
 public:
  const std::vector<TEvFilterEntry>& Records() const { return records_; }
  TEvFilterEntry& SearchKey() { return key_; }

  // Record number of the first entry with these keys and group, or -1.
  int32_t Find(const EvKeys& keys, int32_t group);
  void Add(const TEvFilterEntry& entry);
  void RemoveRecord(int32_t recordNumber);
  // Returns the number of entries removed; the others keep their order.
  size_t RemoveGroup(int32_t group);
  void ClearRecords();

 protected:
  bool IsRecordNumber(int32_t n) const override {
    return n >= 0 && static_cast<size_t>(n) < records_.size();
  }
  std::vector<TEvFilterEntry> records_;
  TEvFilterEntry key_;
};

// Entries with at least one wildcard, indexed by their wildcard bits.
class TEvMaskFilter : public TEvFilterList {
 protected:
  int32_t Compare(int32_t recordNumber) const override;
};

// Entries without wildcards, indexed by Key5, Key4, Key3, Key2, Key1.
class TEvExactFilter : public TEvFilterList {
 protected:
  int32_t Compare(int32_t recordNumber) const override;
};

class TFilterStorage {
 public:
  // True when added; a duplicate (same keys and group) leaves the first entry as it is.
  bool AddEvFilter(const EvKeys& keys, int32_t group, TCodePointer callback, uintptr_t userData);
  void DelEvFilter(const EvKeys& keys, int32_t group);
  void DelEvGroup(int32_t group);
  void ClearEvFilters();

  // Enumeration: wildcard matches newest first, then exact matches newest first.
  void BeginEvMatch(const EvKeys& eventKeys);
  bool NextEvMatch();
  const TEvFilterEntry& CurrentMatch() const { return current_; }

  // The matches of one event copied out before any callback runs, so that a callback may
  // change the subscriptions without disturbing the dispatch.
  std::vector<TEvFilterEntry> CollectEvMatches(const EvKeys& eventKeys);
  // Whether an entry collected earlier is still subscribed.
  bool IsSubscribed(uint64_t serial) const;
  // Changes whenever an entry is removed.
  uint64_t Revision() const { return revision_; }

  // Wildcard entries first, then exact ones, each in subscription order.
  size_t EvFilterCount() const;
  const TEvFilterEntry& EvFilterAt(size_t i) const;

  const TEvMaskFilter& MaskFilter() const { return mask_; }
  const TEvExactFilter& ExactFilter() const { return exact_; }

 private:
  TEvFilterList& StoreFor(int32_t wildcardBits);

  TEvMaskFilter mask_;
  TEvExactFilter exact_;
  int32_t counter_ = 0;
  EvKeys eventKeys_{};
  TEvFilterEntry current_;
  uint64_t nextSerial_ = 1;
  uint64_t revision_ = 0;
};

}  // namespace eventlink
