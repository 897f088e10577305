// Writing an image out as Intel HEX and reading it back.
#include "image/hex_writer.h"

#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "image/hex_reader.h"
#include "image_test_util.h"

namespace tvn {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

TEST(HexWriter, ReferenceImageReadsBackTheSame) {
  ReferenceImage img;
  img.buffEt.fill(0xFF);
  std::mt19937 rng(7);
  // Scattered rows, a row with FFh inside, the first and the last row of
  // program memory, and bytes above program memory that must not be written.
  for (unsigned row : {0x0000u, 0x0010u, 0x1230u, 0x4000u, 0x7FF0u})
    for (unsigned i = 0; i < 16; ++i) img.buffEt[row + i] = static_cast<uint8_t>(rng());
  img.buffEt[0x1234] = 0xFF;
  img.buffEt[0x9000] = 0x42;
  for (int i = 0; i < kConfigBytes; ++i) img.configWrite[i] = static_cast<uint8_t>(0xC0 + i);

  const std::string text = DumpReferenceImageHex(img);
  const auto lines = Lines(text);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), ":020000040000FA");
  EXPECT_EQ(lines.back(), ":00000001FF");
  EXPECT_EQ(lines[lines.size() - 3], ":020000040030CA");
  EXPECT_EQ(lines.size(), 5u + 4u);  // five data rows, two addresses, config, end

  ReferenceImage back;
  back.buffEt.fill(0xFF);
  imgtest::Recorder host;
  ASSERT_EQ(ReadHexText(text, back, host), 0);
  img.buffEt[0x9000] = 0xFF;
  EXPECT_EQ(back.buffEt, img.buffEt);
  EXPECT_EQ(back.configWrite, img.configWrite);
}

TEST(HexWriter, ChipImageCarriesConfigurationOnlyWhenRead) {
  ReferenceImage img;
  img.buffChip.fill(0xFF);
  img.buffEt.fill(0x00);  // not what a chip dump shows
  img.buffChip[0x0100] = 0x12;
  EXPECT_EQ(ChipImageHex(img), ":020000040000FA\n:10010000" "12FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF" "EC\n:00000001FF\n");

  ConfigBytes read{};
  read[1] = 0x22;
  const std::string withConfig = ChipImageHex(img, &read);
  EXPECT_NE(withConfig.find(":020000040030CA\n:0E0000000022"), std::string::npos) << withConfig;
}

}  // namespace
}  // namespace tvn
