#include "controlfile/ztr_object_manager.h"

#include <gtest/gtest.h>

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

// A key given again keeps its first place and takes the last value, in a long record too.
TEST_F(ReadFileTest, KeyGivenAgainKeepsItsPlace) {
  std::string file = "@A\n", expected = "A";
  for (int k = 1; k <= 20; ++k) {
    file += "{K" + std::to_string(k) + "}v\n";
    expected += "|K" + std::to_string(k) + (k == 3 ? "=last" : "=v");
  }
  EXPECT_EQ(Read(file + "{k3}last\n"), Records_{expected});
}

// A value loses its blanks at both ends, then its carriage returns: a blank before a carriage
// return stays, and a value of a carriage return alone is an empty value.
TEST_F(ReadFileTest, ValuesLoseBlanksThenCarriageReturns) {
  EXPECT_EQ(Read("@A\r\r\n{K} w \r\n{E}\r\n{Z}z\r\n"), (Records_{"A|K=w |E=|Z=z"}));
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

// Whatever follows the line where reading stops is never read: here an endless device.
TEST(ZTRObjectManagerTest, NothingAfterTheStopIsRead) {
  ZTRObjectManager zeros;
  EXPECT_TRUE(zeros.ReadFile("/dev/zero"));
  EXPECT_EQ(zeros.Size(), 0);
}

}  // namespace
