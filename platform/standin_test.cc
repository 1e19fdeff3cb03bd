#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "CATListPV.h"
#include "CATSessionServices.h"
#include "ZTRConfigTopicManager.h"
#include "standin_faults.h"
#include "standin_memory.h"
#include "system/paths.h"
#include "testing/test_support.h"

namespace {

TEST(StandinTest, TraceLevelIsASignAndDigitsWithinInt32) {
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel(nullptr), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel(""), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("3"), 3);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("+007"), 7);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("-2"), -2);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("2147483647"), 2147483647);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("2147483648"), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("99999999999999999999"), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel(" 1"), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("1 "), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("-"), 0);
  EXPECT_EQ(ZTRConfigTopicManager::ParseTraceLevel("0x1"), 0);
}

TEST(StandinTest, LargeBlocksAndTheListsGrownThroughThemHoldWhatIsWritten) {
  for (size_t bytes :
       {size_t{1}, kStandinLargePage - 1, kStandinLargePage, 3 * kStandinLargePage + 5}) {
    char* block = static_cast<char*>(StandinAllocateLarge(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(void*), 0u);
    std::memset(block, 0x5a, bytes);
    EXPECT_EQ(block[0], 0x5a);
    EXPECT_EQ(block[bytes - 1], 0x5a);
    StandinFreeLarge(block, bytes);
  }
  CATRawCollPV list;
  const int count = 300000;  // past several large pages of pointers
  for (int i = 1; i <= count; ++i) list.Append(reinterpret_cast<void*>(static_cast<uintptr_t>(i)));
  ASSERT_EQ(list.Size(), count);
  for (int i = 1; i <= count; i += 7919) {
    EXPECT_EQ(list[i], reinterpret_cast<void*>(static_cast<uintptr_t>(i)));
  }
  EXPECT_EQ(list[count], reinterpret_cast<void*>(static_cast<uintptr_t>(count)));
}

TEST(StandinTest, OneSessionAtATimeDeletedByItsName) {
  CATSession* first = nullptr;
  ASSERT_EQ(Create_Session("Quorvel_Session", first), S_OK);
  ASSERT_NE(first, nullptr);
  CATSession* second = first;
  EXPECT_TRUE(FAILED(Create_Session("Other", second)));
  EXPECT_EQ(second, nullptr);
  EXPECT_TRUE(FAILED(Delete_Session("Other", 0, 0)));
  EXPECT_EQ(Delete_Session("Quorvel_Session", 0, 0), S_OK);
  EXPECT_TRUE(FAILED(Delete_Session("Quorvel_Session", 0, 0)));
}

TEST(StandinTest, FaultsMatchByOperationNameOrStorageName) {
  EnvVar faults("QUORVEL_STANDIN_FAIL",
                "SaveAs=out/../b.doc,SetPrdInstanceName=Bolt.1,Delete_Session");
  EXPECT_TRUE(StandinFault("Delete_Session"));
  EXPECT_FALSE(StandinFault("Create_Session"));
  EXPECT_FALSE(StandinFault("SaveAs"));
  EXPECT_TRUE(StandinFaultOnPath("SaveAs", StorageName("./b.doc")));
  EXPECT_FALSE(StandinFaultOnPath("SaveAs", StorageName("out/b.doc")));
  EXPECT_TRUE(StandinFaultOnName("SetPrdInstanceName", "Bolt.1"));
  EXPECT_FALSE(StandinFaultOnName("SetPrdInstanceName", "Bolt.10"));
  CATSession* session = nullptr;
  ASSERT_EQ(Create_Session("Quorvel_Session", session), S_OK);
  EXPECT_TRUE(FAILED(Delete_Session("Quorvel_Session", 0, 0)));
  EnvVar none("QUORVEL_STANDIN_FAIL", nullptr);
  EXPECT_EQ(Delete_Session("Quorvel_Session", 0, 0), S_OK);
}

}  // namespace
