// The Intel HEX reader: what lands in BuffEt and ConfigWrite, the result and the
// log line, for well-formed images and for every kind of malformed line.
#include "image/hex_reader.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image_test_util.h"

namespace tvn {
namespace {

using imgtest::Bytes;
using imgtest::Rec;
using imgtest::Recorder;

constexpr uint8_t kConfigUntouched = 0x5A;
const char kEnd[] = ":00000001FF";
const char kElaProgram[] = ":020000040000FA";
const char kElaConfig[] = ":020000040030CA";

struct Writes {
  unsigned at;
  std::vector<uint8_t> bytes;
};

struct HexCase {
  const char* name;
  std::vector<std::string> lines;  // joined with LF
  int result;
  std::vector<Writes> et;          // BuffEt bytes expected to differ from FFh
  std::vector<Writes> config;      // ConfigWrite entries expected to change
};

std::string Join(const std::vector<std::string>& lines, const char* eol = "\n") {
  std::string t;
  for (const auto& l : lines) t += l + eol;
  return t;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// 122 data bytes make the longest line we take: 11 + 244 = 255 columns.
const std::vector<uint8_t> k122 = Bytes(122, 0x01);
const std::vector<uint8_t> k16 = Bytes(16, 0x10);

const HexCase kCases[] = {
    // Well-formed images read as they always have.
    {"sixteen bytes at 0000h", {Rec(0, 0, k16), kEnd}, 0, {{0x0000, k16}}, {}},
    {"lower-case digits",
     {Lower(Rec(0, 0, Bytes(16, 0xA0))), kEnd}, 0, {{0x0000, Bytes(16, 0xA0)}}, {}},
    {"byte count not compared with the data",
     {Rec(0x0100, 0, {0xAA, 0xBB}, 0x10), kEnd}, 0, {{0x0100, {0xAA, 0xBB}}}, {}},
    {"record at FFF8h wraps to 0000h",
     {Rec(0xFFF8, 0, k16)}, 0, {{0xFFF8, Bytes(8, 0x10)}, {0x0000, Bytes(8, 0x18)}}, {}},
    {"end record stops the read before malformed lines",
     {Rec(0x20, 0, {1, 2}), kEnd, "garbage", ""}, 0, {{0x20, {1, 2}}}, {}},
    {"no end record reads to the last line", {Rec(0x40, 0, {7}), Rec(0x7FFF, 0, {9})}, 0,
     {{0x40, {7}}, {0x7FFF, {9}}}, {}},
    {"odd digit count keeps a lone high nibble",
     // sum 02+00+10+00+AB = BDh, checksum 43h; the C is stored as C0h but not summed
     {":02001000ABC43", kEnd}, 0, {{0x0010, {0xAB, 0xC0}}}, {}},
    {"configuration records: no checksum, no start code looked at",
     {Rec(0, 0, {0x55}), kElaConfig, ";0200000022FE00", ":01000D0080FF", kEnd}, 0,
     {{0, {0x55}}}, {{0, {0x22, 0xFE}}, {13, {0x80}}}},
    {"fourteen configuration bytes fill every register",
     {kElaConfig, Rec(0, 0, Bytes(14, 0xE0)), kEnd}, 0, {}, {{0, Bytes(14, 0xE0)}}},
    {"longest line: 122 data bytes", {Rec(0x0200, 0, k122), kEnd}, 0, {{0x0200, k122}}, {}},

    // A bad program-memory record: its bytes and everything before stay.
    {"wrong checksum",
     {kElaConfig, Rec(2, 0, {0x11}), kElaProgram, Rec(0x30, 0, {1, 2}),
      ":02004000AABB00", Rec(0x50, 0, {3})},
     -1, {{0x30, {1, 2}}, {0x40, {0xAA, 0xBB}}}, {{2, {0x11}}}},
    {"program record without start code", {Rec(0x30, 0, {1, 2}).replace(0, 1, ";")}, -1,
     {{0x30, {1, 2}}}, {}},
    {"blank after the checksum", {Rec(0x60, 0, {5, 6}) + " ", kEnd}, -1, {}, {}},

    // Malformed lines are rejected before anything of them is stored.
    {"empty line", {Rec(0x10, 0, {1}), "", Rec(0x20, 0, {2})}, -1, {{0x10, {1}}}, {}},
    {"line of ten columns", {":000000000"}, -1, {}, {}},
    {"end record cut short", {":0000000"}, -1, {}, {}},
    {"non-hex digit in the offset", {":0100G00005FA"}, -1, {}, {}},
    {"non-hex digit in the type", {":010000X005FA"}, -1, {}, {}},
    {"non-hex digit in the count", {":Z10000000AF5"}, -1, {}, {}},
    {"non-hex digit in the data", {":0300000001G20300"}, -1, {}, {}},
    {"non-hex digit in a configuration record", {kElaConfig, ":02000000AZ0000"}, -1, {}, {}},
    {"line longer than 255 columns", {Rec(0x0200, 0, Bytes(123, 0x01)), kEnd}, -1, {}, {}},
    {"256 columns", {Rec(0x0200, 0, k122).insert(9, "0"), kEnd}, -1, {}, {}},
    {"configuration data at offset 14", {kElaConfig, Rec(14, 0, {0x12})}, -1, {}, {}},
    {"configuration record running past offset 13",
     {kElaConfig, Rec(12, 0, {0x12, 0x34, 0x56})}, -1, {}, {}},
    {"extended address record without its address", {":02000004003"}, -1, {}, {}},

    // Other address areas never land over program memory or the configuration.
    {"ID locations and data EEPROM are dropped",
     {":020000040020DA", Rec(0, 0, Bytes(8, 0xC0)), ":0200000400F00A",
      Rec(0, 0, Bytes(16, 0xD0)), kElaProgram, Rec(0x8, 0, {0x77}), kEnd},
     0, {{0x8, {0x77}}}, {}},
    {"only 0030h is the configuration area",
     {":020000040130C9", Rec(0, 0, {0x99}), kEnd}, 0, {}, {}},
    {"back to program memory after the configuration",
     {kElaConfig, Rec(0, 0, {0x21, 0x22}), kElaProgram, Rec(0, 0, {0xA0, 0xA1}), kEnd}, 0,
     {{0, {0xA0, 0xA1}}}, {{0, {0x21, 0x22}}}},
    {"dropped records still need their checksum",
     {":020000040020DA", ":0100000012FF"}, -1, {}, {}},
    {"other record types are checked, never stored",
     {Rec(0, 0x02, {0x10, 0x00}), Rec(0, 0x03, {0, 0, 1, 2}), Rec(0, 0x05, {0, 0, 0x40, 0}), kEnd},
     0, {}, {}},
    {"other record type with a wrong checksum", {":0200000210000F"}, -1, {}, {}},
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << c.name; }

class HexReader : public testing::TestWithParam<HexCase> {};

void Expect(const HexCase& c, const ReferenceImage& img, const Recorder& host, int r) {
  EXPECT_EQ(r, c.result);
  if (c.result == 0) {
    EXPECT_TRUE(host.log.empty());
  } else {
    EXPECT_EQ(host.log, std::vector<std::string>{kHexFormatError});
  }
  ImageBytes et;
  et.fill(0xFF);
  for (const Writes& w : c.et)
    for (std::size_t i = 0; i < w.bytes.size(); ++i) et[w.at + i] = w.bytes[i];
  ConfigBytes cfg;
  cfg.fill(kConfigUntouched);
  for (const Writes& w : c.config)
    for (std::size_t i = 0; i < w.bytes.size(); ++i) cfg[w.at + i] = w.bytes[i];
  for (std::size_t a = 0; a < kImageBytes; ++a)
    if (img.buffEt[a] != et[a]) {
      ADD_FAILURE() << "BuffEt[" << std::hex << a << "h] = " << int(img.buffEt[a]) << ", expected "
                    << int(et[a]);
      break;
    }
  EXPECT_EQ(img.configWrite, cfg);
}

ReferenceImage Fresh() {
  ReferenceImage img;
  img.buffEt.fill(0xFF);
  img.configWrite.fill(kConfigUntouched);
  return img;
}

TEST_P(HexReader, StoresAndReports) {
  const HexCase& c = GetParam();
  ReferenceImage img = Fresh();
  Recorder host;
  const int r = ReadHexText(Join(c.lines), img, host);
  Expect(c, img, host, r);
}

// A CR LF file must read exactly like the same file with LF line ends.
TEST_P(HexReader, CrLfReadsLikeLf) {
  const HexCase& c = GetParam();
  ReferenceImage img = Fresh();
  Recorder host;
  const int r = ReadHexText(Join(c.lines, "\r\n"), img, host);
  Expect(c, img, host, r);
}

std::string CaseName(const testing::TestParamInfo<HexCase>& info) {
  std::string n;
  for (const char* p = info.param.name; *p; ++p)
    n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return n;
}

INSTANTIATE_TEST_SUITE_P(Records, HexReader, testing::ValuesIn(kCases), CaseName);

TEST(HexDigit, UpperCaseDigitsOnly) {
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    int want = -1;
    if (ch >= '0' && ch <= '9') want = c - '0';
    if (ch >= 'A' && ch <= 'F') want = c - 'A' + 10;
    EXPECT_EQ(HexDigit(ch), want) << "character " << c;
  }
}

// A lone CR inside a line is not a line end; only the one before LF is dropped.
TEST(HexReaderText, OnlyTheCrBeforeLfIsDropped) {
  ReferenceImage img = Fresh();
  Recorder host;
  EXPECT_EQ(ReadHexText(Rec(0, 0, {1}) + "\r\r\n", img, host), -1);
}

TEST(HexReaderFile, ReadsAFileAndReportsOneThatCannotBeOpened) {
  imgtest::ScratchDir dir;
  {
    std::ofstream f("image.hex", std::ios::binary);
    f << Rec(0x100, 0, {0xDE, 0xAD}) << "\r\n" << kEnd << "\r\n";
  }
  ReferenceImage img = Fresh();
  Recorder host;
  std::string err;
  EXPECT_EQ(ReadHexImage("image.hex", img, host, &err), 0);
  EXPECT_EQ(img.buffEt[0x100], 0xDE);
  EXPECT_EQ(img.buffEt[0x101], 0xAD);
  EXPECT_TRUE(err.empty());

  EXPECT_EQ(ReadHexImage("missing.hex", img, host, &err), -1);
  EXPECT_EQ(err, std::strerror(ENOENT));
  EXPECT_TRUE(host.log.empty());  // not a format error
  EXPECT_TRUE(host.boxes.empty());

  // Without a place for the error text it goes to an error box.
  EXPECT_EQ(ReadHexImage("missing.hex", img, host), -1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].second, BoxKind::Error);
  EXPECT_NE(host.boxes[0].first.find(std::strerror(ENOENT)), std::string::npos);
}

}  // namespace
}  // namespace tvn
