#include "testing/stage_test_support.h"

namespace {

using LoadDocumentsTest = StageTest;

const char kTwoLists[] =
    "@ROOT\n{PARENT_OBJECTS}{A}\n{CHILD_OBJECTS}{K}\n"
    "@A\n{PARTNUMBER}ASM-PLAN\n{EXTERNAL_LOCATION}asm.doc\n"
    "@K\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}parts/bolt.doc\n";

TEST_F(LoadDocumentsTest, OpensEveryDocumentAndSetsThePlansPartNumber) {
  Write("asm.doc", Product("ASM-FILE", {"Bolt.1>parts/bolt.doc"}) + "product\npartnumber SECOND\n");
  Write("parts/bolt.doc", Product("BOLT"));
  CoutCapture console;
  {
    TraceLevel on(1);
    EXPECT_EQ(Plan(kTwoLists).LoadDocuments(), 0);
  }
  EXPECT_EQ(Log(),
            "Loading documents\nDocument loaded: asm.doc\nPartnumber set to: ASM-PLAN\n"
            "Document loaded: parts/bolt.doc\nPartnumber set to: BOLT\n"
            "All documents loaded successfully.\n");
  EXPECT_EQ(console.Text(),
            "Loading document: asm.doc...\nPartnumber set to: ASM-PLAN\nLoading completed\n"
            "Loading document: parts/bolt.doc...\nPartnumber set to: BOLT\nLoading completed\n");
  EXPECT_EQ(PartNumberInSession("asm.doc"), "ASM-PLAN");  // the first root only
}

TEST_F(LoadDocumentsTest, StopsAtTheFirstDocumentThatCannotBeOpened) {
  Write("parts/bolt.doc", Product("BOLT"));
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(Plan(kTwoLists).LoadDocuments(), 1);  // asm.doc is missing
  EXPECT_EQ(Log(), "Loading documents\nFailed to load document: asm.doc\n");
  EXPECT_EQ(console.Text(),
            "Loading document: asm.doc...\n********* Failed to load document: asm.doc\n");
  EXPECT_EQ(PartNumberInSession("parts/bolt.doc"), "(not open)");

  Write("asm.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber A\npartnumber B\n");  // malformed
  EXPECT_EQ(plan_->LoadDocuments(), 1);
  EXPECT_EQ(Log(), "Loading documents\nFailed to load document: asm.doc\n");
}

TEST_F(LoadDocumentsTest, ChangeableDocumentsFailWithTheirOwnResults) {
  Write("asm.doc", Product("ASM"));
  Write("parts/bolt.doc", "STANDIN-DOCUMENT 1\nother\n");
  EXPECT_EQ(Plan(kTwoLists).LoadDocuments(), 4);  // the first root is no product
  EXPECT_EQ(Log(),
            "Loading documents\nDocument loaded: asm.doc\nPartnumber set to: ASM-PLAN\n"
            "Document loaded: parts/bolt.doc\n");
  EXPECT_EQ(PartNumberInSession("asm.doc"), "ASM-PLAN");
  EnvVar fault("QUORVEL_STANDIN_FAIL", "OpenDocument=parts/bolt.doc");
  Plan(kTwoLists);
  EXPECT_EQ(plan_->LoadDocuments(), 3);
}

TEST_F(LoadDocumentsTest, EveryWayToMissTheRootProductGivesTwo) {
  Write("asm.doc", Product("ASM"));
  Write("empty.doc", "STANDIN-DOCUMENT 1\n# no roots at all\n");
  Plan("@ROOT\n{PARENT_OBJECTS}{E}\n@E\n{EXTERNAL_LOCATION}empty.doc\n");
  EXPECT_EQ(plan_->LoadDocuments(), 2);
  EXPECT_EQ(Log(), "Loading documents\nDocument loaded: empty.doc\n");
  for (const char* fault :
       {"IID_CATIEditor=asm.doc", "IID_CATIDocRoots=asm.doc", "GiveDocRoots=./asm.doc"}) {
    EnvVar set("QUORVEL_STANDIN_FAIL", fault);
    Plan(kTwoLists);
    EXPECT_EQ(plan_->LoadDocuments(), 2) << fault;
    EXPECT_EQ(Log(), "Loading documents\nDocument loaded: asm.doc\n") << fault;
  }
}

TEST_F(LoadDocumentsTest, NullDocumentHasNoRootProduct) {
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_TRUE(FindRootProduct(nullptr) == NULL_var);
  EXPECT_EQ(console.Text(), "The Document Pointer is NULL\n");
}

}  // namespace
