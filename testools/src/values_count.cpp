#include "testools/values_count.h"

namespace testools {

void TCustomValuesCount::AddToTotal(int32_t delta) {
  total_ += delta;
  if (parent_ != nullptr) parent_->AddToTotal(delta);
}

void TCustomValuesCount::AddToReady(int32_t delta) {
  ready_ += delta;
  if (parent_ != nullptr) parent_->AddToReady(delta);
}

void TCustomListValuesCount::Clear() {
  while (!children_.empty()) DestroyChild(ChildCount() - 1);
}

void TCustomListValuesCount::DestroyChild(int index) {
  // Detach first, then destroy: the child's clearing still reaches this node through its parent.
  std::unique_ptr<TCustomValuesCount> child = std::move(children_.at(static_cast<size_t>(index)));
  children_.erase(children_.begin() + index);
  child->Clear();
}

TCustomValuesCount& TCustomListValuesCount::Append(std::unique_ptr<TCustomValuesCount> child) {
  children_.push_back(std::move(child));
  return *children_.back();
}

void TTaskValuesCount::Clear() {
  const int32_t total = TotalCount();
  const int32_t ready = ReadyCount();
  if (total != 0) AddToTotal(-total);
  if (ready != 0) AddToReady(-ready);
  lastTotal_ = 0;
}

void TTaskValuesCount::ApplyValuesCount(int32_t valuesCount) {
  if (valuesCount < 0) {
    // The announced total replaces the one announced before.
    AddToTotal(-lastTotal_);
    lastTotal_ = -valuesCount;
    AddToTotal(lastTotal_);
  } else if (valuesCount > 0) {
    AddToReady(valuesCount);
    AddToTotal(-valuesCount);
  }
}

int TPQLValuesCount::IndexOfTask(const TaskKey& key) {
  for (int i = 0; i < ChildCount(); ++i) {
    if (static_cast<TTaskValuesCount&>(Child(i)).Key() == key) return i;
  }
  return -1;
}

TTaskValuesCount& TPQLValuesCount::FindOrAddTask(const TaskKey& key) {
  const int index = IndexOfTask(key);
  if (index >= 0) return static_cast<TTaskValuesCount&>(Child(index));
  return static_cast<TTaskValuesCount&>(Append(std::make_unique<TTaskValuesCount>(this, key)));
}

int TScriptValuesCount::IndexOfQuery(int32_t queryId) {
  for (int i = 0; i < ChildCount(); ++i) {
    if (static_cast<TPQLValuesCount&>(Child(i)).QueryId() == queryId) return i;
  }
  return -1;
}

TPQLValuesCount& TScriptValuesCount::FindOrAddQuery(int32_t queryId) {
  const int index = IndexOfQuery(queryId);
  if (index >= 0) return static_cast<TPQLValuesCount&>(Child(index));
  return static_cast<TPQLValuesCount&>(Append(std::make_unique<TPQLValuesCount>(this, queryId)));
}

int TUserValuesCount::IndexOfScript(int32_t scriptId) {
  for (int i = 0; i < ChildCount(); ++i) {
    if (static_cast<TScriptValuesCount&>(Child(i)).ScriptId() == scriptId) return i;
  }
  return -1;
}

TScriptValuesCount& TUserValuesCount::FindOrAddScript(int32_t scriptId) {
  const int index = IndexOfScript(scriptId);
  if (index >= 0) return static_cast<TScriptValuesCount&>(Child(index));
  return static_cast<TScriptValuesCount&>(Append(std::make_unique<TScriptValuesCount>(this, scriptId)));
}

TCSUserValuesCount& LibraryValuesCount() {
  static TCSUserValuesCount tree;
  return tree;
}

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

TScriptValuesCount* FindScript(int32_t scriptId) {
  TUserValuesCount& root = LibraryValuesCount().Root();
  const int index = root.IndexOfScript(scriptId);
  return index < 0 ? nullptr : &static_cast<TScriptValuesCount&>(root.Child(index));
}

TPQLValuesCount* FindQuery(int32_t scriptId, int32_t queryId) {
  TScriptValuesCount* script = FindScript(scriptId);
  if (script == nullptr) return nullptr;
  const int index = script->IndexOfQuery(queryId);
  return index < 0 ? nullptr : &static_cast<TPQLValuesCount&>(script->Child(index));
}

TTaskValuesCount* FindTask(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  if (task == nullptr) return nullptr;
  TPQLValuesCount* query = FindQuery(scriptId, queryId);
  if (query == nullptr) return nullptr;
  const int index = query->IndexOfTask(KeyOfTask(*task));
  return index < 0 ? nullptr : &static_cast<TTaskValuesCount&>(query->Child(index));
}

void DestroyScriptIfEmpty(int32_t scriptId) {
  TUserValuesCount& root = LibraryValuesCount().Root();
  const int index = root.IndexOfScript(scriptId);
  if (index >= 0 && static_cast<TScriptValuesCount&>(root.Child(index)).ChildCount() == 0) {
    root.DestroyChild(index);
  }
}

}  // namespace

void AddTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  if (task == nullptr) return;
  Guard guard(LibraryValuesCount().Lock());
  TUserValuesCount& root = LibraryValuesCount().Root();
  root.FindOrAddScript(scriptId).FindOrAddQuery(queryId).FindOrAddTask(KeyOfTask(*task)).ApplyValuesCount(task->ValuesCount);
}

void DeleteTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  if (task == nullptr) return;
  Guard guard(LibraryValuesCount().Lock());
  TPQLValuesCount* query = FindQuery(scriptId, queryId);
  if (query == nullptr) return;
  const int index = query->IndexOfTask(KeyOfTask(*task));
  if (index < 0) return;
  query->DestroyChild(index);
  if (query->ChildCount() == 0) DeletePQLValuesCount(scriptId, queryId);
}

void DeletePQLValuesCount(int32_t scriptId, int32_t queryId) {
  Guard guard(LibraryValuesCount().Lock());
  TScriptValuesCount* script = FindScript(scriptId);
  if (script == nullptr) return;
  const int index = script->IndexOfQuery(queryId);
  if (index < 0) return;
  script->DestroyChild(index);
  DestroyScriptIfEmpty(scriptId);
}

void DeleteScriptValuesCount(int32_t scriptId) {
  Guard guard(LibraryValuesCount().Lock());
  TUserValuesCount& root = LibraryValuesCount().Root();
  const int index = root.IndexOfScript(scriptId);
  if (index >= 0) root.DestroyChild(index);
}

void DeleteAllValuesCount() {
  Guard guard(LibraryValuesCount().Lock());
  LibraryValuesCount().Root().Clear();
}

int32_t GetAllReadyValuesCount() {
  Guard guard(LibraryValuesCount().Lock());
  return LibraryValuesCount().Root().ReadyCount();
}

int32_t GetAllTotalValuesCount() {
  Guard guard(LibraryValuesCount().Lock());
  return LibraryValuesCount().Root().TotalCount();
}

int32_t GetScriptReadyValuesCount(int32_t scriptId) {
  Guard guard(LibraryValuesCount().Lock());
  const TScriptValuesCount* node = FindScript(scriptId);
  return node ? node->ReadyCount() : 0;
}

int32_t GetScriptTotalValuesCount(int32_t scriptId) {
  Guard guard(LibraryValuesCount().Lock());
  const TScriptValuesCount* node = FindScript(scriptId);
  return node ? node->TotalCount() : 0;
}

int32_t GetPQLReadyValuesCount(int32_t scriptId, int32_t queryId) {
  Guard guard(LibraryValuesCount().Lock());
  const TPQLValuesCount* node = FindQuery(scriptId, queryId);
  return node ? node->ReadyCount() : 0;
}

int32_t GetPQLTotalValuesCount(int32_t scriptId, int32_t queryId) {
  Guard guard(LibraryValuesCount().Lock());
  const TPQLValuesCount* node = FindQuery(scriptId, queryId);
  return node ? node->TotalCount() : 0;
}

int32_t GetTaskReadyValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  Guard guard(LibraryValuesCount().Lock());
  const TTaskValuesCount* node = FindTask(scriptId, queryId, task);
  return node ? node->ReadyCount() : 0;
}

int32_t GetTaskTotalValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task) {
  Guard guard(LibraryValuesCount().Lock());
  const TTaskValuesCount* node = FindTask(scriptId, queryId, task);
  return node ? node->TotalCount() : 0;
}

}  // namespace testools
