#include "testing/stage_test_support.h"

namespace {

class SetNewInstanceNamesTest : public StageTest {
 protected:
  // Loads an assembly with three components, then plans the given instance records.
  ZTRDocumentManager& Loaded(const std::string& instances) {
    Write("asm.doc", Product("ASM", {"Base.1", "Bolt.1", "Bolt.1", "Nut.1"}));
    Plan("@ROOT\n{PARENT_OBJECTS}{A}\n{INSTANCE_OBJECTS}" + instances +
         "@A\n{PARTNUMBER}ASM\n{EXTERNAL_LOCATION}asm.doc\n"
         "@I1\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Bolt.1\n{NEW_INSTANCENAME}M8.1\n"
         "@I2\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Nut.1\n{NEW_INSTANCENAME}Base.1\n"
         "@MISSING\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Washer.1\n{NEW_INSTANCENAME}W.1\n"
         "@SAME\n{PARENT_PARTNUMBER}ASM\n{INSTANCENAME}Nut.1\n"
         "@ORPHAN\n{PARENT_PARTNUMBER}NOWHERE\n{INSTANCENAME}Bolt.1\n");
    EXPECT_EQ(plan_->LoadDocuments(), 0);
    Log();
    return *plan_;
  }
  static std::vector<std::string> Children() {
    CATDocument* document = nullptr;
    CATDocumentServices::GetDocumentInSession("asm.doc", document);
    CATIProduct_var root = FindRootProduct(document);
    std::vector<std::string> names;
    CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
    for (int i = 1; i <= children->Size(); ++i) {
      CATIProduct_var child = (*children)[i];
      CATUnicodeString name;
      child->GetPrdInstanceName(name);
      names.push_back(name.ConvertToChar());
    }
    delete children;
    return names;
  }
};

TEST_F(SetNewInstanceNamesTest, RenamesTheFirstMatchAndGoesOnPastFailures) {
  Loaded("{I1}{MISSING}{I2}{SAME}\n");
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(plan_->SetNewInstanceNames(), 0);
  EXPECT_EQ(Log(),
            "Setting new instance names\n"
            "Find document in session: asm.doc\nInstanceName set to: M8.1\n"
            "Find document in session: asm.doc\nFailed to change the instance name: Washer.1\n"
            "Find document in session: asm.doc\nFailed to change the instance name: Base.1\n"
            "Failed to change the instance name: Nut.1\n"
            "Find document in session: asm.doc\nInstanceName set to: Nut.1\n"
            "All Instance names set successfully.\n");
  EXPECT_EQ(console.Text(),
            "Found document asm.doc with partnumber ASM\nInstanceName set to: M8.1\n"
            "Found document asm.doc with partnumber ASM\n"
            "********* Failed to change the instance name: Washer.1\n"
            "Found document asm.doc with partnumber ASM\n"
            "********* Failed to change the instance name: Base.1\n"
            "********* Failed to change the instance name: Nut.1\n"
            "Found document asm.doc with partnumber ASM\nInstanceName set to: Nut.1\n");
  EXPECT_EQ(Children(), (std::vector<std::string>{"Base.1", "M8.1", "Bolt.1", "Nut.1"}));
}

TEST_F(SetNewInstanceNamesTest, ParentThatNoDocumentCarriesOrIsNotOpen) {
  Loaded("{I1}{ORPHAN}{I2}\n");
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_EQ(plan_->SetNewInstanceNames(), 6);
  EXPECT_EQ(Log(),
            "Setting new instance names\nFind document in session: asm.doc\n"
            "InstanceName set to: M8.1\nFailed to find document name for partnumber: NOWHERE\n");
  EXPECT_NE(console.Text().find("********* Failed to find document name for partnumber: NOWHERE"),
            std::string::npos);
  EXPECT_EQ(Children()[1], "M8.1");  // what came before the stop stays renamed

  EnvVar fault("QUORVEL_STANDIN_FAIL", "GetDocumentInSession=asm.doc");
  EXPECT_EQ(plan_->SetNewInstanceNames(), 1);
  EXPECT_EQ(Log(), "Setting new instance names\nFailed to find document in session: asm.doc\n");
  EXPECT_NE(console.Text().find("********* Failed to get document: asm.doc\n"), std::string::npos);
}

TEST_F(SetNewInstanceNamesTest, ChildrenThatCannotBeReadStopTheStageSilently) {
  struct Case {
    const char* fault;
    int result;
  } cases[] = {
      {"GiveDocRoots=asm.doc", 2},
      {"IID_CATIProduct=Bolt.1", 3},
      {"GetPrdInstanceName=Base.1", 4},
      {"FindInstance=Bolt.1", 5},
  };
  Loaded("{I1}\n");
  for (const Case& c : cases) {
    EnvVar fault("QUORVEL_STANDIN_FAIL", c.fault);
    EXPECT_EQ(plan_->SetNewInstanceNames(), c.result) << c.fault;
    EXPECT_EQ(Log(), "Setting new instance names\nFind document in session: asm.doc\n") << c.fault;
  }
  EXPECT_EQ(Children()[1], "Bolt.1");
}

TEST_F(SetNewInstanceNamesTest, SetterOrChildrenQueryFailingIsLoggedAndPassedOver) {
  Loaded("{I1}\n");
  {
    EnvVar fault("QUORVEL_STANDIN_FAIL", "SetPrdInstanceName=Bolt.1");
    EXPECT_EQ(plan_->SetNewInstanceNames(), 0);
    EXPECT_EQ(Log(),
              "Setting new instance names\nFind document in session: asm.doc\n"
              "Failed to change the instance name: M8.1\n"
              "Failed to change the instance name: Bolt.1\n"
              "All Instance names set successfully.\n");
  }
  EnvVar fault("QUORVEL_STANDIN_FAIL", "GetChildren");
  EXPECT_EQ(plan_->SetNewInstanceNames(), 0);
  EXPECT_EQ(Log(),
            "Setting new instance names\nFind document in session: asm.doc\n"
            "Failed to change the instance name: Bolt.1\nAll Instance names set successfully.\n");
}

}  // namespace
