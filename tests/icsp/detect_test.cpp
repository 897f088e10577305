// Finding the programmer and identifying the chip, on the simulated bench.
#include <gtest/gtest.h>

#include <optional>

#include "icsp/detect.h"
#include "support/sim_bench.h"

namespace tvn::test {
namespace {

using sim::ChipModel;

const std::vector<std::string> kNoProgrammerLines = {
    "Программатор Nimbrella к USB не подключен.",
    "Программатор Tarrowgate к LPT не подключен.",
    "Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь.",
};

struct IdCase {
  const char* name;
  ChipModel model;
  std::optional<uint8_t> devid1, devid2;
  uint32_t overrideReads;  // 0: the override holds for ever
  bool accepted;
  bool prog4520;
  uint16_t bootWords;
  const char* label2;
};

class DetectId : public ::testing::TestWithParam<IdCase> {};

TEST_P(DetectId, SelectsTheChipOrRejectsIt) {
  const IdCase& c = GetParam();
  SimBench b(c.model);
  b.chip.SetDevid1(0x07);
  sim::SimPic18::Faults f;
  f.devid1 = c.devid1;
  f.devid2 = c.devid2;
  f.devidOverrideReads = c.overrideReads;
  b.SetFaults(f);
  b.s.image.bootWords = 999;  // so a rejected chip visibly keeps the old value

  EXPECT_EQ(DetectChip(b.s), c.accepted);
  EXPECT_EQ(b.host.label2, c.label2);
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Программатор Tarrowgate успешно открыт!"});
  EXPECT_TRUE(b.s.sel.checkBox1);
  EXPECT_FALSE(b.s.sel.checkUsb);
  EXPECT_EQ(b.s.sel.prog4520, c.prog4520);
  EXPECT_EQ(b.s.sel.checkBox2, c.accepted && !c.prog4520);
  EXPECT_EQ(b.s.image.bootWords, c.bootWords);
  if (c.accepted) {
    EXPECT_TRUE(b.host.boxes.empty());
    EXPECT_EQ(b.s.image.progWords, 0x4000u);
  } else {
    ASSERT_EQ(b.host.boxes.size(), 1u);
    EXPECT_EQ(b.host.boxes[0].first, "Не верное подключение!(Не верно прочитался ID процессора)");
    EXPECT_EQ(b.host.boxes[0].second, BoxKind::Information);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DetectId,
    ::testing::Values(
        IdCase{"Pic18F2520", ChipModel::Pic18F2520, {}, {}, 0, true, true, 1024, "Devid1=7 Devid2=11 a=0"},
        IdCase{"Pic18F252", ChipModel::Pic18F252, {}, {}, 0, true, false, 384, "Devid1=7 Devid2=4 a=0"},
        IdCase{"RevisionBitsIgnored", ChipModel::Pic18F2520, 0x1F, 0x11, 0, true, true, 1024,
               "Devid1=1F Devid2=11 a=0"},
        IdCase{"PartBitsInDevid1Rejected", ChipModel::Pic18F2520, 0x20, 0x11, 0, false, false, 999,
               "Devid1=20 Devid2=11 a=101"},
        IdCase{"ForeignDevid2Rejected", ChipModel::Pic18F2520, 0x07, 0x12, 0, false, false, 999,
               "Devid1=7 Devid2=12 a=101"},
        // Each attempt reads each ID byte once: two wrong reads, right on the third.
        IdCase{"RightOnTheThirdAttempt", ChipModel::Pic18F252, 0xE0, 0x55, 2, true, false, 384,
               "Devid1=7 Devid2=4 a=2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Detect, NoProgrammerLogsThreeLinesAndLeavesTheChipAlone) {
  SimBench b(ChipModel::Pic18F2520, /*lpt=*/false, /*usb=*/false);
  EXPECT_FALSE(DetectChip(b.s));
  EXPECT_EQ(b.host.log, kNoProgrammerLines);
  EXPECT_FALSE(b.s.programmerAnnounced);
  EXPECT_FALSE(b.s.sel.checkUsb || b.s.sel.checkBox1 || b.s.sel.prog4520 || b.s.sel.checkBox2);
  EXPECT_EQ(b.chip.GetCounters().programEntries, 0u);
  EXPECT_TRUE(b.host.boxes.empty());
  // Not announced: a second try says it again.
  b.host.log.clear();
  EXPECT_FALSE(DetectChip(b.s));
  EXPECT_EQ(b.host.log, kNoProgrammerLines);
}

TEST(Detect, SecondCallAfterSuccessLogsNothing) {
  SimBench b(ChipModel::Pic18F252);
  ASSERT_TRUE(DetectChip(b.s));
  b.host.log.clear();
  EXPECT_TRUE(DetectChip(b.s));
  EXPECT_TRUE(b.host.log.empty());
}

TEST(Detect, ProgrammerLostAfterAnnouncingIsAWrongIdNotALogLine) {
  SimBench b(ChipModel::Pic18F2520);
  ASSERT_TRUE(DetectChip(b.s));
  b.host.log.clear();
  b.lpt.SetPresent(false);
  EXPECT_FALSE(DetectChip(b.s));
  EXPECT_TRUE(b.host.log.empty());
  EXPECT_EQ(b.host.boxes.size(), 1u);
}

TEST(Detect, BothProgrammersAttachedUsesTheParallelPort) {
  SimBench b(ChipModel::Pic18F2520, true, true);
  ASSERT_TRUE(DetectChip(b.s));
  EXPECT_FALSE(b.s.sel.checkUsb);
  EXPECT_TRUE(b.s.sel.checkBox1);
  EXPECT_EQ(b.ftdi.Transfers(), 0u);
  EXPECT_FALSE(b.s.ft.ftOpened);
}

TEST(Detect, UsbOnlyOpensNimbrellaAndReadsTheChipThroughIt) {
  SimBench b(ChipModel::Pic18F252, false, true);
  ASSERT_TRUE(DetectChip(b.s));
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Программатор Nimbrella успешно открыт!"});
  EXPECT_TRUE(b.s.sel.checkUsb);
  EXPECT_FALSE(b.s.sel.checkBox1);
  EXPECT_TRUE(b.s.sel.checkBox2);
  EXPECT_TRUE(b.ftdi.VoltageSelect());
  EXPECT_GT(b.ftdi.Transfers(), 0u);
}

TEST(Detect, UsbStaysChosenWhenAParallelProgrammerAppearsLater) {
  SimBench b(ChipModel::Pic18F2520, false, true);
  ASSERT_TRUE(DetectChip(b.s));
  b.lpt.SetPresent(true);
  b.lpt.ResetCounters();
  ASSERT_TRUE(DetectChip(b.s));
  EXPECT_TRUE(b.s.sel.checkUsb);
  EXPECT_EQ(b.lpt.GetCounters().writes, 0u);
}

}  // namespace
}  // namespace tvn::test
