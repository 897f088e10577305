// Loading the built-in images: both chips, the temporary file, damaged images
// and file-system failures.
#include "image/builtin_images.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "image/hex_reader.h"
#include "image/image_key.h"
#include "image/rc6w8r8b10.h"
#include "image_test_util.h"

namespace tvn {
namespace {

using imgtest::Rec;
using imgtest::ScratchDir;
using imgtest::Station;

struct Expected {
  ImageBytes et;
  ConfigBytes config;  // as in the file, before masking
};

// The firmware source read by the simplest parser there is: well-formed files
// only, addresses from the extended linear address records.
Expected FromSource(const char* file) {
  Expected e;
  e.et.fill(0xFF);
  e.config.fill(0);
  std::ifstream in(imgtest::FirmwareDir() / file);
  EXPECT_TRUE(in) << file;
  std::string line;
  unsigned upper = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    auto byte = [&](std::size_t i) { return std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16); };
    const unsigned n = byte(0), addr = byte(1) << 8 | byte(2), type = byte(3);
    if (type == 1) break;
    if (type == 4) upper = byte(4) << 8 | byte(5);
    if (type != 0) continue;
    for (unsigned i = 0; i < n; ++i) {
      if (upper == 0x0000) e.et[addr + i] = static_cast<uint8_t>(byte(4 + i));
      if (upper == 0x0030) e.config[addr + i] = static_cast<uint8_t>(byte(4 + i));
    }
  }
  return e;
}

struct Chip {
  bool prog4520;
  const char* file;
  const char* label;
  unsigned bootWords;
  ConfigBytes masked;  // the file's configuration after masking for the chip
};

const Chip kChips[] = {
    {false, "Tvn_252_V22.hex", "Загружен Файл Tvn_252_V22", 384,
     {0x00, 0x22, 0x06, 0x0F, 0x00, 0x01, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {true, "Tvn_2520_V23.hex", "Загружен Файл Tvn_2520_V23", 1024,
     {0x00, 0x02, 0x16, 0x0F, 0x00, 0x81, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
};

class BuiltinImageChip : public testing::TestWithParam<Chip> {
 protected:
  ScratchDir dir_;
};

TEST_P(BuiltinImageChip, LoadsWhatTheFirmwareHolds) {
  const Chip& c = GetParam();
  Station st;
  st.s.sel.prog4520 = c.prog4520;
  st.s.image.buffEt.fill(0x00);  // whatever was there before must not show through
  EXPECT_EQ(SpeedButton7Click(st.s), 0);
  EXPECT_EQ(st.host.label3, c.label);
  EXPECT_TRUE(st.host.log.empty());
  EXPECT_TRUE(st.host.boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(kTempImageFile));

  const Expected e = FromSource(c.file);
  for (std::size_t a = 0; a < 0x8000; ++a)
    ASSERT_EQ(st.s.image.buffEt[a], e.et[a]) << "address " << std::hex << a;
  EXPECT_EQ(st.s.image.configWrite, c.masked);

  // A real image: the reset vector, the application's own reset vector right
  // after the boot block, and code and data in every quarter of program memory.
  EXPECT_EQ(st.s.image.buffEt[1], 0xEF);                     // GOTO
  EXPECT_EQ(st.s.image.buffEt[2 * c.bootWords + 1], 0xEF);  // GOTO
  for (unsigned q = 0; q < 4; ++q) {
    int rows = 0, erased = 0;
    for (unsigned row = q * 0x2000; row < (q + 1) * 0x2000; row += 32) {
      bool any = false;
      for (unsigned i = row; i < row + 32; ++i) any = any || st.s.image.buffEt[i] != 0xFF;
      any ? ++rows : ++erased;
    }
    EXPECT_GE(rows, 64) << "quarter " << q;
    EXPECT_GE(erased, 32) << "quarter " << q;
  }
}

TEST_P(BuiltinImageChip, TwoLoadsInARowAgree) {
  const Chip& c = GetParam();
  Station st;
  st.s.sel.prog4520 = c.prog4520;
  ASSERT_EQ(SpeedButton7Click(st.s), 0);
  const ReferenceImage first = st.s.image;
  st.s.image.buffEt[0x7FE0] = 0x00;  // an erased gap in both images
  ASSERT_EQ(first.buffEt[0x7FE0], 0xFF);
  ASSERT_EQ(SpeedButton7Click(st.s), 0);
  EXPECT_EQ(st.s.image.buffEt, first.buffEt);
  EXPECT_EQ(st.s.image.configWrite, first.configWrite);
  EXPECT_FALSE(std::filesystem::exists(kTempImageFile));
}

INSTANTIATE_TEST_SUITE_P(Chips, BuiltinImageChip, testing::ValuesIn(kChips),
                         [](const auto& info) { return info.param.prog4520 ? "PIC18F2520" : "PIC18F252"; });

TEST(BuiltinImageLoad, OtherChipReplacesTheWholeImage) {
  ScratchDir dir;
  Station st;
  st.s.sel.prog4520 = true;
  ASSERT_EQ(SpeedButton7Click(st.s), 0);
  st.s.sel.prog4520 = false;
  ASSERT_EQ(SpeedButton7Click(st.s), 0);
  const Expected e = FromSource("Tvn_252_V22.hex");
  EXPECT_TRUE(std::equal(e.et.begin(), e.et.begin() + 0x8000, st.s.image.buffEt.begin()));
  EXPECT_EQ(st.s.image.configWrite, kChips[0].masked);
  EXPECT_EQ(st.host.label3, "Загружен Файл Tvn_252_V22");
}

TEST(BuiltinImageLoad, OverwritesAnOldTemporaryFileAndRemovesIt) {
  ScratchDir dir;
  {
    std::ofstream old(kTempImageFile);
    old << "stale\n";
  }
  Station st;
  EXPECT_EQ(SpeedButton7Click(st.s), 0);
  EXPECT_FALSE(std::filesystem::exists(kTempImageFile));
}

std::vector<uint8_t> Encrypt(const std::string& text, const Rc6Key& key = kImageKey) {
  return EncryptBytes(Rc6SetKey(key), std::vector<uint8_t>(text.begin(), text.end()));
}

// Configuration first, then a program-memory record with a bad checksum: the
// load fails after the configuration bytes went in, and they stay unmasked.
TEST(BuiltinImageLoad, BadChecksumFailsWithTheLogLineAndNoMask) {
  ScratchDir dir;
  Station st;
  st.s.sel.prog4520 = false;
  const std::string text = ":020000040030CA\n" + Rec(0, 0, std::vector<uint8_t>(14, 0xFF)) + "\n:020000040000FA\n:0400200011223344AA\n:00000001FF\n";
  EXPECT_EQ(SpeedButton7Click(st.s, Encrypt(text)), -1);
  EXPECT_EQ(st.host.label3, "Ошибка загрузки");
  EXPECT_EQ(st.host.log, std::vector<std::string>{"Ошибка формата или КС"});
  EXPECT_TRUE(st.host.boxes.empty());
  EXPECT_FALSE(std::filesystem::exists(kTempImageFile));
  ConfigBytes raw;
  raw.fill(0xFF);  // masked, Config1H would read 27h
  EXPECT_EQ(st.s.image.configWrite, raw);
  EXPECT_EQ(st.s.image.buffEt[0x20], 0x11);  // the failing record's bytes stay
  EXPECT_EQ(st.s.image.buffEt[0x23], 0x44);
  EXPECT_EQ(st.s.image.buffEt[0x24], 0xFF);
}

TEST(BuiltinImageLoad, DamagedOrForeignImagesAreRejected) {
  ScratchDir dir;
  const std::span<const uint8_t> good = tvn::BuiltinImage(true);
  ASSERT_FALSE(good.empty());

  std::vector<uint8_t> flipped(good.begin(), good.end());
  flipped[flipped.size() / 2] ^= 0x01;
  std::ifstream src(imgtest::FirmwareDir() / "Tvn_2520_V23.hex", std::ios::binary);
  std::stringstream text;
  text << src.rdbuf();
  Rc6Key other = kImageKey;
  other[9] ^= 0x80;
  const std::vector<uint8_t> foreign = Encrypt(text.str(), other);

  for (const auto& bytes : {flipped, foreign}) {
    Station st;
    st.s.sel.prog4520 = true;
    EXPECT_EQ(SpeedButton7Click(st.s, bytes), -1);
    EXPECT_EQ(st.host.label3, "Ошибка загрузки");
    EXPECT_EQ(st.host.log, std::vector<std::string>{"Ошибка формата или КС"});
    EXPECT_FALSE(std::filesystem::exists(kTempImageFile));
  }
}

TEST(BuiltinImageLoad, EmptyImageIsALoadError) {
  ScratchDir dir;
  Station st;
  st.s.image.buffEt.fill(0x00);
  EXPECT_EQ(SpeedButton7Click(st.s, {}), -1);
  EXPECT_EQ(st.host.label3, "Ошибка загрузки");
  ASSERT_EQ(st.host.boxes.size(), 1u);
  EXPECT_EQ(st.host.boxes[0].second, BoxKind::Error);
  EXPECT_NE(st.host.boxes[0].first.find("DATAARRAY"), std::string::npos);
  EXPECT_EQ(st.s.image.buffEt[0], 0xFF);  // the reset still happened
  EXPECT_FALSE(std::filesystem::exists(kTempImageFile));
}

// Root can write anywhere, but not into a directory that no longer exists.
TEST(BuiltinImageLoad, CurrentDirectoryGoneGivesAMessageNotACrash) {
  ScratchDir outer;
  std::filesystem::create_directory("gone");
  std::filesystem::current_path("gone");
  std::filesystem::remove(outer.Path() / "gone");
  Station st;
  EXPECT_EQ(SpeedButton7Click(st.s), -1);
  EXPECT_EQ(st.host.label3, "Ошибка загрузки");
  ASSERT_EQ(st.host.boxes.size(), 1u);
  EXPECT_EQ(st.host.boxes[0].second, BoxKind::Error);
  EXPECT_NE(st.host.boxes[0].first.find(std::strerror(ENOENT)), std::string::npos)
      << st.host.boxes[0].first;
  EXPECT_NE(st.host.boxes[0].first.find(kTempImageFile), std::string::npos);
  EXPECT_TRUE(st.host.log.empty());
}

// A directory in the way of the temporary file: the load fails, and what is not
// ours is left alone.
TEST(BuiltinImageLoad, DirectoryNamedLikeTheTemporaryFileIsLeftAlone) {
  ScratchDir dir;
  std::filesystem::create_directory(kTempImageFile);
  Station st;
  st.s.sel.prog4520 = true;
  EXPECT_EQ(SpeedButton7Click(st.s), -1);
  EXPECT_EQ(st.host.label3, "Ошибка загрузки");
  ASSERT_EQ(st.host.boxes.size(), 1u);
  EXPECT_NE(st.host.boxes[0].first.find(std::strerror(EISDIR)), std::string::npos)
      << st.host.boxes[0].first;
  EXPECT_TRUE(std::filesystem::is_directory(kTempImageFile));
}

}  // namespace
}  // namespace tvn
