#pragma once
// Copying, marking and comparing the values that tasks gather.
#include <cstdint>

#include "TesTools.h"

namespace testools {

// The seven fields of the task data block that identify a task.
struct TaskKey {
  int32_t LabelIndex = 0;
  int32_t LabelMajor = 0;
  double KeyTimeFrom = 0;
  double KeyTimeTo = 0;
  int32_t LabelMinor = 0;
  uint8_t KeyKind = 0;
  int32_t KeyExtra = 0;
  bool operator==(const TaskKey&) const = default;  // floats compared exactly
};

TaskKey KeyOfTask(const TUserTask& task);

// Two stamps within half a second of each other denote the same value.
constexpr double kSameStampDays = 0.5 / 86400.0;

void SetAllTaskItemValuesInModify(TTaskItem* item);
void SetAllTaskValuesInModify(TUserTask* task, int32_t itemKey);
void CopyReadyValues(TUserTask* source, TUserTask* destination, bool remove);
void CopyAllValues(TUserTask* source, TUserTask* destination);
TUserTask* CopyTaskOnly(const TUserTask* task);
bool DataOfTasksAreEqual(const TUserTask* first, const TUserTask* second);
void SetTaskvaluesCount(TUserTask* task, int32_t count);
bool GetStatusInfo(const TValueRecord& value, uint8_t bit);
void SetStatusInfo(TValueRecord& value, uint8_t bit, bool on);

}  // namespace testools
