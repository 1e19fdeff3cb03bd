// The reader against the C runtime's fscanf with the literal patterns, on many generated
// control files: the same records, and the same position where reading stops.
#include "controlfile/control_scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "controlfile/fscanf_reference.h"
#include "controlfile/ztr_object_manager.h"
#include "testing/test_support.h"

namespace {

// Control files made of well-formed lines, damaged lines, odd bytes and fields near the
// 65,535-byte limit. Only the raw output of mt19937 is used, so a seed gives the same file
// with every standard library.
class ControlFileGenerator {
 public:
  explicit ControlFileGenerator(uint32_t seed) : random_(seed) {}

  std::string File() {
    std::string file;
    const int pieces = static_cast<int>(Below(40));
    if (Below(10) != 0) file += IdentifierLine();
    for (int i = 0; i < pieces; ++i) {
      switch (Below(12)) {
        case 0:
        case 1:
          file += IdentifierLine();
          break;
        case 2:
          file += Text(Below(4), " \t\r\n\v\f");
          break;
        case 3:
          file += Junk();
          break;
        default:
          file += AttributeLine();
      }
    }
    if (Below(4) == 0 && !file.empty()) file.pop_back();  // no final line feed
    return file;
  }

 private:
  uint32_t Below(uint32_t n) { return random_() % n; }

  std::string Text(size_t length, const std::string& alphabet) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += alphabet[Below(alphabet.size())];
    return text;
  }

  // Field text: mostly short, sometimes empty, sometimes right around the limit.
  std::string Field(const std::string& alphabet) {
    switch (Below(16)) {
      case 0:
        return "";
      case 1: {
        const size_t lengths[] = {65534, 65535, 65536, 65537, 70000};
        std::string text(lengths[Below(5)], 'x');
        if (Below(2) == 0) text[65535 % text.size()] = " }\n\t@{"[Below(6)];
        return text;
      }
      default:
        return Text(Below(12), alphabet);
    }
  }

  std::string LineEnd() {
    const char* ends[] = {"\n", "\n", "\n", "\r\n", " \r\n", "\r\r\n", "\n\n  ", "", " \n"};
    return ends[Below(9)];
  }

  std::string IdentifierLine() {
    return "@" + Field(std::string("AbC 12_-\r\x01\xff{}@\0", 16)) + LineEnd();
  }

  std::string AttributeLine() {
    const std::string key = Below(8) == 0 ? Text(Below(5), std::string("k\n\r }{\0", 7))
                                          : Field(std::string("KeYy_ \r\xe9@{\0", 12));
    const std::string value = Below(10) == 0 ? std::string("@EOL@", 5) + Text(2, "ab")
                                             : Field(std::string("vA {}1\r\t@\xff\0", 12));
    std::string line = "{" + key;
    if (Below(12) != 0) line += "}";
    return line + value + LineEnd();
  }

  std::string Junk() { return Text(1 + Below(6), std::string("@{}\n\r \tq\0\xbb\xef", 11)); }

  std::mt19937 random_;
};

// The record that the store keeps for what fscanf yields, through the store's own attribute
// rules.
void ExpectSameRecord(const ZTRObject& object, const ScannedRecord& scanned, uint32_t seed) {
  CATString identifier(scanned.identifier.c_str());
  identifier.Strip(CATString::CATStripModeTrailing, '\r');
  ZTRObject wanted;
  for (const auto& attribute : scanned.attributes) {
    wanted.SetAttribute(attribute.first.c_str(), attribute.second.c_str());
  }
  EXPECT_TRUE(object.GetIdentifier() == identifier) << "seed " << seed;
  ASSERT_EQ(object.AttributeCount(), wanted.AttributeCount()) << "seed " << seed;
  for (int k = 1; k <= wanted.AttributeCount(); ++k) {
    EXPECT_STREQ(object.Key(k), wanted.Key(k)) << "seed " << seed;
    EXPECT_STREQ(object.Value(k), wanted.Value(k)) << "seed " << seed;
  }
}

// Record by record from a stream whose runtime buffer holds only a few bytes, or more, so that
// fields of 65,535 bytes are cut across many refills; then the whole store.
TEST(ControlScannerTest, ReadsWhatFscanfReadsAndStopsWhereItStops) {
  ScratchDir dir;
  const std::string path = dir.File("generated.ztr");
  const size_t buffers[] = {7, 4096, 65536, 300000};
  for (uint32_t seed = 1; seed <= 600; ++seed) {
    const std::string bytes = ControlFileGenerator(seed).File();
    WriteFile(path, bytes);
    FILE* reference_file = std::fopen(path.c_str(), "rb");
    FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(reference_file, nullptr);
    ASSERT_NE(stream, nullptr);
    std::vector<char> buffer(buffers[seed % 4]);
    std::setvbuf(stream, buffer.data(), _IOFBF, buffer.size());
    const std::vector<ScannedRecord> expected = ReadWithFscanf(reference_file);
    size_t read = 0;
    for (ZTRObject object; object.ReadFromFile(stream); ++read) {
      ASSERT_LT(read, expected.size()) << "seed " << seed;
      ExpectSameRecord(object, expected[read], seed);
    }
    EXPECT_EQ(read, expected.size()) << "seed " << seed;
    EXPECT_EQ(std::ftell(stream), std::ftell(reference_file)) << "seed " << seed;
    std::fclose(reference_file);
    std::fclose(stream);

    ZTRObjectManager objects;
    ASSERT_TRUE(objects.ReadFile(path.c_str()));
    ASSERT_EQ(objects.Size(), static_cast<int>(expected.size())) << "seed " << seed;
    for (size_t i = 0; i < expected.size(); ++i) {
      ExpectSameRecord(*objects.GetObject(static_cast<int>(i) + 1), expected[i], seed);
    }
  }
}

}  // namespace
