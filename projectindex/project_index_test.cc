#include "projectindex/project_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <thread>

#include "projectindex/sqlite_database.h"
#include "system/faulty_files.h"
#include "system/system.h"
#include "testing/test_support.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Counts the files read through it.
class CountingFiles : public FaultyFiles {
 public:
  CountingFiles() : FaultyFiles(Disk()) {}
  bool ReadRegularFile(const std::string& path, std::string* bytes, FileFacts* facts) override {
    ++reads[StorageName(path)];
    return FaultyFiles::ReadRegularFile(path, bytes, facts);
  }
  std::map<std::string, int> reads;
};

std::string Document(const std::string& part_number,
                     const std::vector<std::pair<std::string, std::string>>& components = {}) {
  std::string text = "STANDIN-DOCUMENT 1\nproduct\npartnumber " + part_number + "\n";
  for (const auto& [instance, reference] : components) {
    text += "component " + instance + "\nreference " + reference + "\n";
  }
  return text;
}

// Two products, car and van, share a frame; the frame and the van use a library bolt.
struct SharedProject {
  explicit SharedProject(const ScratchDir& dir) : root(dir.File("project")) {
    std::filesystem::create_directories(root + "/lib");
    std::filesystem::create_directories(root + "/asm");
    WriteFile(root + "/lib/bolt.part", Document("BOLT"));
    WriteFile(root + "/asm/frame.prod",
              Document("FRAME", {{"B.1", "../lib/bolt.part"}, {"B.2", "../lib/bolt.part"}}));
    WriteFile(root + "/car.prod", Document("CAR", {{"Frame.1", "asm/frame.prod"}}));
    WriteFile(root + "/van.prod",
              Document("VAN", {{"Frame.1", "asm/frame.prod"}, {"Bolt.9", "lib/bolt.part"}}));
    WriteFile(root + "/notes.txt", "not a document\n");
    WriteFile(root + "/broken.prod", "STANDIN-DOCUMENT 1\ncomponent X\n");
  }
  std::string File(const std::string& name) const { return StorageName(root + "/" + name); }
  std::string root;
};

std::vector<std::string> Names(const std::vector<IndexedDocument>& documents) {
  std::vector<std::string> names;
  for (const IndexedDocument& document : documents) names.push_back(document.name);
  std::sort(names.begin(), names.end());
  return names;
}

// Every document's users, as the index answers: what two indexes must agree on.
std::string Answers(ProjectIndex& index, const std::vector<std::string>& files) {
  std::string text;
  for (const std::string& file : files) {
    text += file + ":";
    for (const DocumentUse& use : index.UsersOf(index.KeysOfFile(file))) {
      text += " " + use.user.name + "[" + use.user.part_number + "]";
      for (const std::string& instance : use.instances) text += " " + instance;
    }
    text += "\n";
  }
  return text;
}

TEST(ProjectIndexTest, UsersOfASharedPartAndRefreshes) {
  ScratchDir dir;
  SharedProject project(dir);
  std::error_code no_links;  // where the system makes none, nothing is counted
  std::filesystem::create_symlink("car.prod", project.root + "/link.prod", no_links);
  const std::string index_path = dir.File("index.sqlite");
  CountingFiles files;
  std::vector<std::string> notes;
  std::string why;
  {
    ProjectIndex index;
    ASSERT_TRUE(index.Open(files, project.root, index_path, &notes, &why)) << why;
    EXPECT_EQ(index.counts().documents, 4);
    EXPECT_EQ(index.counts().not_documents, 1);
    EXPECT_EQ(index.counts().unreadable, 1);
    EXPECT_EQ(index.counts().links, no_links ? 0 : 1);
    const std::vector<std::string> bolt = index.KeysOfFile(project.File("lib/bolt.part"));
    EXPECT_EQ(Names(index.AllUsersOf(bolt)),
              (std::vector<std::string>{project.File("asm/frame.prod"), project.File("car.prod"),
                                        project.File("van.prod")}));
    const std::vector<DocumentUse> direct = index.UsersOf(bolt);
    ASSERT_EQ(direct.size(), 2u);
    EXPECT_EQ(direct[0].instances, (std::vector<std::string>{"B.1", "B.2"}));
    EXPECT_EQ(direct[1].user.part_number, "VAN");
    EXPECT_EQ(Names(index.DocumentsWithPartNumber("FRAME")),
              std::vector<std::string>{project.File("asm/frame.prod")});
  }
  EXPECT_EQ(files.reads.size(), 6u);

  // A file outside the project, in a folder whose name begins as the project's does, and one
  // in the project's top folder named as a folder is, are known by their full names.
  std::filesystem::create_directories(project.root + "-lib");
  WriteFile(project.root + "-lib/nut.part", Document("NUT"));
  WriteFile(project.root + "/lib.prod",
            Document("KIT", {{"Nut.1", "../project-lib/nut.part"}, {"Bolt.1", "lib/bolt.part"}}));
  {
    ProjectIndex index;
    ASSERT_TRUE(index.Open(files, project.root, index_path, &notes, &why)) << why;
    const std::string kit = StorageKey(project.File("lib.prod"));
    EXPECT_EQ(index.FilesUsedBy(kit),
              (std::vector<std::string>{StorageKey(project.root + "-lib/nut.part"),
                                        StorageKey(project.File("lib/bolt.part"))}));
    EXPECT_EQ(Names(index.AllUsersOf(index.KeysOfFile(project.root + "-lib/nut.part"))),
              std::vector<std::string>{project.File("lib.prod")});
  }
  std::filesystem::remove(project.root + "/lib.prod");

  // The van no longer uses the bolt; the car is gone.
  WriteFile(project.root + "/van.prod", Document("VAN", {{"Frame.1", "asm/frame.prod"}}));
  std::filesystem::remove(project.root + "/car.prod");
  files.reads.clear();
  ProjectIndex index;
  ASSERT_TRUE(index.Open(files, project.root, index_path, &notes, &why)) << why;
  EXPECT_EQ(files.reads, (std::map<std::string, int>{{project.File("van.prod"), 1}}));
  EXPECT_EQ(index.counts().dropped, 2);
  IndexedDocument gone;
  EXPECT_FALSE(index.FindDocument(StorageKey(project.File("car.prod")), &gone));
  EXPECT_EQ(index.counts().documents, 3);
  EXPECT_EQ(Names(index.AllUsersOf(index.KeysOfFile(project.File("lib/bolt.part")))),
            (std::vector<std::string>{project.File("asm/frame.prod"), project.File("van.prod")}));
  EXPECT_TRUE(notes.empty());
}

TEST(ProjectIndexTest, ADatabaseThatIsNoIndexOfTheFolderIsRebuiltOrRefused) {
  ScratchDir dir;
  SharedProject project(dir);
  EnvVar cache(OnWindows() ? "LOCALAPPDATA" : "XDG_CACHE_HOME", dir.File("cache").c_str());
  const std::string real = Disk().RealPath(project.root);
  auto open = [&](const std::string& index_path, std::vector<std::string>* notes) {
    ProjectIndex index;
    std::string why;
    if (!index.Open(Disk(), project.root, index_path, notes, &why)) return "refused: " + why;
    return Answers(index, {project.File("lib/bolt.part"), project.File("asm/frame.prod")});
  };
  std::vector<std::string> notes;
  const std::string fresh = open("", &notes);
  ASSERT_TRUE(notes.empty());
  ASSERT_NE(fresh.find("car.prod[CAR] Frame.1"), std::string::npos) << fresh;

  const std::string in_cache = DefaultIndexPath(real);
  ASSERT_EQ(in_cache.rfind(StorageName(dir.File("cache/quorvel/project-")), 0), 0u) << in_cache;
  const std::string good = ReadWholeFile(in_cache);
  std::string damaged = good;
  for (size_t i = 100; i < damaged.size(); i += 7) damaged[i] = '\x5a';
  std::string newer = good;
  newer[63] = 9;  // user_version, the schema's
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"garbage", "garbage bytes, no database at all\n"},
      {"damaged", damaged},
      {"newer", newer},
  };
  for (const auto& c : cases) {
    WriteFile(in_cache, c.bytes);
    notes.clear();
    EXPECT_EQ(open("", &notes), fresh) << c.what;
    ASSERT_EQ(notes.size(), 1u) << c.what;
    EXPECT_NE(notes[0].find("was rebuilt"), std::string::npos) << notes[0];
  }

  // Named with --index, a file that is no index of ours is left as it is.
  const std::string mine = dir.File("rename.ztr");
  WriteFile(mine, "@ROOT\n");
  notes.clear();
  EXPECT_EQ(open(mine, &notes).rfind("refused: ", 0), 0u);
  EXPECT_EQ(ReadWholeFile(mine), "@ROOT\n");
  EXPECT_TRUE(notes.empty());
  // An index of another folder is rebuilt.
  const std::string other = dir.File("other.sqlite");
  {
    ProjectIndex index;
    std::string why;
    ASSERT_TRUE(index.Open(Disk(), project.root + "/asm", other, &notes, &why)) << why;
  }
  EXPECT_EQ(open(other, &notes), fresh);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("another folder"), std::string::npos) << notes[0];
}

// A project large enough that a refresh takes a while: products over sub-assemblies that share
// parts, each edition sharing them differently.
void WriteLargeProject(const std::string& root, int products, int edition) {
  std::filesystem::create_directories(root + "/lib");
  auto part = [&](int p) { return "lib/part" + std::to_string(p % products) + ".part"; };
  for (int p = 0; p < products; ++p) {
    const std::string n = std::to_string(p);
    WriteFile(root + "/lib/part" + n + ".part", Document("PART-" + n));
    WriteFile(root + "/sub" + n + ".prod",
              Document("SUB-" + n, {{"P.1", part(p + edition)}, {"Q.1", part(p + 1)}}));
    WriteFile(
        root + "/top" + n + ".prod",
        Document("TOP-" + n, {{"S.1", "sub" + n + ".prod"},
                              {"S.2", "sub" + std::to_string((p + 3) % products) + ".prod"}}));
  }
}

TEST(ProjectIndexTest, CommandsAtOnceBothAnswer) {
  ScratchDir dir;
  const std::string root = dir.File("project");
  WriteLargeProject(root, 300, 0);
  const std::string index_path = dir.File("index.sqlite");
  std::string answers[2], whys[2];
  auto use = [&](int which) {
    ProjectIndex index;
    std::vector<std::string> notes;
    if (index.Open(Disk(), root, index_path, &notes, &whys[which])) {
      answers[which] = Answers(index, {StorageName(root + "/lib/part7.part")});
    }
  };
  std::thread first(use, 0), second(use, 1);
  first.join();
  second.join();
  EXPECT_EQ(whys[0] + whys[1], "");
  EXPECT_NE(answers[0].find("sub7.prod[SUB-7] P.1"), std::string::npos) << answers[0];
  EXPECT_EQ(answers[0], answers[1]);
}

#ifndef _WIN32
TEST(ProjectIndexTest, ARefreshKilledAnywhereLeavesAnIndexThatAnswersAsAFreshOne) {
  ScratchDir dir;
  const std::string root = dir.File("project");
  const std::string index_path = dir.File("index.sqlite");
  std::mt19937 random(12345);
  std::vector<std::string> asked;
  for (int p = 0; p < 150; ++p)
    asked.push_back(StorageName(root + "/lib/part" + std::to_string(p) + ".part"));
  for (int round = 0; round < 6; ++round) {
    // Every sub-assembly changed: the refresh reads them all.
    WriteLargeProject(root, 150, round);
    const auto start = std::chrono::steady_clock::now();
    std::string fresh;
    {
      ProjectIndex index;
      std::vector<std::string> notes;
      std::string why;
      ASSERT_TRUE(
          index.Open(Disk(), root, dir.File("fresh" + std::to_string(round)), &notes, &why));
      fresh = Answers(index, asked);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ProjectIndex index;
      std::vector<std::string> notes;
      std::string why;
      _exit(index.Open(Disk(), root, index_path, &notes, &why) ? 0 : 1);
    }
    std::this_thread::sleep_for(took * std::uniform_real_distribution<double>(0.05, 1.0)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ProjectIndex index;
    std::vector<std::string> notes;
    std::string why;
    ASSERT_TRUE(index.Open(Disk(), root, index_path, &notes, &why)) << why;
    EXPECT_TRUE(notes.empty()) << notes[0];
    EXPECT_EQ(Answers(index, asked), fresh) << "round " << round;
  }
}
#endif

}  // namespace
