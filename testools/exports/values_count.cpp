// Exports: value counters.
#include "TesTools.h"
#include "testools/values_count.h"

void AddTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  testools::AddTaskValuesCount(scriptId, queryId, task);
}
void DeleteTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  testools::DeleteTaskValuesCount(scriptId, queryId, task);
}
void DeletePQLValuesCount(int32_t scriptId, int32_t queryId) { testools::DeletePQLValuesCount(scriptId, queryId); }
void DeleteScriptValuesCount(int32_t scriptId) { testools::DeleteScriptValuesCount(scriptId); }
void DeleteAllValuesCount() { testools::DeleteAllValuesCount(); }
int32_t GetAllReadyValuesCount() { return testools::GetAllReadyValuesCount(); }
int32_t GetAllTotalValuesCount() { return testools::GetAllTotalValuesCount(); }
int32_t GetScriptReadyValuesCount(int32_t scriptId) { return testools::GetScriptReadyValuesCount(scriptId); }
int32_t GetScriptTotalValuesCount(int32_t scriptId) { return testools::GetScriptTotalValuesCount(scriptId); }
int32_t GetPQLReadyValuesCount(int32_t scriptId, int32_t queryId) {
  return testools::GetPQLReadyValuesCount(scriptId, queryId);
}
int32_t GetPQLTotalValuesCount(int32_t scriptId, int32_t queryId) {
  return testools::GetPQLTotalValuesCount(scriptId, queryId);
}
int32_t GetTaskReadyValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  return testools::GetTaskReadyValuesCount(scriptId, queryId, task);
}
int32_t GetTaskTotalValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  return testools::GetTaskTotalValuesCount(scriptId, queryId, task);
}
