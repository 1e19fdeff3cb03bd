#include "plan/ztr_document_manager.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "testing/test_support.h"

namespace {

// Builds a plan from control-file text.
class PlanTest : public ::testing::Test {
 protected:
  ZTRDocumentManager& Build(const std::string& control) {
    WriteFile(dir_.File("c.ztr"), control);
    EXPECT_TRUE(objects_.ReadFile(dir_.File("c.ztr").c_str()));
    manager_ = std::make_unique<ZTRDocumentManager>(objects_, &log_);
    return *manager_;
  }
  std::string Dump() {
    CoutCapture console;
    TraceLevel on(1);
    manager_->Dump();
    return console.Text();
  }

  ScratchDir dir_;
  ZTRObjectManager objects_;
  std::ostringstream log_;
  std::unique_ptr<ZTRDocumentManager> manager_;
};

const char kPlan[] =
    "@ROOT\n{PARENT_OBJECTS}{P1}{P2}\n{CHILD_OBJECTS}{K1}\n{INSTANCE_OBJECTS}{N1}{N9}\n"
    "@P1\n{PARTNUMBER}ASM-1\n{EXTERNAL_LOCATION}asm.doc\n"
    "@P2\n{partnumber}SUB-2\n{external_location}sub.doc\n"
    "@K1\n{PARTNUMBER}BOLT\n{EXTERNAL_LOCATION}bolt.doc\n{NEW_PARTNUMBER}BOLT-M8\n"
    "{NEW_EXTERNAL_LOCATION}bolt_m8.doc\n"
    "@N1\n{PARENT_PARTNUMBER}ASM-1\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M8.1\n";

TEST_F(PlanTest, BuildsTheListsInControlFileOrderAndDumpsThem) {
  ZTRDocumentManager& plan = Build(kPlan);
  ASSERT_EQ(plan.DocumentCount(), 2);
  ASSERT_EQ(plan.ChangeableDocumentCount(), 1);
  ASSERT_EQ(plan.DocumentInstanceCount(), 1);  // N9 names no object
  EXPECT_EQ(Dump(),
            "\nDumping Document Manager\nZTRDocuments\n"
            "\nZTRDocument\nPartNumber: ASM-1\nExternalLocation: asm.doc\n"
            "\nZTRDocument\nPartNumber: SUB-2\nExternalLocation: sub.doc\n"
            "\nZTRChangeableDocuments\n"
            "\nZTRChangeableDocument\nZTRDocument\nPartNumber: BOLT\nExternalLocation: bolt.doc\n"
            "NewPartNumber: BOLT-M8\nNewExternalLocation: bolt_m8.doc\n"
            "\nZTRDocumentInstances\n"
            "\nZTRDocumentInstance\nParentPartNumber: ASM-1\nInstancename: Bolt.1\n"
            "NewInstancename: M8.1\n");
  EXPECT_EQ(log_.str(), "");
}

TEST_F(PlanTest, NoRootGivesAnEmptyPlan) {
  Build("@root\n{PARENT_OBJECTS}{P1}\n@P1\n{PARTNUMBER}A\n");
  EXPECT_EQ(Dump(),
            "\nDumping Document Manager\nZTRDocuments\n\nZTRChangeableDocuments\n"
            "\nZTRDocumentInstances\n");
}

TEST_F(PlanTest, MissingNewValuesFallBackToTheCurrentOnes) {
  ZTRDocumentManager& plan = Build(
      "@ROOT\n{CHILD_OBJECTS}{K}{K}{E}\n{INSTANCE_OBJECTS}N\n"
      "@K\n{PARTNUMBER}P\n{EXTERNAL_LOCATION}k.doc\n{NEW_PARTNUMBER}   \n"
      "@E\n{NEW_EXTERNAL_LOCATION}e2.doc\n@N\n{INSTANCENAME}I.1\n");
  ASSERT_EQ(plan.ChangeableDocumentCount(), 3);  // listed twice, two equal records
  EXPECT_STREQ(plan.ChangeableDocumentAt(2).NewPartNumber.ConvertToChar(), "P");
  EXPECT_STREQ(plan.ChangeableDocumentAt(2).NewExternalLocation.ConvertToChar(), "k.doc");
  const ZTRChangeableDocument& empty = plan.ChangeableDocumentAt(3);
  EXPECT_STREQ(empty.NewPartNumber.ConvertToChar(), "");
  EXPECT_STREQ(empty.NewExternalLocation.ConvertToChar(), "e2.doc");
  ASSERT_EQ(plan.DocumentInstanceCount(), 1);  // a value without braces is one identifier
  EXPECT_STREQ(plan.DocumentInstanceAt(1).NewInstancename.ConvertToChar(), "I.1");
  EXPECT_NE(Dump().find("\nZTRDocumentInstance\nParentPartNumber: \nInstancename: I.1\n"
                        "NewInstancename: I.1\n"),
            std::string::npos);
}

TEST_F(PlanTest, IdentifiersMatchExactlyAndLineBreaksStayInFields) {
  ZTRDocumentManager& plan =
      Build("@ROOT\n{PARENT_OBJECTS}{ P1}{}{P1}\n@P1\n{PARTNUMBER}A@EOL@B\n@P1\n{PARTNUMBER}C\n");
  ASSERT_EQ(plan.DocumentCount(), 1);
  EXPECT_STREQ(plan.DocumentAt(1).PartNumber.ConvertToChar(), "A\nB");
}

TEST_F(PlanTest, FindDocumentNamePrefersDocumentsThenTheFirstMatch) {
  ZTRDocumentManager& plan = Build(
      "@ROOT\n{PARENT_OBJECTS}{P1}{P2}{P3}\n{CHILD_OBJECTS}{K1}{K2}\n"
      "@P1\n{PARTNUMBER}SHARED\n{EXTERNAL_LOCATION}p1.doc\n"
      "@P2\n{PARTNUMBER}SHARED\n{EXTERNAL_LOCATION}p2.doc\n"
      "@P3\n{EXTERNAL_LOCATION}p3.doc\n"
      "@K1\n{PARTNUMBER}SHARED\n{EXTERNAL_LOCATION}k1.doc\n"
      "@K2\n{PARTNUMBER}ONLY-K\n{EXTERNAL_LOCATION}k2.doc\n");
  CoutCapture console;
  {
    TraceLevel off(0);
    EXPECT_STREQ(plan.FindDocumentName("SHARED").ConvertToChar(), "p1.doc");
    EXPECT_STREQ(plan.FindDocumentName("shared").ConvertToChar(), "");
    EXPECT_STREQ(plan.FindDocumentName("").ConvertToChar(), "p3.doc");
  }
  EXPECT_EQ(console.Text(), "");
  TraceLevel on(1);
  EXPECT_STREQ(plan.FindDocumentName("ONLY-K").ConvertToChar(), "k2.doc");
  EXPECT_STREQ(plan.FindDocumentName("NONE").ConvertToChar(), "");
  EXPECT_EQ(console.Text(), "Found document k2.doc with partnumber ONLY-K\n");
}

}  // namespace
