#include "controlfile/ztr_object_manager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/store_records.h"
#include "testing/test_support.h"

namespace {

class ReadFileTest : public ::testing::Test {
 protected:
  std::vector<std::string> Read(const std::string& bytes) {
    WriteFile(dir_.File("control.ztr"), bytes);
    ZTRObjectManager objects;
    EXPECT_TRUE(objects.ReadFile(dir_.File("control.ztr").c_str()));
    return Records(objects);
  }
  ScratchDir dir_;
};

using Records_ = std::vector<std::string>;

TEST_F(ReadFileTest, WorkedExample) {
  EXPECT_EQ(Read("@ROOT\n{PARENT_OBJECTS}{A1}{A2}\n\n  @A1\n{partnumber}  X 1  \n"
                 "{PARTNUMBER}X 2\n@A2\n@A3\n"),
            (Records_{"ROOT|PARENT_OBJECTS={A1}{A2}", "A1|PARTNUMBER=X 2", "A2", "A3"}));
}

// A key given again keeps its first place and takes the last value, in a long record too.
TEST_F(ReadFileTest, KeyGivenAgainKeepsItsPlace) {
  std::string file = "@A\n", expected = "A";
  for (int k = 1; k <= 20; ++k) {
    file += "{K" + std::to_string(k) + "}v\n";
    expected += "|K" + std::to_string(k) + (k == 3 ? "=last" : "=v");
  }
  EXPECT_EQ(Read(file + "{k3}last\n"), Records_{expected});
}

TEST_F(ReadFileTest, StartAndEndOfFile) {
  EXPECT_EQ(Read(""), Records_{});
  EXPECT_EQ(Read("\n@A\n"), Records_{});
  EXPECT_EQ(Read(" @A\n"), Records_{});
  EXPECT_EQ(Read("\xef\xbb\xbf@A\n"), Records_{});
  EXPECT_EQ(Read("{K}V\n@A\n"), Records_{});
  EXPECT_EQ(Read("@A\n{K}last"), Records_{"A|K=last"});
  EXPECT_EQ(Read("@A"), Records_{"A"});
  EXPECT_EQ(Read("@ A \n@A\n"), (Records_{" A ", "A"}));
}

TEST_F(ReadFileTest, CarriageReturns) {
  EXPECT_EQ(Read("@A\r\r\n{K} w \r\n{E}\r\n{Z}z\r\n"), (Records_{"A|K=w |E=|Z=z"}));
  // With bare line feeds the same empty value ends the reading.
  EXPECT_EQ(Read("@A\n{K}w\n{E}\n{Z}z\n@B\n"), (Records_{"A|K=w"}));
}

TEST_F(ReadFileTest, MalformedLineEndsTheReadingKeepingWhatCameBefore) {
  EXPECT_EQ(Read("@A\n{K}v\n{}v\n@B\n"), Records_{"A|K=v"});
  EXPECT_EQ(Read("@A\n{K}v\nK}v\n@B\n"), Records_{"A|K=v"});
  EXPECT_EQ(Read("@A\n{Kv\n@B\n"), Records_{"A"});
  EXPECT_EQ(Read("@A\n@\n@B\n"), Records_{"A"});
  EXPECT_EQ(Read("@A\n{K}{x}}\n@B\n"), (Records_{"A|K={x}}", "B"}));
  EXPECT_EQ(Read("@A\n{K\nL}v\n"), (Records_{"A|K\nL=v"}));
}

TEST_F(ReadFileTest, FieldsLongerThanTheLimit) {
  const std::string limit(65535, 'I');
  // An identifier is cut; its rest is read as a line of its own and ends the reading.
  EXPECT_EQ(Read("@" + limit + "xyz\n@B\n"), Records_{limit});
  EXPECT_EQ(Read("@" + limit + "@B\n"), (Records_{limit, "B"}));
  // A value is cut; a rest that begins with "{" is read as the next attribute line.
  EXPECT_EQ(Read("@A\n{K}" + limit + "{L}w\n"), (Records_{"A|K=" + limit + "|L=w"}));
  EXPECT_EQ(Read("@A\n{K}" + limit + "tail\n@B\n"), (Records_{"A|K=" + limit}));
  // A key that long is not stored; its rest is read as if it began a record.
  EXPECT_EQ(Read("@A\n{" + limit + "X}v\n@B\n"), Records_{"A"});
  EXPECT_EQ(Read("@A\n{" + limit + "@B\n{K}v\n"), (Records_{"A", "B|K=v"}));
  EXPECT_EQ(Read("@A\n{" + limit + "}v\n"), (Records_{"A|" + limit + "=v"}));
}

TEST_F(ReadFileTest, NulBytesEndTheTextOfAField) {
  EXPECT_EQ(Read(std::string("@A\0B\n{K\0x}v\0w\n@C\n", 17)), (Records_{"A|K=v", "C"}));
  // An identifier whose text is empty is none: the reading ends there.
  EXPECT_EQ(Read(std::string("@A\n{K}v\n@\0B\n@C\n", 15)), (Records_{"A|K=v"}));
}

// The first object with an identifier, whether the store searches or has indexed by then.
TEST_F(ReadFileTest, FindObjectGivesTheFirstObjectWithTheIdentifier) {
  WriteFile(dir_.File("c"), "@A\n{N}1\n@B\n{N}2\n@A\n{N}3\n@ A\n{N}4\n@\xe9\n{N}5\n");
  ZTRObjectManager objects;
  ASSERT_TRUE(objects.ReadFile(dir_.File("c").c_str()));
  const struct {
    std::string identifier;
    std::string number;  // "-": no object
  } cases[] = {{"A", "1"},    {"B", "2"}, {" A", "4"},
               {"\xe9", "5"}, {"a", "-"}, {"", "-"},
               {"A ", "-"},   {"C", "-"}, {std::string("A\0", 2), "-"}};
  // Enough rounds for the searches to add up to the store's size, and more.
  for (int round = 0; round < 3; ++round) {
    for (const auto& c : cases) {
      const ZTRObject* object =
          objects.FindObject(CATString(c.identifier.data(), c.identifier.size()));
      EXPECT_EQ(object == nullptr ? "-" : object->GetAttribute("N").CastToCharPtr(), c.number)
          << c.identifier << " round " << round;
    }
  }
}

TEST(ZTRObjectManagerTest, UnreadableFileReportsWithTheTraceSwitchOn) {
  ScratchDir dir;
  ZTRObjectManager objects;
  CoutCapture console;
  TraceLevel on(1);
  EXPECT_FALSE(objects.ReadFile(dir.File("missing.ztr").c_str()));
  EXPECT_FALSE(objects.ReadFile(dir.path().c_str()));  // a directory is no control file
  EXPECT_EQ(objects.Size(), 0);
  EXPECT_EQ(console.Text(), "ZTRObjectManager: Could not open file " + dir.File("missing.ztr") +
                                "\nZTRObjectManager: Could not open file " + dir.path() + "\n");
}

TEST(ZTRObjectManagerTest, DumpOfTheWorkedExampleAndTheEndOfReadingLine) {
  ScratchDir dir;
  WriteFile(dir.File("c"),
            "@ROOT\n{PARENT_OBJECTS}{A1}{A2}\n\n  @A1\n{partnumber}  X 1  \n{PARTNUMBER}X 2\n"
            "@A2\n@A3\n");
  ZTRObjectManager objects;
  CoutCapture console;
  TraceLevel on(1);
  ASSERT_TRUE(objects.ReadFile(dir.File("c").c_str()));
  objects.Dump();
  EXPECT_EQ(console.Text(),
            "ZTRObject: ID not found in file\n"
            "ZTRObject:\nID:[ROOT]\nPARENT_OBJECTS->\nA1\nA2\n"
            "ZTRObject:\nID:[A1]\nPARTNUMBER:[X 2]\n"
            "ZTRObject:\nID:[A2]\nZTRObject:\nID:[A3]\n");
}

// Whatever follows the line where reading stops is never read: an endless device, and a file
// of a terabyte that is empty after its first two records.
TEST(ZTRObjectManagerTest, NothingAfterTheStopIsRead) {
  ZTRObjectManager zeros;
  EXPECT_TRUE(zeros.ReadFile("/dev/zero"));
  EXPECT_EQ(zeros.Size(), 0);

  ScratchDir dir;
  const std::string sparse = dir.File("sparse.ztr");
  WriteFile(sparse, "@A\n{K}V\n@B\n");
  std::error_code error;
  std::filesystem::resize_file(sparse, uintmax_t{1} << 40, error);
  if (error) GTEST_SKIP() << "no file of a terabyte here: " << error.message();
  ZTRObjectManager objects;
  EXPECT_TRUE(objects.ReadFile(sparse.c_str()));
  EXPECT_EQ(Records(objects), (Records_{"A|K=V", "B"}));
}

}  // namespace
