// A fixture for the session stages: a scratch folder as working directory, documents written
// into it, a plan built from control-file text, a live session, and the checks that hold
// after every stage outcome: the session deletes cleanly and nothing reached standard error.
#ifndef TESTING_STAGE_TEST_SUPPORT_H
#define TESTING_STAGE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "plan/ztr_document_manager.h"
#include "product/root_product.h"
#include "testing/session_test_support.h"
#include "testing/test_support.h"

class StageTest : public SessionTest {
 protected:
  void SetUp() override {
    old_cerr_ = std::cerr.rdbuf(cerr_.rdbuf());
    SessionTest::SetUp();
  }
  void TearDown() override {
    plan_.reset();
    EXPECT_EQ(Delete_Session("Quorvel_Session", 0, 0), S_OK);
    std::cerr.rdbuf(old_cerr_);
    EXPECT_EQ(cerr_.str(), "") << "standard error must stay empty";
    SessionTest::TearDown();
  }

  // A document of one product root with these components ("name" or "name>file").
  static std::string Product(const std::string& part_number,
                             std::initializer_list<std::string> components = {}) {
    std::string text = "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
    for (const std::string& component : components) {
      const size_t arrow = component.find('>');
      text += "component " + component.substr(0, arrow) + "\n";
      if (arrow != std::string::npos) text += "reference " + component.substr(arrow + 1) + "\n";
    }
    return text;
  }
  void Write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(name).parent_path().empty()
                                            ? "."
                                            : std::filesystem::path(name).parent_path());
    WriteFile(name, text);
  }

  // Builds the plan, reading the control file with the console off.
  ZTRDocumentManager& Plan(const std::string& control) {
    TraceLevel quiet(0);
    WriteFile("c.ztr", control);
    objects_ = std::make_unique<ZTRObjectManager>();
    EXPECT_TRUE(objects_->ReadFile("c.ztr"));
    plan_ = std::make_unique<ZTRDocumentManager>(*objects_, &log_);
    return *plan_;
  }
  std::string Log() {
    std::string text = log_.str();
    log_.str("");
    return text;
  }
  // The part number carried by the root product of the document open under `name`.
  static std::string PartNumberInSession(const char* name) {
    CATDocument* document = nullptr;
    if (FAILED(CATDocumentServices::GetDocumentInSession(name, document))) return "(not open)";
    CATIProduct_var root = FindRootProduct(document);
    return root == NULL_var ? "(no root)" : root->GetPartNumber().ConvertToChar();
  }

  std::ostringstream log_;
  std::unique_ptr<ZTRObjectManager> objects_;
  std::unique_ptr<ZTRDocumentManager> plan_;

 private:
  std::ostringstream cerr_;
  std::streambuf* old_cerr_ = nullptr;
};

#endif  // TESTING_STAGE_TEST_SUPPORT_H
