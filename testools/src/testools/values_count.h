#pragma once
// The library-wide tree of value counters: root, per script, per query, per task. Every node's
// counts equal the sums over its descendants, because each change travels up to the root and
// every node is cleared before it is destroyed.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "TesTools.h"
#include "testools/task_values.h"

namespace testools {

class TCustomValuesCount {
 public:
  explicit TCustomValuesCount(TCustomValuesCount* parent) : parent_(parent) {}
  virtual ~TCustomValuesCount() = default;
  TCustomValuesCount(const TCustomValuesCount&) = delete;
  TCustomValuesCount& operator=(const TCustomValuesCount&) = delete;

  virtual void Clear() {}
  virtual void AddToTotal(int32_t delta);
  virtual void AddToReady(int32_t delta);

  TCustomValuesCount* Parent() const { return parent_; }
  int32_t ReadyCount() const { return ready_; }
  int32_t TotalCount() const { return total_; }

 private:
  TCustomValuesCount* parent_;
  int32_t ready_ = 0;
  int32_t total_ = 0;
};

class TCustomListValuesCount : public TCustomValuesCount {
 public:
  using TCustomValuesCount::TCustomValuesCount;
  ~TCustomListValuesCount() override { TCustomListValuesCount::Clear(); }

  void Clear() override;  // destroys every child
  int ChildCount() const { return static_cast<int>(children_.size()); }
  TCustomValuesCount& Child(int index) { return *children_.at(static_cast<size_t>(index)); }
  void DestroyChild(int index);

 protected:
  TCustomValuesCount& Append(std::unique_ptr<TCustomValuesCount> child);

 private:
  std::vector<std::unique_ptr<TCustomValuesCount>> children_;
};

class TTaskValuesCount : public TCustomValuesCount {
 public:
  TTaskValuesCount(TCustomValuesCount* parent, const TaskKey& key) : TCustomValuesCount(parent), key_(key) {}
  ~TTaskValuesCount() override { TTaskValuesCount::Clear(); }

  void Clear() override;  // takes its counts back out of its ancestors
  const TaskKey& Key() const { return key_; }
  void ApplyValuesCount(int32_t valuesCount);

 private:
  TaskKey key_;
  int32_t lastTotal_ = 0;
};

class TPQLValuesCount : public TCustomListValuesCount {
 public:
  TPQLValuesCount(TCustomValuesCount* parent, int32_t queryId) : TCustomListValuesCount(parent), queryId_(queryId) {}
  int32_t QueryId() const { return queryId_; }
  int IndexOfTask(const TaskKey& key);
  TTaskValuesCount& FindOrAddTask(const TaskKey& key);

 private:
  int32_t queryId_;
};

class TScriptValuesCount : public TCustomListValuesCount {
 public:
  TScriptValuesCount(TCustomValuesCount* parent, int32_t scriptId) : TCustomListValuesCount(parent), scriptId_(scriptId) {}
  int32_t ScriptId() const { return scriptId_; }
  int IndexOfQuery(int32_t queryId);
  TPQLValuesCount& FindOrAddQuery(int32_t queryId);

 private:
  int32_t scriptId_;
};

class TUserValuesCount : public TCustomListValuesCount {
 public:
  TUserValuesCount() : TCustomListValuesCount(nullptr) {}
  int IndexOfScript(int32_t scriptId);
  TScriptValuesCount& FindOrAddScript(int32_t scriptId);
};

// The root and the lock that every counter operation holds for its whole run.
class TCSUserValuesCount {
 public:
  std::recursive_mutex& Lock() { return lock_; }
  TUserValuesCount& Root() { return root_; }

 private:
  std::recursive_mutex lock_;
  TUserValuesCount root_;
};

// The one tree of this library.
TCSUserValuesCount& LibraryValuesCount();

void AddTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
void DeleteTaskValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
void DeletePQLValuesCount(int32_t scriptId, int32_t queryId);
void DeleteScriptValuesCount(int32_t scriptId);
void DeleteAllValuesCount();
int32_t GetAllReadyValuesCount();
int32_t GetAllTotalValuesCount();
int32_t GetScriptReadyValuesCount(int32_t scriptId);
int32_t GetScriptTotalValuesCount(int32_t scriptId);
int32_t GetPQLReadyValuesCount(int32_t scriptId, int32_t queryId);
int32_t GetPQLTotalValuesCount(int32_t scriptId, int32_t queryId);
int32_t GetTaskReadyValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);
int32_t GetTaskTotalValuesCount(int32_t scriptId, int32_t queryId, const TUserTask* task);

}  // namespace testools
