// The stand-in's files on Windows: only files on a disk are read, a file is known by its
// volume and index whatever the spelling, and a replacement keeps the attributes of the file
// it replaces and never replaces a read-only one.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "system/files.h"
#include "system/paths.h"
#include "system/system.h"
#include "testing/test_support.h"

namespace {

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool NoLeftovers(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".quorvel-save-", 0) == 0) return false;
  }
  return true;
}

TEST(StandinFilesWindowsTest, OnlyFilesOnADiskAreReadAndKnownWhateverTheSpelling) {
  ScratchDir dir;
  WriteFile(dir.File("a.doc"), "bytes");
  WriteFile(dir.File("b.doc"), "other");
  std::string bytes;
  FileFacts facts;
  ASSERT_TRUE(Disk().ReadRegularFile(dir.File("a.doc"), &bytes, &facts));
  EXPECT_EQ(bytes, "bytes");
  EXPECT_EQ(facts.permissions, 0666u);
  for (const std::string& path :
       {dir.path(), std::string("NUL"), std::string("con"), std::string("\\\\.\\NUL"),
        dir.File("folder\\..\\nul"), dir.File("gone.doc"), dir.File("a.doc") + '\0' + "x"}) {
    EXPECT_FALSE(Disk().ReadRegularFile(path, &bytes, &facts)) << path;
    EXPECT_EQ(bytes, "");
  }
  ASSERT_TRUE(SetFileAttributesA(dir.File("a.doc").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(Disk().ReadRegularFile(dir.File("a.doc"), &bytes, &facts));
  EXPECT_EQ(facts.permissions, 0444u);
  SetFileAttributesA(dir.File("a.doc").c_str(), FILE_ATTRIBUTE_NORMAL);

  FileId a, spelled, b;
  ASSERT_TRUE(Disk().FindFileId(dir.File("a.doc"), &a));
  std::string other_spelling = dir.File("A.DOC");
  for (char& c : other_spelling) c = c == '/' ? '\\' : c;
  ASSERT_TRUE(Disk().FindFileId(other_spelling, &spelled));
  ASSERT_TRUE(Disk().FindFileId(dir.File("b.doc"), &b));
  EXPECT_EQ(a, spelled);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(Disk().FindFileId(dir.path(), &b));  // a folder is a file too
  EXPECT_FALSE(Disk().FindFileId(dir.File("gone.doc"), &b));
}

TEST(StandinFilesWindowsTest, ReplacementKeepsAttributesAndLeavesReadOnlyFilesAlone) {
  ScratchDir dir;
  const std::string hidden = dir.File("hidden.doc");
  WriteFile(hidden, "old");
  ASSERT_TRUE(SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
  FileFacts written;
  FileId found;
  {
    std::unique_ptr<FileReplacement> replacement = Disk().BeginReplacement(hidden, 0666);
    ASSERT_NE(replacement, nullptr);
    EXPECT_FALSE(replacement->temporary_path().empty());
    ASSERT_TRUE(replacement->Write("new"));
    ASSERT_TRUE(replacement->Commit(&written));
  }
  EXPECT_EQ(ReadWholeFile(hidden), "new");
  EXPECT_TRUE(Attributes(hidden) & FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(Disk().FindFileId(hidden, &found));
  EXPECT_EQ(written.id, found);

  // A new file is read-only where the document's own file was.
  const std::string created = dir.File("created.doc");
  {
    std::unique_ptr<FileReplacement> replacement = Disk().BeginReplacement(created, 0444);
    ASSERT_NE(replacement, nullptr);
    ASSERT_TRUE(replacement->Write("made"));
    ASSERT_TRUE(replacement->Commit(&written));
  }
  EXPECT_EQ(ReadWholeFile(created), "made");
  EXPECT_TRUE(Attributes(created) & FILE_ATTRIBUTE_READONLY);

  // Never replaced: a read-only file, a folder; a replacement given up leaves nothing.
  EXPECT_EQ(Disk().BeginReplacement(created, 0666), nullptr);
  EXPECT_EQ(Disk().BeginReplacement(dir.path(), 0666), nullptr);
  EXPECT_EQ(Disk().BeginReplacement(dir.File("no/such/folder.doc"), 0666), nullptr);
  {
    std::unique_ptr<FileReplacement> abandoned = Disk().BeginReplacement(hidden, 0666);
    ASSERT_NE(abandoned, nullptr);
    ASSERT_TRUE(abandoned->Write("half"));
  }
  EXPECT_EQ(ReadWholeFile(created), "made");
  EXPECT_EQ(ReadWholeFile(hidden), "new");
  EXPECT_TRUE(NoLeftovers(dir.path()));
  SetFileAttributesA(created.c_str(), FILE_ATTRIBUTE_NORMAL);  // so that the folder goes
}

TEST(StandinFilesWindowsTest, PathsPastMaxPathAreReachedAndNamesPastTheLongestRefused) {
  // Relative to the working folder, with "/" and "..": made absolute before the long form.
  InScratchDir here;
  const std::string folder = std::string(120, 'f') + "/x/../" + std::string(120, 'g');
  const std::string file = folder + "\\" + std::string(100, 'h') + ".doc";
  ASSERT_GT(StorageName(file).size(), 300u);
  std::string why;
  ASSERT_TRUE(Disk().MakeFolders(folder, &why)) << why;
  EXPECT_TRUE(Disk().IsFolder(folder));
  EXPECT_EQ(Disk().WhyNotReplace(StorageName(file)), "");
  ASSERT_TRUE(Disk().WriteWholeFile(file, "long", 0666, &why)) << why;
  std::string bytes;
  FileFacts facts;
  ASSERT_TRUE(Disk().ReadRegularFile(StorageName(file), &bytes, &facts));
  EXPECT_EQ(bytes, "long");
  EXPECT_EQ(WhyNotReadable(file), "");
  ASSERT_TRUE(ReadWholeInput(file, 100, &bytes, &why)) << why;
  EXPECT_EQ(bytes, "long");
  std::vector<std::string> names;
  ASSERT_TRUE(Disk().ListFolder(folder, &names));
  EXPECT_EQ(names, std::vector<std::string>{std::string(100, 'h') + ".doc"});
  ASSERT_TRUE(Disk().RemoveFile(file, &why)) << why;
  EXPECT_FALSE(Disk().CurrentFacts(StorageName(file), &facts));

  // A name of more than 255 characters is no name on Windows, whatever the path.
  const std::string too_long = StorageName(std::string(256, 'n') + ".doc");
  EXPECT_NE(PathProblem(too_long).find("a file name on Windows holds 255 at most"),
            std::string::npos);
  EXPECT_NE(Disk().WhyNotReplace(too_long), "");
  EXPECT_EQ(PathProblem(StorageName(std::string(251, 'n') + ".doc")), "");
}

}  // namespace
