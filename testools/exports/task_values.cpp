// Exports: task values.
#include "TesTools.h"
#include "testools/task_values.h"

void SetAllTaskItemValuesInModify(TTaskItem* item) { testools::SetAllTaskItemValuesInModify(item); }
void SetAllTaskValuesInModify(TUserTask* task, int32_t itemKey) { testools::SetAllTaskValuesInModify(task, itemKey); }
void CopyReadyValues(TUserTask* source, TUserTask* destination, bool remove) {
  testools::CopyReadyValues(source, destination, remove);
}
void CopyAllValues(TUserTask* source, TUserTask* destination) { testools::CopyAllValues(source, destination); }
TUserTask* CopyTaskOnly(const TUserTask* task) { return testools::CopyTaskOnly(task); }
bool DataOfTasksAreEqual(const TUserTask* first, const TUserTask* second) {
  return testools::DataOfTasksAreEqual(first, second);
}
void SetTaskvaluesCount(TUserTask* task, int32_t count) { testools::SetTaskvaluesCount(task, count); }
bool GetStatusInfo(const TValueRecord& value, uint8_t bit) { return testools::GetStatusInfo(value, bit); }
void SetStatusInfo(TValueRecord& value, uint8_t bit, bool on) { testools::SetStatusInfo(value, bit, on); }
