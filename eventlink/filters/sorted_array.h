#pragma once
// An index of record numbers kept sorted by the derived class's comparison against the
// search key that the derived class holds; the records themselves live in the derived class.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace eventlink {

class TSortedArray {
 public:
  static constexpr int32_t kNoPosition = -1;
  static constexpr int32_t kSearchStarted = -2;

  virtual ~TSortedArray() = default;

  void Clear();
  // Current position = first slot whose record does not sort before the search key
  // (the slot count when every record does).
  void LowerBound();
  // Places the record number before the existing records equal to the search key.
  void Insert(int32_t recordNumber);
  void StartSearch() { position_ = kSearchStarted; }
  // Steps through the run of records equal to the search key.
  bool Next();
  // The record number at the current position, or -1.
  int32_t Current() const;
  // Deletes the slot holding n and renumbers the slots above n.
  void RemoveRecordNumber(int32_t n);

  size_t IndexCount() const { return index_.size(); }
  int32_t IndexAt(size_t slot) const { return index_[slot]; }
  int32_t Position() const { return position_; }

 protected:
  // 0 when the record equals the search key, 1 when it sorts before it, -1 when it sorts
  // after it or the number is not a record.
  virtual int32_t Compare(int32_t recordNumber) const = 0;
  virtual bool IsRecordNumber(int32_t recordNumber) const = 0;

  // For bulk removal: keeps the slots whose record survives, renumbered by `newNumbers`
  // (old number -> new number, -1 for removed records).
  void Renumber(const std::vector<int32_t>& newNumbers);

 private:
  std::vector<int32_t> index_;
  int32_t position_ = kNoPosition;
};

}  // namespace eventlink
