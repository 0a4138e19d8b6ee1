#include "testools/task_values.h"

#include <cmath>
#include <cstring>
#include <mutex>

namespace testools {

namespace {

void CopyRecordBytes(const TValueRecord& from, TValueRecord& to) {
  if (&from != &to) std::memcpy(&to, &from, sizeof(TValueRecord));
}

TValueRecord& MatchingOrNewValue(TTaskItem& item, double stamp) {
  for (int i = 0; i < item.Count(); ++i) {
    if (std::fabs(item.Value(i).TimeStamp - stamp) < kSameStampDays) return item.Value(i);
  }
  TValueRecord& added = item.AddValue();
  added.TimeStamp = stamp;
  return added;
}

}  // namespace

TaskKey KeyOfTask(const TUserTask& task) {
  const TRUserTaskData& d = task.Data;
  return TaskKey{d.LabelIndex, d.LabelMajor, d.KeyTimeFrom, d.KeyTimeTo, d.LabelMinor, d.KeyKind, d.KeyExtra};
}

void SetAllTaskItemValuesInModify(TTaskItem* item) {
  if (item == nullptr) return;
  for (int i = 0; i < item->Count(); ++i) item->Value(i).Flags |= kValueFlagInModify;
}

void SetAllTaskValuesInModify(TUserTask* task, int32_t itemKey) {
  if (task == nullptr) return;
  // The lock guards each read of the task; the marking itself runs outside it.
  TTaskItem* item;
  {
    std::lock_guard lock(task->Lock());
    item = task->FindItem(itemKey);
  }
  if (item != nullptr) {
    testools::SetAllTaskItemValuesInModify(item);
    return;
  }
  int count;
  {
    std::lock_guard lock(task->Lock());
    count = task->ItemCount();
  }
  for (int i = 0; i < count; ++i) {
    TTaskItem* each;
    {
      std::lock_guard lock(task->Lock());
      if (i >= task->ItemCount()) break;
      each = &task->Item(i);
    }
    testools::SetAllTaskItemValuesInModify(each);
  }
}

void CopyReadyValues(TUserTask* source, TUserTask* destination, bool remove) {
  if (source == nullptr) return;
  if (destination != nullptr) {
    for (int i = 0; i < source->ItemCount(); ++i) {
      TTaskItem& item = source->Item(i);
      for (int v = 0; v < item.Count(); ++v) {
        const TValueRecord& value = item.Value(v);
        if (value.Ready == 0) continue;
        TTaskItem& target = destination->FindOrAddItem(item.ItemKey);
        CopyRecordBytes(value, MatchingOrNewValue(target, value.TimeStamp));
      }
    }
  }
  if (!remove) return;
  for (int i = source->ItemCount() - 1; i >= 0; --i) {
    TTaskItem& item = source->Item(i);
    for (int v = item.Count() - 1; v >= 0; --v) {
      if (item.Value(v).Ready != 0) item.DeleteValue(v);
    }
    if (item.Count() == 0) source->RemoveItem(i);
  }
}

void CopyAllValues(TUserTask* source, TUserTask* destination) {
  if (source == nullptr || destination == nullptr) return;
  // Counts taken first: copying a task into itself must not chase its own additions.
  const int items = source->ItemCount();
  for (int i = 0; i < items; ++i) {
    TTaskItem& item = source->Item(i);
    TTaskItem& target = destination->FindOrAddItem(item.ItemKey);
    const int values = item.Count();
    for (int v = 0; v < values; ++v) {
      TValueRecord& added = target.AddValue();
      CopyRecordBytes(item.Value(v), added);
    }
  }
}

TUserTask* CopyTaskOnly(const TUserTask* task) {
  if (task == nullptr) return nullptr;
  auto* copy = new TUserTask(task->Logger);
  copy->Data = task->Data;
  return copy;
}

bool DataOfTasksAreEqual(const TUserTask* first, const TUserTask* second) {
  if (first == nullptr || second == nullptr) return false;
  return KeyOfTask(*first) == KeyOfTask(*second);
}

void SetTaskvaluesCount(TUserTask* task, int32_t count) {
  if (task != nullptr) task->ValuesCount = count;
}

bool GetStatusInfo(const TValueRecord& value, uint8_t bit) {
  const uint64_t status = value.Status;
  return bit < 64 && ((status >> bit) & 1u) != 0;
}

void SetStatusInfo(TValueRecord& value, uint8_t bit, bool on) {
  if (bit >= 64) return;
  uint64_t status = value.Status;
  if (on) {
    status |= uint64_t{1} << bit;
  } else {
    status &= ~(uint64_t{1} << bit);
  }
  value.Status = status;
}

}  // namespace testools
