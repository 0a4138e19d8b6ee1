// The task model and the task-value exports.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TesTools.h"

namespace {

constexpr double kTen = 45000.0 + 10.0 / 24;  // some day, 10:00:00
constexpr double kSecond = 1.0 / 86400;

TValueRecord& AddValue(TUserTask& task, int32_t item, double stamp, bool ready, uint8_t payload = 0) {
  TValueRecord& v = task.FindOrAddItem(item).AddValue();
  v.TimeStamp = stamp;
  v.Ready = ready ? 1 : 0;
  v.Payload[0] = payload;
  return v;
}

}  // namespace

TEST(TaskModel, ValuesCountFollowsAdditionsAndRemovals) {
  TUserTask task;
  AddValue(task, 5, kTen, true);
  AddValue(task, 2, kTen, true);
  AddValue(task, 5, kTen + kSecond, false);
  EXPECT_EQ(task.ValuesCount, 3);
  ASSERT_EQ(task.ItemCount(), 2);
  EXPECT_EQ(task.Item(0).ItemKey, 2);  // kept in key order
  task.Item(1).DeleteValue(0);
  EXPECT_EQ(task.ValuesCount, 2);
  task.RemoveItem(1);
  EXPECT_EQ(task.ValuesCount, 1);
  TValueRecord& fresh = task.FindOrAddItem(9).AddValue();
  EXPECT_EQ(fresh.Flags & kValueFlagsClearedOnAdd, 0);
}

TEST(TaskValues, ReadyValueWithinHalfASecondOverwritesTheMatch) {
  struct Case {
    double offsetSeconds;
    int valuesAfter;
    uint8_t firstPayload;
  } cases[] = {{0.3, 1, 2}, {-0.49, 1, 2}, {0.6, 2, 1}, {-0.51, 2, 1}};
  for (const Case& c : cases) {
    TUserTask source, destination;
    AddValue(destination, 1, kTen, false, 1);
    AddValue(source, 1, kTen + c.offsetSeconds * kSecond, true, 2);
    AddValue(source, 1, kTen + 5 * kSecond, false, 4);  // not ready: not copied
    CopyReadyValues(&source, &destination, false);
    TTaskItem* item = destination.FindItem(1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Count(), c.valuesAfter) << c.offsetSeconds;
    EXPECT_EQ(item->Value(0).Payload[0], c.firstPayload) << c.offsetSeconds;
    EXPECT_EQ(item->Value(item->Count() - 1).Ready, 1);
    EXPECT_EQ(destination.ValuesCount, c.valuesAfter);
    EXPECT_EQ(source.ValuesCount, 2);  // nothing removed
  }
}

TEST(TaskValues, CopyReadyWithRemoveDropsReadyValuesAndEmptyItems) {
  TUserTask source, destination;
  AddValue(source, 1, kTen, true);
  AddValue(source, 2, kTen, true);
  AddValue(source, 2, kTen + kSecond, false);
  source.FindOrAddItem(3);  // empty before: removed too
  CopyReadyValues(&source, &destination, true);

  ASSERT_EQ(source.ItemCount(), 1);
  EXPECT_EQ(source.Item(0).ItemKey, 2);
  EXPECT_EQ(source.Item(0).Count(), 1);
  EXPECT_EQ(source.ValuesCount, 1);
  ASSERT_EQ(destination.ItemCount(), 2);
  EXPECT_EQ(destination.Item(0).ItemKey, 1);
  EXPECT_EQ(destination.ValuesCount, 2);
}

TEST(TaskValues, CopyAllAddsDuplicatesWithoutMatching) {
  TUserTask source, destination;
  AddValue(source, 4, kTen, false, 7);
  CopyAllValues(&source, &destination);
  CopyAllValues(&source, &destination);
  ASSERT_NE(destination.FindItem(4), nullptr);
  EXPECT_EQ(destination.FindItem(4)->Count(), 2);
  EXPECT_EQ(destination.FindItem(4)->Value(1).Payload[0], 7);
  CopyAllValues(&source, &source);  // into itself: doubles once, no runaway
  EXPECT_EQ(source.ValuesCount, 2);
}

TEST(TaskValues, ModifyMarksTheItemOrEveryItem) {
  TUserTask task;
  AddValue(task, 1, kTen, false);
  AddValue(task, 2, kTen, false);
  SetAllTaskValuesInModify(&task, 2);
  EXPECT_EQ(task.FindItem(1)->Value(0).Flags & kValueFlagInModify, 0);
  EXPECT_NE(task.FindItem(2)->Value(0).Flags & kValueFlagInModify, 0);
  SetAllTaskValuesInModify(&task, 77);  // unknown key: every item
  EXPECT_NE(task.FindItem(1)->Value(0).Flags & kValueFlagInModify, 0);
}

TEST(TaskValues, CopyTaskOnlyAndKeyEquality) {
  TUserTask task;
  task.Data.LabelMajor = 7;
  task.Data.KeyTimeFrom = 1.5;
  task.Data.Name = "meters";
  task.Data.Text76 = "kept";
  AddValue(task, 1, kTen, true);
  std::unique_ptr<TUserTask> copy(CopyTaskOnly(&task));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->ItemCount(), 0);
  EXPECT_EQ(copy->Data.Text76, "kept");
  EXPECT_TRUE(DataOfTasksAreEqual(&task, copy.get()));
  copy->Data.Name = "other name";  // not part of the key
  EXPECT_TRUE(DataOfTasksAreEqual(&task, copy.get()));
  copy->Data.KeyTimeFrom = 1.5 + 1e-12;
  EXPECT_FALSE(DataOfTasksAreEqual(&task, copy.get()));
  EXPECT_FALSE(DataOfTasksAreEqual(&task, nullptr));
  EXPECT_EQ(CopyTaskOnly(nullptr), nullptr);
  SetTaskvaluesCount(&task, -10);
  EXPECT_EQ(task.ValuesCount, -10);
}

TEST(TaskValues, StatusBits) {
  TValueRecord v;
  SetStatusInfo(v, 63, true);
  EXPECT_TRUE(GetStatusInfo(v, 63));
  SetStatusInfo(v, 64, true);  // addresses no bit
  EXPECT_FALSE(GetStatusInfo(v, 64));
  // The status bits are bytes 9..16 of the record, little-endian.
  const auto* raw = reinterpret_cast<const uint8_t*>(&v);
  EXPECT_EQ(std::vector<uint8_t>(raw + 9, raw + 17), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x80}));
  SetStatusInfo(v, 63, false);
  EXPECT_EQ(std::vector<uint8_t>(raw + 9, raw + 17), std::vector<uint8_t>(8, 0));
}
