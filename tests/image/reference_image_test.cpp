// The configuration masks of both chips and the reset of the reference image.
#include <gtest/gtest.h>

#include "image/reference_image.h"

namespace tvn {
namespace {

struct MaskCase {
  const char* name;
  bool prog4520;
  ConfigBytes before;
  ConfigBytes after;
};

class MaskConfig : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskConfig, ZeroReadsUnprogrammedThenImplementedBitsOnly) {
  ConfigBytes c = GetParam().before;
  MaskConfigWrite(c, GetParam().prog4520);
  EXPECT_EQ(c, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    BothChips, MaskConfig,
    ::testing::Values(
        // No configuration in the image: every entry becomes its full mask.
        MaskCase{"EmptyPic18F2520", true, {}, {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
        MaskCase{"EmptyPic18F252", false, {}, {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
        // Config1H FFh is cut to each chip's oscillator bits; a 00h Config5L
        // (all blocks protected) cannot survive; set bits outside the mask go.
        MaskCase{"ValuesPic18F2520", true,
                 {0x12, 0xFF, 0x01, 0x10, 0xFF, 0x80, 0x81, 0x00, 0x00, 0xFF, 0x03, 0x20, 0xF5, 0x00},
                 {0x00, 0xCF, 0x01, 0x10, 0x00, 0x80, 0x81, 0x00, 0x0F, 0xC0, 0x03, 0x20, 0x05, 0x40}},
        MaskCase{"ValuesPic18F252", false,
                 {0x12, 0xFF, 0x11, 0x10, 0xFF, 0x80, 0x81, 0x00, 0x00, 0xFF, 0x03, 0x20, 0xF5, 0x00},
                 {0x00, 0x27, 0x01, 0x00, 0x00, 0x00, 0x81, 0x00, 0x0F, 0xC0, 0x03, 0x20, 0x05, 0x40}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReferenceImage, ResetErasesProgramMemoryOnly) {
  ReferenceImage img;
  img.buffEt.fill(0x11);
  img.buffChip.fill(0x22);
  img.configWrite.fill(0x33);
  img.ResetProgramMemory();
  for (uint32_t b = 0; b < 2 * kProgWords; ++b) ASSERT_EQ(img.buffEt[b], 0xFF) << b;
  EXPECT_EQ(img.buffEt[2 * kProgWords], 0x11) << "bytes above program memory are left alone";
  EXPECT_EQ(img.buffChip[0], 0x22);
  EXPECT_EQ(img.configWrite[0], 0x33);
  img.buffEt[6] = 0x12;
  img.buffEt[7] = 0x34;
  EXPECT_EQ(img.EtWord(3), 0x3412) << "low byte first";
}

}  // namespace
}  // namespace tvn
