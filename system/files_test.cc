// The files layer as saves and their predictions use it: a document whose file changed since
// it was opened is never saved, nor put in place over a change made while it was written, a
// hold from another machine is named, and an overlay that writes nothing sees what it would have
// written, with the same answers to whether a file may be replaced.
#include "system/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CATDocumentServices.h"
#include "system/faulty_files.h"
#include "system/memory_overlay.h"
#include "system/paths.h"
#include "system/system.h"
#include "testing/session_test_support.h"
#include "testing/test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const char kDocument[] = "STANDIN-DOCUMENT 1\nproduct\npartnumber P\n";

class FilesTest : public SessionTest {
 protected:
  static CATDocument* Open(const char* path) {
    CATDocument* document = nullptr;
    EXPECT_TRUE(SUCCEEDED(CATDocumentServices::OpenDocument(path, document))) << path;
    return document;
  }
  static bool Save(CATDocument* document, const char* target) {
    return SUCCEEDED(CATDocumentServices::SaveAs(*document, target, CATUnicodeString(), 0));
  }
};

TEST_F(FilesTest, ADocumentWhoseFileChangedSinceItWasOpenedIsNotSaved) {
  // A session that keeps its answers, on the disk.
  Delete_Session("Quorvel_Session", 0, 0);
  std::vector<SaveAnswer> answers;
  ASSERT_EQ(Create_Session("Quorvel_Session", session_, Disk(), &answers), S_OK);
  WriteFile("a.doc", kDocument);
  CATDocument* document = Open("a.doc");
  ASSERT_NE(document, nullptr);
  // Another run saves the file meanwhile, as a save does: a new file put in its place.
  WriteFile("a.new", "STANDIN-DOCUMENT 1\nproduct\npartnumber THEIRS\n");
  fs::rename("a.new", "a.doc");
  EXPECT_FALSE(Save(document, "a.doc"));
  EXPECT_FALSE(Save(document, "copy.doc"));  // a stale copy under a new name is no better
  EXPECT_FALSE(fs::exists("copy.doc"));
  EXPECT_NE(ReadWholeFile("a.doc").find("THEIRS"), std::string::npos);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].refusal,
            "\"" + StorageName("a.doc") + "\" has changed on disk since it was opened");

  // Its own saves leave it free to be saved again; and a file made since, which the system
  // may give the number of the replaced one, is a document of its own.
  WriteFile("b.doc", kDocument);
  CATDocument* saved = Open("b.doc");
  EXPECT_TRUE(Save(saved, "b2.doc"));
  EXPECT_TRUE(Save(saved, "b2.doc"));
}

// The disk, where another program that ignores holds replaces `target` with `theirs` just
// before each save is put in place.
class RacingFiles : public FaultyFiles {
 public:
  RacingFiles(std::string target, std::string theirs)
      : FaultyFiles(Disk()), target_(std::move(target)), theirs_(std::move(theirs)) {}
  std::unique_ptr<FileReplacement> BeginReplacement(const std::string& target,
                                                    unsigned new_permissions) override {
    struct Racing : FileReplacement {
      std::unique_ptr<FileReplacement> base;
      RacingFiles* files;
      bool Write(const std::string& bytes) override { return base->Write(bytes); }
      void ExpectTarget(const FileFacts* facts) override { base->ExpectTarget(facts); }
      bool Commit(FileFacts* written) override {
        std::string why;
        Disk().WriteWholeFile(files->target_, files->theirs_, 0644, &why);
        return base->Commit(written);
      }
    };
    auto racing = std::make_unique<Racing>();
    racing->base = Disk().BeginReplacement(target, new_permissions);
    racing->files = this;
    return racing->base == nullptr ? nullptr : std::move(racing);
  }
  std::string target_, theirs_;
};

TEST_F(FilesTest, ASaveIsNotPutInPlaceOverAChangeMadeSinceItWasJudged) {
  const std::string theirs = "STANDIN-DOCUMENT 1\nproduct\npartnumber THEIRS\n";
  WriteFile("a.doc", kDocument);
  for (const char* target : {"a.doc", "new.doc"}) {
    RacingFiles racing(StorageName(target), theirs);
    Delete_Session("Quorvel_Session", 0, 0);
    ASSERT_EQ(Create_Session("Quorvel_Session", session_, racing, nullptr), S_OK);
    CATDocument* document = Open("a.doc");
    ASSERT_NE(document, nullptr);
    EXPECT_FALSE(Save(document, target)) << target;
    EXPECT_EQ(ReadWholeFile(target), theirs) << target;
    for (const auto& entry : fs::directory_iterator(".")) {
      EXPECT_NE(entry.path().filename().string().rfind(".quorvel-save-", 0), 0u);
    }
  }
}

TEST_F(FilesTest, AHoldFromAnotherMachineIsNamedWithHowToClearIt) {
  WriteFile("a.doc", kDocument);
  WriteFile(".quorvel-hold-a.doc",
            "quorvel-hold 1\nuser kim\nmachine drafting-07\nprocess 4242\nstarted 9\nsince 0\n");
  CATDocument* document = nullptr;
  EXPECT_TRUE(FAILED(CATDocumentServices::OpenDocument("a.doc", document)));
  Holder holder;
  ASSERT_TRUE(Disk().FindHolder(StorageName("a.doc"), &holder));
  EXPECT_EQ(dir_.Scrub(DescribeHolder(holder)),
            "held by kim on drafting-07 (process 4242, since 1970-01-01 00:00:00 UTC); if that "
            "process no longer runs on drafting-07, remove \"<dir>/.quorvel-hold-a.doc\"");
}

#ifndef _WIN32
// Out of open files, a document is not opened unheld (another run could save over it): the
// hold is refused, saying why. In a child process, whose limit is lowered to the files it has.
TEST_F(FilesTest, ADocumentIsNotOpenedWhereNoHoldCanBeMadeForWantOfOpenFiles) {
  WriteFile("a.doc", kDocument);
  const pid_t child = fork();
  if (child == 0) {
    const int next = open("/dev/null", O_RDONLY);
    const struct rlimit limit = {static_cast<rlim_t>(next), static_cast<rlim_t>(next)};
    Holder holder;
    const bool refused = next >= 0 && setrlimit(RLIMIT_NOFILE, &limit) == 0 &&
                         Disk().Hold(StorageName("a.doc"), &holder) == nullptr &&
                         DescribeHolder(holder).find("cannot be made") != std::string::npos;
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(fs::exists(".quorvel-hold-a.doc"));
}
#endif

TEST_F(FilesTest, AnOverlayKeepsWhatWouldBeWrittenAndJudgesItAlike) {
  WriteFile("a.doc", kDocument);
  WriteFile("ro.doc", kDocument);
  fs::create_directory("sub");
  MemoryOverlay overlay(Disk());
  Delete_Session("Quorvel_Session", 0, 0);
  ASSERT_EQ(Create_Session("Quorvel_Session", session_, overlay, nullptr), S_OK);
  CATDocument* document = Open("a.doc");
  EXPECT_TRUE(Save(document, "sub/new.doc"));
  EXPECT_FALSE(fs::exists("sub/new.doc"));
  // Reads find it; a new name in the same folder, spelt otherwise, is the same file.
  std::string bytes;
  FileFacts facts;
  ASSERT_TRUE(overlay.ReadRegularFile(StorageName("sub/new.doc"), &bytes, &facts));
  EXPECT_EQ(bytes, kDocument);
  EXPECT_TRUE(overlay.SameFile("sub/new.doc", "./sub/../sub/new.doc"));
  EXPECT_FALSE(overlay.SameFile("sub/new.doc", "sub/other.doc"));
  std::vector<std::string> names;
  ASSERT_TRUE(overlay.ListFolder(StorageName("sub"), &names));
  EXPECT_EQ(names, std::vector<std::string>{"new.doc"});
  // The same refusals as on disk: no folder there.
  EXPECT_EQ(overlay.WhyNotReplace(StorageName("none/x.doc")),
            "there is no folder \"" + StorageName("none") + "\"");
  EXPECT_FALSE(Save(document, "none/x.doc"));
  // Folders made meanwhile are kept too, and what is saved into them.
  std::string why;
  ASSERT_TRUE(overlay.MakeFolders("none/deeper", &why)) << why;
  EXPECT_TRUE(Save(document, "none/deeper/x.doc"));
  EXPECT_TRUE(overlay.ReadRegularFile(StorageName("none/deeper/x.doc"), &bytes, &facts));
  EXPECT_FALSE(fs::exists("none"));
  // A read-only file written in memory stays read-only.
  fs::permissions("ro.doc", fs::perms::owner_read);
  CATDocument* read_only = Open("ro.doc");
  EXPECT_TRUE(Save(read_only, "sub/ro-copy.doc"));
  EXPECT_EQ(overlay.WhyNotReplace(StorageName("sub/ro-copy.doc")),
            "\"" + StorageName("sub/ro-copy.doc") + "\" is read-only");
  fs::permissions("ro.doc", fs::perms::owner_all);
  // The disk itself never saw any of it.
  EXPECT_FALSE(Disk().ReadRegularFile(StorageName("sub/new.doc"), &bytes, &facts));
}

TEST_F(FilesTest, FaultsComeWhereTheyAreAsked) {
  WriteFile("a.doc", kDocument);
  FaultyFiles faulty(Disk());
  faulty.Fail(FaultyFiles::Operation::kCommit, "b.doc");
  std::string why;
  EXPECT_FALSE(faulty.WriteWholeFile("./b.doc", "x", 0644, &why));
  EXPECT_FALSE(fs::exists("b.doc"));
  EXPECT_TRUE(faulty.WriteWholeFile("c.doc", "x", 0644, &why)) << why;
  faulty.Fail(FaultyFiles::Operation::kRead);
  std::string bytes;
  FileFacts facts;
  EXPECT_FALSE(faulty.ReadRegularFile("a.doc", &bytes, &facts));

  // A whole file written by another program while this one wrote is kept, new or replaced.
  for (const char* target : {"a.doc", "d.doc"}) {
    faulty.WriteMeanwhile(target, "theirs");
    EXPECT_FALSE(faulty.WriteWholeFile(target, "ours", 0644, &why)) << target;
    EXPECT_EQ(why, WrittenMeanwhile(StorageName(target)));
    EXPECT_EQ(ReadWholeFile(target), "theirs");
  }
}

TEST_F(FilesTest, WhatMayNotBeReplacedSaysWhy) {
  WriteFile("ro.doc", kDocument);
  fs::permissions("ro.doc", fs::perms::owner_read);
  fs::create_directory("folder.doc");
  EXPECT_EQ(Disk().WhyNotReplace(StorageName("ro.doc")),
            "\"" + StorageName("ro.doc") + "\" is read-only");
  EXPECT_EQ(Disk().WhyNotReplace(StorageName("folder.doc")),
            "\"" + StorageName("folder.doc") + "\" is a folder");
  EXPECT_EQ(Disk().WhyNotReplace(StorageName("new.doc")), "");
  EXPECT_EQ(PathProblem(std::string("a\0b", 3)),
            "\"a\" is followed by a NUL byte, which no file name can hold");
  fs::permissions("ro.doc", fs::perms::owner_all);
}

TEST(PathsTest, WindowsFoldsAsWindowsDoes) {
  if (!OnWindows()) GTEST_SKIP() << "the Windows path rules are the Windows build's";
  EXPECT_EQ(StorageName("C:\\p\\bolt.doc. "), "C:/p/bolt.doc");
  EXPECT_EQ(StorageName("\\\\?\\C:\\p\\x.doc"), "C:/p/x.doc");
  EXPECT_EQ(StorageName("\\\\?\\UNC\\srv\\share\\x.doc"), "//srv/share/x.doc");
  EXPECT_EQ(StorageKey(StorageName("C:\\P\\X.DOC")), StorageKey(StorageName("c:/p/x.doc")));
  EXPECT_EQ(PathProblem("C:/p/NUL.CATPart"),
            "\"C:/p/NUL.CATPart\" names the device NUL, not a file");
  EXPECT_EQ(PathProblem("C:/p/com1.txt"), "\"C:/p/com1.txt\" names the device COM1, not a file");
  EXPECT_EQ(PathProblem("C:/p/a?.doc"),
            "\"C:/p/a?.doc\" holds the character '?', which no file name on Windows can hold");
  EXPECT_EQ(PathProblem("C:/p/console.doc"), "");
}

TEST(PathsTest, PiecesOfAPathAsSpelled) {
  const bool windows = OnWindows();
  const struct {
    std::string path, root, folders, name, stem;  // folders joined by "|"
  } cases[] = {
      {"/p//a/./x.tar.gz", "/", "p|a|.", "x.tar.gz", "x.tar"},
      {"../.profile", "", "..", ".profile", ".profile"},
      {"a/..", "", "a", "..", ".."},
      {"dir/", "", "dir", "", ""},
      {"C:\\p\\bolt.doc", windows ? "C:\\" : "", windows ? "p" : "",
       windows ? "bolt.doc" : "C:\\p\\bolt.doc", windows ? "bolt" : "C:\\p\\bolt"},
      {"C:x.doc", windows ? "C:" : "", "", windows ? "x.doc" : "C:x.doc", windows ? "x" : "C:x"},
  };
  for (const auto& c : cases) {
    std::string folders;
    for (const std::string& folder : FoldersOf(c.path)) {
      folders += (folders.empty() ? "" : "|") + folder;
    }
    EXPECT_EQ(PathRoot(c.path) + " " + folders + " " + FileNameOf(c.path) + " " + StemOf(c.path),
              c.root + " " + c.folders + " " + c.name + " " + c.stem)
        << c.path;
  }
}

TEST(PathsTest, AReferenceIsReadFromItsDocumentsFolderUnlessItIsAbsolute) {
  if (OnWindows()) GTEST_SKIP() << "Windows references are held by the stand-in's Windows tests";
  EXPECT_EQ(ReferenceStorageName("/lib/./b.doc", "/p/asm"), "/lib/b.doc");
  EXPECT_EQ(ReferenceStorageName("../parts/b.doc", "/p/asm"), "/p/parts/b.doc");
}

}  // namespace
