// The stand-in's documents: their file format, the session that opens and saves them, and the
// reference accounting at the session's end.
#include <gtest/gtest.h>

#include <filesystem>

#include "CATDocumentServices.h"
#include "CATIEditor.h"
#include "CATIProduct.h"
#include "CATSessionServices.h"
#include "CATString.h"
#include "product/root_product.h"
#include "standin_document_format.h"
#include "testing/session_test_support.h"
#include "testing/test_support.h"

namespace {

std::string Reformat(const std::string& text) {
  std::vector<StandinRoot> roots;
  if (!ParseStandinDocument(text, &roots)) return "(malformed)";
  std::vector<std::string> references;
  for (const StandinRoot& root : roots) {
    for (const StandinComponent& component : root.components) {
      if (component.has_reference) references.push_back(component.reference);
    }
  }
  return FormatStandinDocument(roots, references);
}

TEST(StandinDocumentFormatTest, ReadsWhatItWritesAndWritesItAgainTheSame) {
  const std::string text =
      "STANDIN-DOCUMENT 1\r\n# a comment\n\nproduct\ncomponent Bolt.1\nreference a\\\\b.doc\n"
      "partnumber P \\n1\\r \ncomponent \nother\nproduct\ncomponent \xe9t\xe9\nproduct";
  const std::string written =
      "STANDIN-DOCUMENT 1\nproduct\npartnumber P \\n1\\r \ncomponent Bolt.1\n"
      "reference a\\\\b.doc\ncomponent \nother\nproduct\ncomponent \xe9t\xe9\nproduct\n";
  EXPECT_EQ(Reformat(text), written);
  EXPECT_EQ(Reformat(written), written);
  std::vector<StandinRoot> roots;
  ASSERT_TRUE(ParseStandinDocument(text, &roots));
  EXPECT_EQ(roots[0].part_number, "P \n1\r ");
  EXPECT_EQ(roots[0].components[0].reference, "a\\b.doc");
  EXPECT_FALSE(roots[1].is_product);
  // Only a carriage return before a line feed ends a line; one at the very end is text.
  ASSERT_TRUE(ParseStandinDocument("STANDIN-DOCUMENT 1\r\nproduct\npartnumber X\r", &roots));
  EXPECT_EQ(roots[0].part_number, "X\r");
}

TEST(StandinDocumentFormatTest, LinesAfterAnOtherRootBelongToTheProductBegunLast) {
  EXPECT_EQ(Reformat("STANDIN-DOCUMENT 1\nproduct\ncomponent A\nother\npartnumber P\n"
                     "reference a.doc\ncomponent B\nother\nreference b.doc\n"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber P\ncomponent A\nreference a.doc\n"
            "component B\nreference b.doc\nother\nother\n");
  EXPECT_EQ(Reformat("STANDIN-DOCUMENT 1\nproduct\npartnumber A\nother\npartnumber B\n"),
            "(malformed)");
}

TEST(StandinDocumentFormatTest, MalformedDocuments) {
  for (const char* text :
       {"", "STANDIN-DOCUMENT 2\n", " STANDIN-DOCUMENT 1\n", "STANDIN-DOCUMENT 1\nassembly\n",
        "STANDIN-DOCUMENT 1\npartnumber A\n", "STANDIN-DOCUMENT 1\ncomponent A\n",
        "STANDIN-DOCUMENT 1\nproduct\nreference a.doc\n",
        "STANDIN-DOCUMENT 1\nproduct\npartnumber A\npartnumber B\n",
        "STANDIN-DOCUMENT 1\nproduct\ncomponent A\nreference a\nreference b\n",
        "STANDIN-DOCUMENT 1\nproduct\npartnumber A\\t\n",
        "STANDIN-DOCUMENT 1\nproduct\npartnumber A\\\n", "STANDIN-DOCUMENT 1\nproduct x\n",
        "STANDIN-DOCUMENT 1\nproduct\npartnumber\n", "STANDIN-DOCUMENT 1\nother\ncomponent A\n"}) {
    std::vector<StandinRoot> roots;
    EXPECT_FALSE(ParseStandinDocument(text, &roots)) << text;
  }
}

class StandinSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    std::filesystem::create_directories("asm");
    std::filesystem::create_directories("parts");
    WriteFile("asm/top.doc",
              "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent B.1\n"
              "reference ../parts/b.doc\ncomponent Gone.1\nreference nowhere.doc\n");
    WriteFile("parts/b.doc",
              "STANDIN-DOCUMENT 1\nproduct\npartnumber B\ncomponent Back.1\n"
              "reference ../asm/top.doc\n");
  }
};

TEST_F(StandinSessionTest, OpensReferencesAndSavesThemRelativeToTheNewFile) {
  CATDocument* top = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("asm/top.doc", top), S_OK);
  CATDocument* again = nullptr;
  EXPECT_EQ(CATDocumentServices::OpenDocument("./asm/../asm/top.doc", again), S_FALSE);
  EXPECT_EQ(again, top);
  CATDocument* b = nullptr;
  ASSERT_EQ(CATDocumentServices::GetDocumentInSession(dir_.File("parts/b.doc").c_str(), b), S_OK);

  std::filesystem::create_directories("new/deep");
  ASSERT_EQ(CATDocumentServices::SaveAs(*b, "new/deep/b2.doc"), S_OK);
  CATDocument* found = nullptr;
  EXPECT_TRUE(FAILED(CATDocumentServices::GetDocumentInSession("parts/b.doc", found)));
  EXPECT_EQ(found, nullptr);
  ASSERT_EQ(CATDocumentServices::SaveAs(*top, "asm/top.doc"), S_OK);
  EXPECT_EQ(ReadWholeFile("asm/top.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent B.1\n"
            "reference ../new/deep/b2.doc\ncomponent Gone.1\nreference nowhere.doc\n");
  EXPECT_EQ(ReadWholeFile("new/deep/b2.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber B\ncomponent Back.1\n"
            "reference ../../asm/top.doc\n");
  EXPECT_EQ(ReadWholeFile("parts/b.doc").substr(0, 18), "STANDIN-DOCUMENT 1");
}

// A release too many is seen whether or not its object's storage was used again by then.
TEST_F(StandinSessionTest, SessionEndReportsReferencesStillHeldOrReleasedTooOften) {
  CATDocument* top = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("asm/top.doc", top), S_OK);
  const auto editor = [top] {
    CATIEditor* editor = nullptr;
    EXPECT_EQ(top->QueryInterface(IID_CATIEditor, reinterpret_cast<void**>(&editor)), S_OK);
    return editor;
  };
  CATIEditor* kept = editor();
  CATIEditor* reused = editor();
  reused->Release();
  reused->Release();
  for (int i = 0; i < 100000; ++i) editor()->Release();  // more than the pool holds
  CATIEditor* last = editor();
  last->Release();
  last->Release();
  std::ostringstream errors;
  std::streambuf* old = std::cerr.rdbuf(errors.rdbuf());
  EXPECT_EQ(Delete_Session("Quorvel_Session", 0, 0), S_OK);
  std::cerr.rdbuf(old);
  const std::string line = "Quorvel stand-in: CATIEditor of " + dir_.File("asm/top.doc");
  EXPECT_EQ(errors.str(), line + " still held at session end (1)\n" + line +
                              " released too often (-1)\n" + line + " released too often (-1)\n");
  kept->Release();  // still safe after the session is gone
}

TEST_F(StandinSessionTest, AFileReachedThroughLinksIsTheDocumentOpenFromIt) {
  std::error_code no_link;
  std::filesystem::create_directory_symlink("parts", "alias", no_link);
  if (no_link) {
    GTEST_SKIP() << "no symbolic link can be made here (" << no_link.message()
                 << "); Windows gives them to privileged users only";
  }
  std::filesystem::create_hard_link("parts/b.doc", "hard.doc");
  CATDocument* top = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("asm/top.doc", top), S_OK);  // opens parts/b.doc
  CATDocument* b = nullptr;
  ASSERT_EQ(CATDocumentServices::GetDocumentInSession("parts/b.doc", b), S_OK);
  const std::string before = ReadWholeFile("parts/b.doc");
  for (const char* path : {"alias/b.doc", "hard.doc", "alias/../alias/b.doc"}) {
    CATDocument* found = nullptr;
    EXPECT_EQ(CATDocumentServices::OpenDocument(path, found), S_FALSE) << path;
    EXPECT_EQ(found, b) << path;
    EXPECT_EQ(CATDocumentServices::GetDocumentInSession(path, found), S_OK) << path;
    EXPECT_EQ(found, b) << path;
    EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*top, path))) << path;
  }
  EXPECT_EQ(ReadWholeFile("parts/b.doc"), before);
  // Saved in place through a link, the document is still the one found under its names.
  ASSERT_EQ(CATDocumentServices::SaveAs(*b, "alias/b.doc"), S_OK);
  CATDocument* found = nullptr;
  EXPECT_EQ(CATDocumentServices::OpenDocument("parts/b.doc", found), S_FALSE);
  EXPECT_EQ(found, b);
}

TEST_F(StandinSessionTest, TextsKeepEveryByteNulIncluded) {
  const std::string nul("\0", 1);
  WriteFile("bytes.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber P" + nul + "Q\ncomponent A" +
                             nul + "B\ncomponent A\n");
  CATDocument* document = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("bytes.doc", document), S_OK);
  CATIProduct_var root = FindRootProduct(document);
  ASSERT_NE(root, NULL_var);
  EXPECT_EQ(root->GetPartNumber(), CATUnicodeString("P\0Q", 3));
  EXPECT_NE(root->GetPartNumber(), CATUnicodeString("P"));
  CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
  ASSERT_EQ(children->Size(), 2);
  CATIProduct_var first = (*children)[1];
  CATIProduct_var second = (*children)[2];
  delete children;
  CATUnicodeString name;
  ASSERT_EQ(first->GetPrdInstanceName(name), S_OK);
  EXPECT_EQ(name, CATUnicodeString("A\0B", 3));
  EXPECT_NE(name, CATUnicodeString("A"));
  EXPECT_EQ(first->SetPrdInstanceName(CATUnicodeString("C\0D", 3)), 0);
  EXPECT_NE(second->SetPrdInstanceName(CATUnicodeString("C\0D", 3)), 0);  // taken by the first
  EXPECT_EQ(second->SetPrdInstanceName(CATUnicodeString("C")), 0);
  EXPECT_EQ(root->SetPartNumber(CATUnicodeString("R\0S", 3)), S_OK);
  first = second = root = CATIProduct_var();
  ASSERT_EQ(CATDocumentServices::SaveAs(*document, "bytes.doc"), S_OK);
  EXPECT_EQ(ReadWholeFile("bytes.doc"), "STANDIN-DOCUMENT 1\nproduct\npartnumber R" + nul +
                                            "S\ncomponent C" + nul + "D\ncomponent C\n");
  EXPECT_EQ(CATString("x\0y", 3).GetLengthInChar(), 3);
  EXPECT_NE(CATString("x\0y", 3), CATString("x"));
}

}  // namespace
