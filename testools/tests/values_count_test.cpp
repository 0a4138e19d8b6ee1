// The library's value-counter tree through the exports.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TesTools.h"

namespace {

class ValuesCountTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteAllValuesCount(); }
  void TearDown() override { DeleteAllValuesCount(); }

  static void ExpectCounts(const TUserTask& task, int total, int ready) {
    EXPECT_EQ(GetAllTotalValuesCount(), total);
    EXPECT_EQ(GetScriptTotalValuesCount(1), total);
    EXPECT_EQ(GetPQLTotalValuesCount(1, 2), total);
    EXPECT_EQ(GetTaskTotalValuesCount(1, 2, &task), total);
    EXPECT_EQ(GetAllReadyValuesCount(), ready);
    EXPECT_EQ(GetScriptReadyValuesCount(1), ready);
    EXPECT_EQ(GetPQLReadyValuesCount(1, 2), ready);
    EXPECT_EQ(GetTaskReadyValuesCount(1, 2, &task), ready);
  }
};

}  // namespace

TEST_F(ValuesCountTest, AnnounceThenReadyThenDelete) {
  TUserTask task;
  task.ValuesCount = -10;
  AddTaskValuesCount(1, 2, &task);
  ExpectCounts(task, 10, 0);
  task.ValuesCount = 4;
  AddTaskValuesCount(1, 2, &task);
  ExpectCounts(task, 6, 4);
  DeleteTaskValuesCount(1, 2, &task);
  ExpectCounts(task, 0, 0);
  // The empty query and script nodes went with it: a new task starts a fresh path.
  TUserTask other;
  other.Data.LabelIndex = 5;
  other.ValuesCount = -1;
  AddTaskValuesCount(1, 2, &other);
  EXPECT_EQ(GetTaskTotalValuesCount(1, 2, &task), 0);
  EXPECT_EQ(GetScriptTotalValuesCount(1), 1);
}

TEST_F(ValuesCountTest, RepeatedAnnouncementReplacesTheTotal) {
  TUserTask task;
  task.ValuesCount = -10;
  AddTaskValuesCount(1, 2, &task);
  AddTaskValuesCount(1, 2, &task);
  ExpectCounts(task, 10, 0);
  task.ValuesCount = 0;
  AddTaskValuesCount(1, 2, &task);
  ExpectCounts(task, 10, 0);
}

TEST_F(ValuesCountTest, SumsOverSiblingsAndPartialDeletes) {
  TUserTask a, b;
  b.Data.KeyKind = 1;
  a.ValuesCount = -3;
  b.ValuesCount = -5;
  AddTaskValuesCount(1, 2, &a);
  AddTaskValuesCount(1, 2, &b);
  AddTaskValuesCount(1, 3, &b);
  AddTaskValuesCount(9, 2, &a);
  EXPECT_EQ(GetPQLTotalValuesCount(1, 2), 8);
  EXPECT_EQ(GetScriptTotalValuesCount(1), 13);
  EXPECT_EQ(GetAllTotalValuesCount(), 16);

  DeleteTaskValuesCount(1, 2, &a);  // query 2 keeps b
  EXPECT_EQ(GetPQLTotalValuesCount(1, 2), 5);
  DeletePQLValuesCount(1, 3);
  EXPECT_EQ(GetScriptTotalValuesCount(1), 5);
  DeleteScriptValuesCount(9);
  EXPECT_EQ(GetAllTotalValuesCount(), 5);
  EXPECT_EQ(GetScriptTotalValuesCount(9), 0);
}

TEST_F(ValuesCountTest, MissingNodesGiveZeroAndDeletesDoNothing) {
  TUserTask task;
  EXPECT_EQ(GetTaskReadyValuesCount(42, 1, &task), 0);
  EXPECT_EQ(GetPQLReadyValuesCount(42, 1), 0);
  task.ValuesCount = -2;
  AddTaskValuesCount(1, 2, nullptr);
  EXPECT_EQ(GetAllTotalValuesCount(), 0);
  AddTaskValuesCount(1, 2, &task);
  DeleteTaskValuesCount(1, 7, &task);
  DeletePQLValuesCount(5, 2);
  DeleteScriptValuesCount(5);
  DeleteTaskValuesCount(1, 2, nullptr);
  EXPECT_EQ(GetAllTotalValuesCount(), 2);
}

TEST_F(ValuesCountTest, ConcurrentUpdatesKeepTheSums) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        TUserTask task;
        task.Data.LabelIndex = i;
        task.ValuesCount = -2;
        AddTaskValuesCount(t, 1, &task);
        task.ValuesCount = 1;
        AddTaskValuesCount(t, 1, &task);
        if (i % 2 == 0) DeleteTaskValuesCount(t, 1, &task);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(GetAllTotalValuesCount(), 4 * 100);
  EXPECT_EQ(GetAllReadyValuesCount(), 4 * 100);
}
