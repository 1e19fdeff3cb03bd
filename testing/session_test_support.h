// A fixture with a scratch folder as the working directory and a live session, deleted after
// the test if the test has not deleted it. Fixtures that write documents do so in their own
// SetUp after this one's.
#ifndef TESTING_SESSION_TEST_SUPPORT_H
#define TESTING_SESSION_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "CATSessionServices.h"
#include "testing/test_support.h"

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Create_Session("Quorvel_Session", session_), S_OK); }
  void TearDown() override { Delete_Session("Quorvel_Session", 0, 0); }

  InScratchDir in_scratch_dir_;
  const ScratchDir& dir_ = in_scratch_dir_.dir();
  CATSession* session_ = nullptr;
};

#endif  // TESTING_SESSION_TEST_SUPPORT_H
