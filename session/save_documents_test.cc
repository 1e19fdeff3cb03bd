#include "testing/stage_test_support.h"

namespace {

class SaveDocumentsTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    Write("asm.doc", Product("ASM", {"Bolt.1>parts/bolt.doc", "Bolt.2>parts/bolt.doc"}));
    Write("parts/bolt.doc", Product("BOLT"));
  }
};

const char kRename[] =
    "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n{INSTANCE_OBJECTS}{I}\n"
    "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
    "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n{NEW_PARTNUMBER}BOLT-B\n"
    "{NEW_EXTERNAL_LOCATION}parts/bolt-b.doc\n"
    "@I\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt.2\n{NEW_INSTANCENAME}M8.2\n";

// Every stage says it is done, and the console stays silent, when the plan lists nothing.
TEST_F(SaveDocumentsTest, EmptyPlanGoesThroughEveryStage) {
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(Plan("@ROOT\n").LoadDocuments(), 0);
  EXPECT_EQ(plan_->ProcessDocuments(), 0);
  EXPECT_EQ(Log(),
            "Loading documents\nAll documents loaded successfully.\n"
            "Setting new instance names\nAll Instance names set successfully.\n"
            "Setting new part numbers\nAll part numbers set successfully.\n"
            "Saving files\nAll files saved successfully.\n");
  EXPECT_EQ(console.Text(), "");
}

TEST_F(SaveDocumentsTest, WholeRunSavesChildrenUnderNewNamesAndParentsInPlace) {
  ASSERT_EQ(Plan(kRename).LoadDocuments(), 0);
  Log();
  CoutCapture console;
  {
    TraceLevel on(1);
    EXPECT_EQ(plan_->ProcessDocuments(), 0);
  }
  EXPECT_EQ(Log(),
            "Setting new instance names\nFind document in session: asm.doc\n"
            "InstanceName set to: M8.2\nAll Instance names set successfully.\n"
            "Setting new part numbers\nFind document in session: parts/bolt.doc\n"
            "Partnumber set to: BOLT-B\nAll part numbers set successfully.\n"
            "Saving files\nDocument parts/bolt.doc saved as parts/bolt-b.doc\n"
            "Document asm.doc saved as asm.doc\nAll files saved successfully.\n");
  EXPECT_NE(console.Text().find("Document parts/bolt.doc saved as parts/bolt-b.doc\n"
                                "Document asm.doc saved as asm.doc\n"),
            std::string::npos);
  EXPECT_EQ(ReadWholeFile("asm.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber ASM\ncomponent Bolt.1\n"
            "reference parts/bolt-b.doc\ncomponent M8.2\nreference parts/bolt-b.doc\n");
  EXPECT_EQ(ReadWholeFile("parts/bolt-b.doc"), "STANDIN-DOCUMENT 1\nproduct\npartnumber BOLT-B\n");
  EXPECT_EQ(ReadWholeFile("parts/bolt.doc"), Product("BOLT"));  // the old file stays
}

TEST_F(SaveDocumentsTest, FailedSaveIsLoggedAndTheRestStillSaved) {
  Plan(
      "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n"
      "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
      "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n"
      "{NEW_EXTERNAL_LOCATION}missing/bolt.doc\n");
  ASSERT_EQ(plan_->LoadDocuments(), 0);
  Log();
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(plan_->SaveDocuments(), 0);
  EXPECT_EQ(Log(),
            "Saving files\nFailed to save document: parts/bolt.doc\n"
            "Document asm.doc saved as asm.doc\nAll files saved successfully.\n");
  EXPECT_EQ(console.Text(),
            "Failed to save document: parts/bolt.doc\nDocument asm.doc saved as asm.doc\n");
  // The parent still refers to the file it came from, which is whole and unchanged.
  EXPECT_NE(ReadWholeFile("asm.doc").find("reference parts/bolt.doc\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("missing"));
  {
    EnvVar fault("QUORVEL_STANDIN_FAIL", "SaveAs=asm.doc");
    EXPECT_EQ(plan_->SaveDocuments(), 0);
  }
  EXPECT_EQ(Log(),
            "Saving files\nFailed to save document: parts/bolt.doc\n"
            "Failed to save document: asm.doc\nAll files saved successfully.\n");
}

TEST_F(SaveDocumentsTest, DocumentsThatCannotBeFoundStopSaving) {
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(Plan(kRename).SaveDocuments(), 1);  // nothing was loaded
  EXPECT_EQ(Log(), "Saving files\n");
  EXPECT_EQ(console.Text(), "********* Failed to get document: parts/bolt.doc\n");
  EXPECT_EQ(Plan("@ROOT\n{PARENT_OBJECTS}{A}\n@A\n{EXTERNAL_LOCATION}asm.doc\n").SaveDocuments(),
            3);
  EXPECT_EQ(Plan("@ROOT\n{PARENT_OBJECTS}{A}\n@A\n{PARTNUMBER}ASM\n").SaveDocuments(), 4);
  EXPECT_EQ(Log(), "Saving files\nSaving files\n");
}

TEST_F(SaveDocumentsTest, ChangeableRecordWithoutFileStopsSavingBeforeTheRest) {
  ASSERT_EQ(Plan(kRename).LoadDocuments(), 0);  // every document after the bad record is open
  Plan(
      "@ROOT\n{CHILD_OBJECTS}{X}{K}\n{PARENT_OBJECTS}{A}\n"
      "@X\n{PARTNUMBER}NUT\n{NEW_EXTERNAL_LOCATION}parts/nut-b.doc\n"
      "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n"
      "{NEW_EXTERNAL_LOCATION}parts/bolt-b.doc\n"
      "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n");
  Log();
  EXPECT_EQ(plan_->SaveDocuments(), 2);
  EXPECT_EQ(Log(), "Saving files\n");
  EXPECT_FALSE(std::filesystem::exists("parts/bolt-b.doc"));
}

TEST_F(SaveDocumentsTest, DocumentInBothListsIsNotFoundUnderItsOldNameAfterItsSave) {
  Plan(
      "@ROOT\n{PARENT_OBJECTS}{K}\n{CHILD_OBJECTS}{K}\n"
      "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n"
      "{NEW_EXTERNAL_LOCATION}parts/bolt-b.doc\n");
  ASSERT_EQ(plan_->LoadDocuments(), 0);
  Log();
  EXPECT_EQ(plan_->SaveDocuments(), 3);
  EXPECT_EQ(Log(), "Saving files\nDocument parts/bolt.doc saved as parts/bolt-b.doc\n");
}

TEST_F(SaveDocumentsTest, ProcessingStopsAtTheFirstStageThatFails) {
  Plan(kRename);
  ASSERT_EQ(plan_->LoadDocuments(), 0);
  Log();
  {
    EnvVar fault("QUORVEL_STANDIN_FAIL", "GetPrdInstanceName");
    EXPECT_EQ(plan_->ProcessDocuments(), 1);
    EXPECT_EQ(Log(), "Setting new instance names\nFind document in session: asm.doc\n");
  }
  {
    EnvVar fault("QUORVEL_STANDIN_FAIL", "GetDocumentInSession=parts/bolt.doc");
    EXPECT_EQ(plan_->ProcessDocuments(), 2);
    EXPECT_EQ(Log().find("Saving files"), std::string::npos);
  }
  {
    EnvVar fault("QUORVEL_STANDIN_FAIL", "GetDocumentInSession=asm.doc");
    Plan("@ROOT\n{PARENT_OBJECTS}{A}\n@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n");
    EXPECT_EQ(plan_->ProcessDocuments(), 3);
  }
  EXPECT_FALSE(std::filesystem::exists("parts/bolt-b.doc"));
}

}  // namespace
