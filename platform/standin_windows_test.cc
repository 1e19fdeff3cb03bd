// The stand-in on Windows: its path rules, names that differ in letter case only, and saving
// through the system's replace call.
#include <gtest/gtest.h>

#include <filesystem>

#include "CATDocumentServices.h"
#include "CATSessionServices.h"
#include "standin_faults.h"
#include "system/paths.h"
#include "testing/session_test_support.h"
#include "testing/test_support.h"

namespace {

TEST(StandinWindowsPathsTest, DrivesUncPathsBothSeparatorsAndLetterCase) {
  EXPECT_EQ(StorageName("C:\\a\\.\\b\\..\\c.doc"), "C:/a/c.doc");
  EXPECT_EQ(StorageName("c:/A//b/"), "c:/A/b");
  EXPECT_EQ(StorageName("C:\\"), "C:/");
  EXPECT_EQ(StorageName("\\\\server\\share\\dir\\..\\x.doc"), "//server/share/x.doc");
  EXPECT_EQ(StorageName("rel\\x.doc"),
            std::filesystem::current_path().generic_string() + "/rel/x.doc");

  struct Reference {
    const char* reference;
    const char* directory;
    const char* storage_name;
  };
  for (const Reference& c : std::initializer_list<Reference>{
           {"..\\parts\\b.doc", "D:/p/asm", "D:/p/parts/b.doc"},
           {"E:\\lib\\b.doc", "D:/p", "E:/lib/b.doc"},
           {"\\lib\\b.doc", "D:/p", "D:/lib/b.doc"},  // from the root of the folder's drive
           {"\\lib\\b.doc", "//srv/share/p", "//srv/share/lib/b.doc"},
           {"\\\\srv\\share\\b.doc", "D:/p", "//srv/share/b.doc"},
           {"b.doc", "D:/", "D:/b.doc"},
           {"b.doc", "//srv/share/", "//srv/share/b.doc"}}) {
    EXPECT_EQ(ReferenceStorageName(c.reference, c.directory), c.storage_name) << c.reference;
  }
  EXPECT_EQ(DirectoryOf("C:/x.doc"), "C:/");
  EXPECT_EQ(DirectoryOf("//srv/share/x.doc"), "//srv/share/");
  EXPECT_EQ(DirectoryOf("C:/a/x.doc"), "C:/a");

  EXPECT_EQ(RelativePath("D:/p/parts/b.doc", "d:/P/asm"), "../parts/b.doc");
  EXPECT_EQ(RelativePath("E:/x.doc", "D:/p"), "E:/x.doc");  // no relative path between drives
  EXPECT_EQ(RelativePath("//srv/share/x.doc", "//SRV/Share/dir"), "../x.doc");
  EXPECT_EQ(RelativePath("//srv/other/x.doc", "//srv/share"), "//srv/other/x.doc");

  EXPECT_EQ(StorageKey("C:/Parts/Bolt.DOC"), StorageKey("c:/parts/bolt.doc"));
  EXPECT_EQ(StorageKey("C:/\xc4rger.doc"), StorageKey("C:/\xe4rger.doc"));  // A and a umlaut
  EXPECT_NE(StorageKey("C:/parts/bolt.doc"), StorageKey("C:/parts/bolt2.doc"));
}

class StandinWindowsSessionTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    std::filesystem::create_directories("asm");
    std::filesystem::create_directories("parts");
    // A reference as a Windows user writes it: backslashes (escaped in the document), and
    // another letter case than the file's.
    WriteFile("asm/top.doc",
              "STANDIN-DOCUMENT 1\r\nproduct\r\npartnumber TOP\r\ncomponent B.1\r\n"
              "reference ..\\\\PARTS\\\\B.DOC\r\n");
    WriteFile("parts/b.doc", "STANDIN-DOCUMENT 1\nproduct\npartnumber B\n");
  }
};

TEST_F(StandinWindowsSessionTest, NamesInAnotherLetterCaseOrWithBackslashesAreOneDocument) {
  CATDocument* top = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("Asm\\Top.doc", top), S_OK);
  CATDocument* b = nullptr;
  EXPECT_EQ(CATDocumentServices::OpenDocument("parts/b.doc", b), S_FALSE);  // by the reference
  CATDocument* found = nullptr;
  EXPECT_EQ(CATDocumentServices::GetDocumentInSession("PARTS\\b.Doc", found), S_OK);
  EXPECT_EQ(found, b);
  EXPECT_EQ(
      CATDocumentServices::GetDocumentInSession((dir_.path() + "\\ASM\\TOP.DOC").c_str(), found),
      S_OK);
  EXPECT_EQ(found, top);
  // Saving over another open document is refused whatever the spelling.
  EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*top, "Parts\\B.doc")));
  EnvVar fault("QUORVEL_STANDIN_FAIL", "SaveAs=ASM/top.DOC");
  EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*top, "asm\\top.doc")));
}

TEST_F(StandinWindowsSessionTest, SavesReplaceWholeOrCreateButNeverOverwriteAReadOnlyFile) {
  CATDocument* top = nullptr;
  ASSERT_EQ(CATDocumentServices::OpenDocument("asm\\top.doc", top), S_OK);
  CATDocument* b = nullptr;
  ASSERT_EQ(CATDocumentServices::GetDocumentInSession("parts/b.doc", b), S_OK);
  // A new file, then the parent in place, which now refers to it.
  ASSERT_EQ(CATDocumentServices::SaveAs(*b, "Parts\\B2.doc"), S_OK);
  CATDocument* found = nullptr;
  EXPECT_EQ(CATDocumentServices::GetDocumentInSession("parts/b2.DOC", found), S_OK);
  EXPECT_EQ(found, b);
  ASSERT_EQ(CATDocumentServices::SaveAs(*top, "asm/top.doc"), S_OK);
  EXPECT_EQ(ReadWholeFile("asm/top.doc"),
            "STANDIN-DOCUMENT 1\nproduct\npartnumber TOP\ncomponent B.1\n"
            "reference ../Parts/B2.doc\n");
  EXPECT_EQ(ReadWholeFile("parts/b2.doc"), "STANDIN-DOCUMENT 1\nproduct\npartnumber B\n");

  // A read-only file stays as it is, and so does the document's name.
  const std::string before = ReadWholeFile("parts/b.doc");
  std::filesystem::permissions("parts/b.doc", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*b, "PARTS\\b.doc")));
  std::filesystem::permissions("parts/b.doc", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(ReadWholeFile("parts/b.doc"), before);
  EXPECT_EQ(CATDocumentServices::GetDocumentInSession("parts/b2.doc", found), S_OK);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
    EXPECT_EQ(entry.path().filename().string().find(".quorvel-save"), std::string::npos);
  }
}

}  // namespace
