#include "testing/stage_test_support.h"

namespace {

using SetNewPartNumbersTest = StageTest;

const char kBolt[] =
    "@ROOT\n{CHILD_OBJECTS}{K}\n"
    "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}bolt.doc\n{NEW_PARTNUMBER}BOLT-B\n";

TEST_F(SetNewPartNumbersTest, ChecksTheCurrentNumberAndSetsTheNewOne) {
  Write("bolt.doc", Product("BOLT"));
  ASSERT_EQ(Plan(kBolt).LoadDocuments(), 0);
  Log();
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(plan_->SetNewPartNumbers(), 0);
  EXPECT_EQ(Log(),
            "Setting new part numbers\nFind document in session: bolt.doc\n"
            "Partnumber set to: BOLT-B\nAll part numbers set successfully.\n");
  EXPECT_EQ(console.Text(), "Partnumber set to: BOLT-B\n");
  EXPECT_EQ(PartNumberInSession("bolt.doc"), "BOLT-B");
}

TEST_F(SetNewPartNumbersTest, TwoRecordsOnOneDocumentStopAtTheSecondCheck) {
  Write("bolt.doc", Product("BOLT"));
  Plan(
      "@ROOT\n{CHILD_OBJECTS}{K}{K2}\n"
      "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}bolt.doc\n{NEW_PARTNUMBER}BOLT-B\n"
      "@K2\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}./bolt.doc\n{NEW_PARTNUMBER}BOLT-C\n");
  ASSERT_EQ(plan_->LoadDocuments(), 0);
  Log();
  EXPECT_EQ(plan_->SetNewPartNumbers(), 3);
  EXPECT_EQ(Log(),
            "Setting new part numbers\nFind document in session: bolt.doc\n"
            "Partnumber set to: BOLT-B\nFind document in session: ./bolt.doc\n");
  EXPECT_EQ(PartNumberInSession("bolt.doc"), "BOLT-B");
}

TEST_F(SetNewPartNumbersTest, DocumentNameMissingOrNotInTheSession) {
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(Plan("@ROOT\n{CHILD_OBJECTS}{K}\n@K\n{PARTNUMBER}BOLT\n").SetNewPartNumbers(), 4);
  EXPECT_EQ(Log(), "Setting new part numbers\nFailed to find document name for partnumber: BOLT\n");
  EXPECT_EQ(Plan(kBolt).SetNewPartNumbers(), 1);  // never loaded
  EXPECT_EQ(Log(), "Setting new part numbers\nFailed to get document: bolt.doc\n");
  EXPECT_EQ(console.Text(),
            "********* Failed to find document name for partnumber: BOLT\n"
            "********* Failed to get document: bolt.doc\n");
}

TEST_F(SetNewPartNumbersTest, NoRootProductGivesTwo) {
  Write("bolt.doc", Product("BOLT"));
  ASSERT_EQ(Plan(kBolt).LoadDocuments(), 0);
  Log();
  EnvVar fault("QUORVEL_STANDIN_FAIL", "GiveDocRoots");
  EXPECT_EQ(plan_->SetNewPartNumbers(), 2);
  EXPECT_EQ(Log(), "Setting new part numbers\nFind document in session: bolt.doc\n");
}

}  // namespace
