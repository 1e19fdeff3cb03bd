#include "structure/product_structure.h"

#include <gtest/gtest.h>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "testing/test_support.h"

namespace {

// The structure of `top` in a scratch folder, as "part number: instance>document ..." lines,
// with the session deleted again and nothing said on standard error.
std::string Walk(const std::string& top) {
  CATSession* session = nullptr;
  EXPECT_EQ(Create_Session("Walk", session), S_OK);
  std::ostringstream errors;
  std::streambuf* old_cerr = std::cerr.rdbuf(errors.rdbuf());
  std::string shown;
  {
    CATDocument* root = nullptr;
    CATDocumentServices::OpenDocument(top.c_str(), root);
    ProductStructure structure;
    EXPECT_EQ(WalkProductStructure(root, &structure), root != nullptr);
    for (const StructureDocument& document : structure.documents) {
      const std::string name = document.storage_name.ConvertToChar();
      shown += name.substr(name.rfind('/') + 1) + " " +
               (document.has_product ? document.part_number.ConvertToChar() : "-") + ":";
      for (const StructureInstance& instance : document.instances) {
        shown += std::string(" ") + instance.name.ConvertToChar() + ">" +
                 std::to_string(instance.document);
      }
      shown += "\n";
    }
  }
  EXPECT_EQ(Delete_Session("Walk", 0, 0), S_OK);
  std::cerr.rdbuf(old_cerr);
  EXPECT_EQ(errors.str(), "");
  return shown;
}

TEST(ProductStructureTest, EachDocumentOnceInStructureOrder) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.File("parts"));
  WriteFile(dir.File("top.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent A.1\nreference a.doc\n"
            "component B.1\nreference parts/b.doc\ncomponent A.2\nreference ./a.doc\n"
            "component Gone.1\nreference gone.doc\ncomponent Loose.1\n");
  WriteFile(dir.File("a.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber A\ncomponent C.1\nreference parts/c.doc\n"
            "component Up.1\nreference top.doc\n");
  WriteFile(dir.File("parts/b.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber B\ncomponent C.2\nreference c.doc\n");
  WriteFile(dir.File("parts/c.doc"), "STANDIN-DOCUMENT 1\nother\nproduct\npartnumber C\n");
  WriteFile(dir.File("other.doc"), "STANDIN-DOCUMENT 1\nother\nproduct\npartnumber O\n");
  EXPECT_EQ(Walk(dir.File("top.doc")),
            "top.doc TOP: A.1>1 B.1>3 A.2>1 Gone.1>-1 Loose.1>-1\n"
            "a.doc A: C.1>2 Up.1>0\n"
            "c.doc C:\n"
            "b.doc B: C.2>2\n");
  // The root is taken as the tool takes it: its first root object must be the product.
  EXPECT_EQ(Walk(dir.File("other.doc")), "other.doc -:\n");
  EXPECT_EQ(Walk(dir.File("gone.doc")), "");

  // Several roots: each document once, in order from each root not reached yet.
  CATSession* session = nullptr;
  ASSERT_EQ(Create_Session("Walk", session), S_OK);
  {
    CATDocument *top = nullptr, *b = nullptr;
    CATDocumentServices::OpenDocument(dir.File("top.doc").c_str(), top);
    CATDocumentServices::GetDocumentInSession(dir.File("parts/b.doc").c_str(), b);
    ProductStructure structure;
    std::vector<int> positions;
    WalkProductStructures({b, nullptr, top, b}, &structure, &positions);
    EXPECT_EQ(positions, std::vector<int>({0, -1, 2, 0}));
    std::string order;
    for (const StructureDocument& document : structure.documents) {
      const std::string name = document.storage_name.ConvertToChar();
      order += name.substr(name.rfind('/') + 1) + " ";
    }
    EXPECT_EQ(order, "b.doc c.doc top.doc a.doc ");
    EXPECT_EQ(structure.documents[3].instances[1].document, 2);  // a.doc's Up.1
  }
  EXPECT_EQ(Delete_Session("Walk", 0, 0), S_OK);
}

}  // namespace
