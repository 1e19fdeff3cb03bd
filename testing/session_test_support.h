// A fixture with a scratch folder as the working directory and a live session, deleted after
// the test if the test has not deleted it. Fixtures that write documents do so in their own
// SetUp after this one's.
#ifndef TESTING_SESSION_TEST_SUPPORT_H
#define TESTING_SESSION_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <filesystem>

#include "CATSessionServices.h"
#include "testing/test_support.h"

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    ASSERT_EQ(Create_Session("Quorvel_Session", session_), S_OK);
  }
  void TearDown() override {
    Delete_Session("Quorvel_Session", 0, 0);
    std::filesystem::current_path(old_cwd_);
  }

  ScratchDir dir_;

 private:
  std::filesystem::path old_cwd_;
  CATSession* session_ = nullptr;
};

#endif  // TESTING_SESSION_TEST_SUPPORT_H
