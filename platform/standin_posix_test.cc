// What the stand-in does with real files and memory on a POSIX system: modes and owners kept
// by saving, read-only files left alone, the temporary file of a save never swapped for
// another, special files refused, documents held by one process at a time, objects freed, and
// structures too deep for a small stack.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "CATDocumentServices.h"
#include "CATIProduct.h"
#include "CATSessionServices.h"
#include "controlfile/ztr_object_manager.h"
#include "product/root_product.h"
#include "system/files.h"
#include "system/memory_overlay.h"
#include "testing/session_test_support.h"
#include "testing/store_records.h"
#include "testing/test_support.h"

namespace {

const char kDocument[] = "STANDIN-DOCUMENT 1\nproduct\npartnumber P\n";

class StandinPosixTest : public SessionTest {
 protected:
  static struct stat Stat(const char* path) {
    struct stat status = {};
    EXPECT_EQ(lstat(path, &status), 0) << path;
    return status;
  }
  static CATDocument* Open(const char* path) {
    CATDocument* document = nullptr;
    EXPECT_TRUE(SUCCEEDED(CATDocumentServices::OpenDocument(path, document))) << path;
    return document;
  }
  static bool NoLeftovers() {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      if (entry.path().filename().string().rfind(".quorvel-save-", 0) == 0) return false;
    }
    return true;
  }
};

TEST_F(StandinPosixTest, SavingKeepsTheModeOfTheFileReplacedOrReadFrom) {
  const mode_t old_mask = umask(077);
  for (const mode_t mode : {0600, 0664, 0640, 0755}) {
    const std::string name = "doc" + std::to_string(mode) + ".doc";
    WriteFile(name, kDocument);
    ASSERT_EQ(chmod(name.c_str(), mode), 0);
    CATDocument* document = Open(name.c_str());
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(CATDocumentServices::SaveAs(*document, name.c_str()), S_OK);
    EXPECT_EQ(Stat(name.c_str()).st_mode & 07777, mode) << "in place";
    const std::string copy = "new-" + name;
    ASSERT_EQ(CATDocumentServices::SaveAs(*document, copy.c_str()), S_OK);
    EXPECT_EQ(Stat(copy.c_str()).st_mode & 07777, mode) << "new file";
  }
  umask(old_mask);
  EXPECT_TRUE(NoLeftovers());
}

TEST_F(StandinPosixTest, SavingKeepsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  WriteFile("theirs.doc", kDocument);
  ASSERT_EQ(chown("theirs.doc", 4321, 4322), 0);
  CATDocument* document = Open("theirs.doc");
  ASSERT_NE(document, nullptr);
  ASSERT_EQ(CATDocumentServices::SaveAs(*document, "theirs.doc"), S_OK);
  EXPECT_EQ(Stat("theirs.doc").st_uid, 4321u);
  EXPECT_EQ(Stat("theirs.doc").st_gid, 4322u);
}

TEST_F(StandinPosixTest, ReadOnlyFilesAndOtherThanRegularFilesAreNeverReplaced) {
  WriteFile("source.doc", kDocument);
  CATDocument* document = Open("source.doc");
  ASSERT_NE(document, nullptr);
  for (const mode_t mode : {0444, 0400, 0555}) {
    WriteFile("read-only.doc", "kept");
    ASSERT_EQ(chmod("read-only.doc", mode), 0);
    EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*document, "read-only.doc"))) << mode;
    EXPECT_EQ(ReadWholeFile("read-only.doc"), "kept");
    EXPECT_EQ(Stat("read-only.doc").st_mode & 07777, mode);
    ASSERT_EQ(chmod("read-only.doc", 0600), 0);
  }
  ASSERT_EQ(mkfifo("fifo.doc", 0666), 0);
  EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*document, "fifo.doc")));
  EXPECT_TRUE(S_ISFIFO(Stat("fifo.doc").st_mode));
  ASSERT_EQ(symlink("nowhere.doc", "dangling.doc"), 0);
  EXPECT_TRUE(FAILED(CATDocumentServices::SaveAs(*document, "dangling.doc")));
  EXPECT_FALSE(std::filesystem::exists("nowhere.doc"));
  CATDocument* found = nullptr;
  EXPECT_EQ(CATDocumentServices::GetDocumentInSession("source.doc", found), S_OK);
  EXPECT_TRUE(NoLeftovers());
}

TEST_F(StandinPosixTest, ATemporaryFileSwappedBeforeItIsRenamedIsNotPutInPlace) {
  WriteFile("target.doc", "old");
  ASSERT_EQ(chmod("target.doc", 0664), 0);
  WriteFile("victim.doc", "theirs");
  ASSERT_EQ(chmod("victim.doc", 0600), 0);
  std::unique_ptr<FileReplacement> replacement =
      Disk().BeginReplacement(dir_.File("target.doc"), 0644);
  ASSERT_NE(replacement, nullptr);
  ASSERT_TRUE(replacement->Write(kDocument));
  // Someone with write access to the folder puts a link under the temporary file's name.
  const std::string temporary = replacement->temporary_path();
  ASSERT_EQ(temporary.rfind(dir_.File(".quorvel-save-"), 0), 0u) << temporary;
  ASSERT_EQ(unlink(temporary.c_str()), 0);
  ASSERT_EQ(symlink(dir_.File("victim.doc").c_str(), temporary.c_str()), 0);
  FileFacts written;
  EXPECT_FALSE(replacement->Commit(&written));
  EXPECT_EQ(ReadWholeFile("target.doc"), "old");
  EXPECT_FALSE(S_ISLNK(Stat("target.doc").st_mode));
  EXPECT_EQ(ReadWholeFile("victim.doc"), "theirs");
  EXPECT_EQ(Stat("victim.doc").st_mode & 07777, 0600u);
  EXPECT_TRUE(NoLeftovers());
}

TEST_F(StandinPosixTest, DocumentsOpenOnlyFromRegularFiles) {
  // A FIFO that would hand over a whole document, to a reader that opened it.
  ASSERT_EQ(mkfifo("fifo.doc", 0666), 0);
  const pid_t writer = fork();
  if (writer == 0) {
    const int fd = open("fifo.doc", O_WRONLY);
    if (fd >= 0 && write(fd, kDocument, sizeof kDocument - 1) > 0) close(fd);
    _exit(0);
  }
  ASSERT_GT(writer, 0);
  std::filesystem::create_directories("folder.doc");
  WriteFile("top.doc",
            "STANDIN-DOCUMENT 1\nproduct\ncomponent Zero.1\nreference /dev/zero\n"
            "component Fifo.1\nreference fifo.doc\n");
  CATDocument* document = nullptr;
  const bool fifo_refused = FAILED(CATDocumentServices::OpenDocument("fifo.doc", document));
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
  ASSERT_TRUE(fifo_refused);  // before anything that might never end
  for (const char* path : {"folder.doc", "/dev/null", "/dev/zero"}) {
    EXPECT_TRUE(FAILED(CATDocumentServices::OpenDocument(path, document))) << path;
    EXPECT_EQ(document, nullptr);
  }
  EXPECT_EQ(CATDocumentServices::OpenDocument("top.doc", document), S_OK);  // not resolved
}

TEST_F(StandinPosixTest, ADocumentIsHeldByOneSessionAtATimeAndNotByAKilledOne) {
  WriteFile("a.doc", kDocument);
  WriteFile("b.doc", kDocument);
  // Another process's session opens a.doc, says so, and waits to be killed.
  int told[2];
  ASSERT_EQ(pipe(told), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    CATDocument* held = nullptr;
    const char opened = SUCCEEDED(CATDocumentServices::OpenDocument("a.doc", held)) ? 'y' : 'n';
    if (write(told[1], &opened, 1) == 1) pause();
    _exit(0);
  }
  ASSERT_GT(holder, 0);
  char opened = 0;
  const bool heard = read(told[0], &opened, 1) == 1;
  CATDocument* document = nullptr;
  const HRESULT open_held = CATDocumentServices::OpenDocument("a.doc", document);
  CATDocument* other = Open("b.doc");
  const HRESULT save_over_held =
      CATDocumentServices::SaveAs(*other, "a.doc", CATUnicodeString(), 0);
  Holder who;
  const bool found = Disk().FindHolder(StorageName("a.doc"), &who);
  // A companion's session takes no hold but sees that one.
  Delete_Session("Quorvel_Session", 0, 0);
  MemoryOverlay overlay(Disk());
  ASSERT_EQ(Create_Session("Quorvel_Session", session_, overlay, nullptr), S_OK);
  const HRESULT companion_open_held = CATDocumentServices::OpenDocument("a.doc", document);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(told[0]);
  close(told[1]);
  ASSERT_TRUE(heard && opened == 'y');
  EXPECT_TRUE(FAILED(open_held));
  EXPECT_TRUE(FAILED(save_over_held));
  EXPECT_EQ(ReadWholeFile("a.doc"), kDocument);
  ASSERT_TRUE(found);
  EXPECT_EQ(who.process, holder);
  EXPECT_TRUE(FAILED(companion_open_held));

  // Killed, it holds nothing: the companion opens a.doc and leaves its hold file alone; a
  // session on the disk clears it, holds a.doc, and lets it go when deleted.
  EXPECT_NE(Open("a.doc"), nullptr);
  Delete_Session("Quorvel_Session", 0, 0);
  ASSERT_EQ(Create_Session("Quorvel_Session", session_), S_OK);
  EXPECT_NE(Open("a.doc"), nullptr);
  EXPECT_FALSE(Disk().FindHolder(StorageName("a.doc"), &who));
  EXPECT_NE(ReadWholeFile(".quorvel-hold-a.doc").find("process " + std::to_string(getpid())),
            std::string::npos);
  Delete_Session("Quorvel_Session", 0, 0);
  EXPECT_FALSE(std::filesystem::exists(".quorvel-hold-a.doc"));
}

TEST_F(StandinPosixTest, HandlesReleasedForGoodFreeTheirObjects) {
  std::string wide = "STANDIN-DOCUMENT 1\nproduct\n";
  for (int i = 0; i < 300; ++i) wide += "component C." + std::to_string(i) + "\n";
  WriteFile("wide.doc", wide);
  CATIProduct_var root = FindRootProduct(Open("wide.doc"));
  ASSERT_NE(root, NULL_var);
  const size_t before = mallinfo2().uordblks;
  // What the instance-name stage does for 300 records under one product.
  for (int record = 0; record < 300; ++record) {
    CATListValCATBaseUnknown_var* children = root->GetChildren("CATIProduct");
    for (int i = 1; i <= children->Size(); ++i) {
      CATIProduct_var child = (*children)[i];
      CATUnicodeString name;
      child->GetPrdInstanceName(name);
    }
    delete children;
  }
  EXPECT_LT(mallinfo2().uordblks - before, 1u << 20) << "bytes still allocated";
}

// Opens a chain of documents, each referring to the next, on a thread with a small stack.
void* OpenChain(void* path) {
  CATDocument* document = nullptr;
  static HRESULT result;
  result = CATDocumentServices::OpenDocument(static_cast<const char*>(path), document);
  return &result;
}

TEST_F(StandinPosixTest, AChainDeeperThanTheStackCouldRecurseOpens) {
  const int kDocuments = 200;
  for (int i = 0; i < kDocuments; ++i) {
    WriteFile("d" + std::to_string(i) + ".doc",
              std::string("STANDIN-DOCUMENT 1\nproduct\ncomponent Next.1\nreference d") +
                  std::to_string(i + 1) + ".doc\n");
  }
  pthread_attr_t small;
  pthread_attr_init(&small);
  pthread_attr_setstacksize(&small, 32 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &small, OpenChain, const_cast<char*>("d0.doc")), 0);
  void* result = nullptr;
  pthread_join(thread, &result);
  pthread_attr_destroy(&small);
  EXPECT_EQ(*static_cast<HRESULT*>(result), S_OK);
  CATDocument* last = nullptr;
  EXPECT_EQ(CATDocumentServices::GetDocumentInSession("d199.doc", last), S_OK);
}

// The control-file reader on a POSIX pipe (a FIFO, which Windows does not have).
// The reading takes what a pipe's writer has written and no more: a line that fits neither
// form ends it at once, while the writer keeps the pipe open.
TEST(ControlFileOnPosixTest, PipeIsReadAsFarAsItsWriterHasWritten) {
  ScratchDir dir;
  const std::string pipe = dir.File("control.ztr");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Opened for reading and writing, so that opening does not wait for a reader.
  const int writer = open(pipe.c_str(), O_RDWR);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "@A\n{K}V\nX", 9), 9);
  std::future<std::vector<std::string>> reading = std::async(std::launch::async, [&pipe] {
    ZTRObjectManager objects;
    EXPECT_TRUE(objects.ReadFile(pipe.c_str()));
    return Records(objects);
  });
  const bool finished = reading.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  close(writer);  // ends a reading that waits for more
  EXPECT_TRUE(finished) << "the reader waited for the writer";
  EXPECT_EQ(reading.get(), std::vector<std::string>{"A|K=V"});
}

}  // namespace
