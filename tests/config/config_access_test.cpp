// Writing and verifying the configuration bytes on the simulated chip.
#include <gtest/gtest.h>

#include "config/config_access.h"
#include "icsp/detect.h"
#include "icsp/memory_ops.h"
#include "image/reference_image.h"
#include "support/sim_bench.h"

namespace tvn::test {
namespace {

using sim::ChipModel;

struct Station {
  ChipModel model;
  bool usb;
};

class ConfigAccess : public ::testing::TestWithParam<Station> {
 protected:
  ConfigAccess() : b(GetParam().model, !GetParam().usb, GetParam().usb) {
    EXPECT_TRUE(DetectChip(b.s));
    // As after an image load: a few values, then the chip's masks.
    ConfigBytes& cw = b.s.image.configWrite;
    cw = ConfigBytes{0x00, 0x22, 0x19, 0x0E, 0x00, 0x81, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
    MaskConfigWrite(cw, b.s.sel.prog4520);
    EXPECT_TRUE(b.chip.InProgrammingMode() == false);
  }
  SimBench b;
};

TEST_P(ConfigAccess, ConfigurationWriteVerifiesAndKeepsTheProtectionBytes) {
  ConfigBytes& cw = b.s.image.configWrite;
  cw[8] = 0x03;  // as an editor may leave them: the write itself turns protection off
  cw[9] = 0x40;
  cw[1] |= 0xF0 & ConfigMask(b.s.sel.prog4520)[1];
  EXPECT_TRUE(WriteWordConfig(b.s, kConfigWriteKind));
  EXPECT_EQ(b.s.configResult, "Конфигурация OK");
  EXPECT_EQ(cw[8], 0x03);
  EXPECT_EQ(cw[9], 0x40);
  EXPECT_EQ(cw[1] & 0xF0, 0) << "Config1H bits 4-7 are always written as 0";
  EXPECT_EQ((std::array<uint8_t, 4>{cw[10], cw[11], cw[12], cw[13]}),
            (std::array<uint8_t, 4>{0x0F, 0xE0, 0x0F, 0x40}));
  EXPECT_EQ(b.chip.Config()[8], 0x0F);
  EXPECT_EQ(b.chip.Config()[9], 0xC0);
  for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13}) EXPECT_EQ(b.chip.Config()[i], cw[i]) << i;
  EXPECT_FALSE(b.chip.InProgrammingMode());
}

TEST_P(ConfigAccess, ProtectionWriteHidesProgramMemory) {
  for (uint32_t k = 0; k < kProgWords; k += 97) b.chip.SetFlashWord(k, 0x1234);
  ASSERT_TRUE(WriteWordConfig(b.s, kConfigWriteKind));
  const ConfigBytes before = b.s.image.configWrite;
  EXPECT_TRUE(WriteWordConfig(b.s, kProtectWriteKind));
  EXPECT_EQ(b.s.configResult, "Защита OK");
  EXPECT_EQ(b.chip.Config()[8], 0x00);
  EXPECT_EQ(b.chip.Config()[9], 0x80);
  EXPECT_EQ(b.s.image.configWrite, before) << "Config5L/5H are given back after the write";
  ReadMemory(b.s);
  for (uint32_t k = 0; k < kProgWords; k += 97) ASSERT_EQ(b.s.image.ChipWord(k), 0) << k;
}

TEST_P(ConfigAccess, ByteTheChipWillNotTakeFailsTheVerify) {
  sim::SimPic18::Faults f;
  f.configNoWrite = 2;
  b.SetFaults(f);
  b.s.image.configWrite[2] = 0x01;  // differs from the erased value
  EXPECT_FALSE(WriteWordConfig(b.s, kConfigWriteKind));
  EXPECT_EQ(b.s.configResult, "Ошибка записи конфигурации");
  EXPECT_FALSE(WriteWordConfig(b.s, kProtectWriteKind));
  EXPECT_EQ(b.s.configResult, "Ошибка записи битов защиты");
  EXPECT_EQ(b.s.image.configWrite[8], 0x0F);
  EXPECT_EQ(b.s.image.configWrite[9], 0xC0);
}

TEST_P(ConfigAccess, UnimplementedBitFailsTheVerifyAlthoughTheChipWasWritten) {
  b.s.image.configWrite[0] = 0x01;  // Config1L has no implemented bits
  EXPECT_FALSE(WriteWordConfig(b.s, kConfigWriteKind));
  EXPECT_EQ(b.s.configResult, "Ошибка записи конфигурации");
}

TEST_P(ConfigAccess, ReadShowsTheConfigurationAndTheDeviceId) {
  ASSERT_TRUE(WriteWordConfig(b.s, kConfigWriteKind));
  b.s.configRead.fill(0xAA);
  ReadConfigClick(b.s);
  EXPECT_EQ(b.s.configRead, b.s.image.configWrite);
  EXPECT_EQ(b.s.devid2, GetParam().model == ChipModel::Pic18F2520 ? 0x11 : 0x04);
  EXPECT_EQ(b.s.devid1, b.chip.Devid1());
}

INSTANTIATE_TEST_SUITE_P(BothChipsBothProgrammers, ConfigAccess,
                         ::testing::Values(Station{ChipModel::Pic18F2520, false}, Station{ChipModel::Pic18F252, false},
                                           Station{ChipModel::Pic18F2520, true}, Station{ChipModel::Pic18F252, true}),
                         [](const auto& info) {
                           return ModelName(info.param.model) + (info.param.usb ? "_Usb" : "_Lpt");
                         });

}  // namespace
}  // namespace tvn::test
