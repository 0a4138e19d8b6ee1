#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filters/data_filter_storage.h"
#include "filters/ev_filters.h"

namespace eventlink {
namespace {

// Entries are told apart by their user data; the callback pointer only needs to be distinct.
void CallbackA() {}
void CallbackB() {}

std::vector<uintptr_t> MatchOrder(TFilterStorage& store, const EvKeys& keys) {
  std::vector<uintptr_t> order;
  store.BeginEvMatch(keys);
  while (store.NextEvMatch()) order.push_back(store.CurrentMatch().UserData);
  EXPECT_EQ(store.CollectEvMatches(keys).size(), order.size());
  return order;
}

TEST(EvFilters, WildcardsNewestFirstThenExactNewestFirst) {
  TFilterStorage store;
  EXPECT_TRUE(store.AddEvFilter({1, -1, -1, -1, -1}, 1, CallbackA, 1));
  EXPECT_TRUE(store.AddEvFilter({1, 2, 3, 4, 5}, 1, CallbackA, 2));
  EXPECT_TRUE(store.AddEvFilter({-1, 2, -1, -1, -1}, 1, CallbackA, 3));
  EXPECT_TRUE(store.AddEvFilter({1, 2, 3, 4, 5}, 2, CallbackA, 4));
  EXPECT_TRUE(store.AddEvFilter({-1, -1, -1, -1, -1}, 5, CallbackA, 5));
  EXPECT_TRUE(store.AddEvFilter({1, 2, 3, 4, 6}, 1, CallbackA, 6));
  EXPECT_TRUE(store.AddEvFilter({9, -1, -1, -1, -1}, 1, CallbackA, 7));

  EXPECT_EQ(MatchOrder(store, {1, 2, 3, 4, 5}), (std::vector<uintptr_t>{5, 3, 1, 4, 2}));
  EXPECT_EQ(MatchOrder(store, {1, 2, 3, 4, 6}), (std::vector<uintptr_t>{5, 3, 1, 6}));
  EXPECT_EQ(MatchOrder(store, {0, 0, 0, 0, 0}), (std::vector<uintptr_t>{5}));
  EXPECT_EQ(MatchOrder(store, {9, 0, 0, 0, 0}), (std::vector<uintptr_t>{7, 5}));
}

TEST(EvFilters, DuplicateKeepsTheFirstEntryAndDeletionTakesTheFirstMatch) {
  TFilterStorage store;
  EXPECT_TRUE(store.AddEvFilter({1, 2, 3, 4, 5}, 1, CallbackA, 10));
  EXPECT_FALSE(store.AddEvFilter({1, 2, 3, 4, 5}, 1, CallbackB, 11));
  EXPECT_TRUE(store.AddEvFilter({1, 2, 3, 4, 5}, 2, CallbackB, 12));
  EXPECT_TRUE(store.AddEvFilter({1, -1, 3, 4, 5}, 1, CallbackA, 13));
  EXPECT_FALSE(store.AddEvFilter({1, -1, 3, 4, 5}, 1, CallbackB, 14));
  ASSERT_EQ(store.EvFilterCount(), 3u);
  EXPECT_EQ(store.EvFilterAt(0).UserData, 13u);  // wildcard store first
  EXPECT_EQ(store.EvFilterAt(1).Callback, &CallbackA);
  EXPECT_EQ(store.EvFilterAt(1).UserData, 10u);

  store.DelEvFilter({1, 2, 3, 4, 5}, 3);  // no such entry
  EXPECT_EQ(store.EvFilterCount(), 3u);
  store.DelEvFilter({1, 2, 3, 4, 5}, 1);
  EXPECT_EQ(MatchOrder(store, {1, 2, 3, 4, 5}), (std::vector<uintptr_t>{13, 12}));
  store.DelEvFilter({1, -1, 3, 4, 5}, 1);
  EXPECT_EQ(MatchOrder(store, {1, 2, 3, 4, 5}), (std::vector<uintptr_t>{12}));
}

TEST(EvFilters, DeletingAGroupLeavesTheOthersInOrder) {
  TFilterStorage store;
  uintptr_t data = 0;
  for (int group : {7, 1, 7, 2, 7, 3}) {
    store.AddEvFilter({1, 2, 3, 4, 5}, group, CallbackA, ++data);
    store.AddEvFilter({1, -1, 3, 4, 5}, group, CallbackA, 100 + data);
  }
  store.DelEvGroup(7);
  EXPECT_EQ(MatchOrder(store, {1, 2, 3, 4, 5}), (std::vector<uintptr_t>{106, 104, 102, 6, 4, 2}));
  std::vector<int32_t> groups;
  for (size_t i = 0; i < store.EvFilterCount(); ++i) groups.push_back(store.EvFilterAt(i).Group);
  EXPECT_EQ(groups, (std::vector<int32_t>{1, 2, 3, 1, 2, 3}));
  store.ClearEvFilters();
  EXPECT_EQ(store.EvFilterCount(), 0u);
  EXPECT_TRUE(MatchOrder(store, {1, 2, 3, 4, 5}).empty());
}

TEST(EvFilters, SnapshotIsUntouchedByChangesDuringDispatch) {
  TFilterStorage store;
  store.AddEvFilter({1, 2, 3, 4, 5}, 1, CallbackA, 1);
  store.AddEvFilter({1, 2, 3, 4, 5}, 2, CallbackA, 2);
  store.AddEvFilter({-1, 2, 3, 4, 5}, 3, CallbackA, 3);
  const auto matches = store.CollectEvMatches({1, 2, 3, 4, 5});
  const uint64_t revision = store.Revision();
  // What a callback might do in the middle of a dispatch.
  store.AddEvFilter({1, 2, 3, 4, 5}, 9, CallbackA, 9);
  store.DelEvGroup(1);
  ASSERT_EQ(matches.size(), 3u);
  EXPECT_EQ(matches[0].UserData, 3u);
  EXPECT_EQ(matches[1].UserData, 2u);
  EXPECT_EQ(matches[2].UserData, 1u);
  EXPECT_NE(store.Revision(), revision);
  EXPECT_TRUE(store.IsSubscribed(matches[1].Serial));
  EXPECT_FALSE(store.IsSubscribed(matches[2].Serial));
}

TEST(SortedArray, ExactIndexStaysSortedAndRenumberedAfterRemoval) {
  TFilterStorage store;
  for (int k : {5, 3, 9, 3, 1}) store.AddEvFilter({k, 0, 0, 0, k}, k * 10 + int(store.EvFilterCount()), CallbackA, 0);
  const TEvExactFilter& exact = store.ExactFilter();
  auto keyAt = [&](size_t slot) { return exact.Records()[exact.IndexAt(slot)].Keys[4]; };
  ASSERT_EQ(exact.IndexCount(), 5u);
  for (size_t slot = 1; slot < 5; ++slot) EXPECT_LE(keyAt(slot - 1), keyAt(slot));
  EXPECT_EQ(exact.IndexAt(1), 3);  // the newer 3 sits before the older one
  store.DelEvFilter({5, 0, 0, 0, 5}, 50);
  ASSERT_EQ(exact.IndexCount(), 4u);
  for (size_t slot = 0; slot < 4; ++slot) EXPECT_LT(exact.IndexAt(slot), 4);
  EXPECT_EQ(MatchOrder(store, {3, 0, 0, 0, 3}).size(), 2u);
  EXPECT_EQ(MatchOrder(store, {9, 0, 0, 0, 9}).size(), 1u);
}

TEST(DataFilters, MatchOnAllFourKeysNewestFirst) {
  TDataFilterStorage store;
  EXPECT_TRUE(store.AddDataFilter(10, 20, 30, 40, 1, CallbackA, 1));
  EXPECT_TRUE(store.AddDataFilter(10, 20, 30, 41, 1, CallbackA, 2));
  EXPECT_TRUE(store.AddDataFilter(10, 20, 30, 40, 2, CallbackA, 3));
  EXPECT_FALSE(store.AddDataFilter(10, 20, 30, 40, 1, CallbackB, 4));
  EXPECT_TRUE(store.AddDataFilter(10, 30, 20, 40, 1, CallbackA, 5));

  TDataRecord record;
  record.Key1 = 10;
  record.Key2 = 20;
  record.Key3 = 30;
  record.Key4 = 40;
  auto order = [&] {
    std::vector<uintptr_t> r;
    for (const auto& e : store.CollectDataMatches(record)) r.push_back(e.UserData);
    return r;
  };
  EXPECT_EQ(order(), (std::vector<uintptr_t>{3, 1}));
  store.DelDataFilter(10, 20, 30, 40, 2);
  EXPECT_EQ(order(), (std::vector<uintptr_t>{1}));
  store.DelDataGroup(1);
  EXPECT_TRUE(order().empty());
  EXPECT_EQ(store.DataFilterCount(), 0u);
  store.AddDataFilter(10, 20, 30, 40, 1, CallbackA, 6);
  store.ClearDataFilters();
  EXPECT_TRUE(order().empty());
}

}  // namespace
}  // namespace eventlink
