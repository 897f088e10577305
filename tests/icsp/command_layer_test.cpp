// What the chip decodes from the command layer: commands, operands and the
// table pointer, on the simulated programmer and chip.
#include <gtest/gtest.h>

#include "support/sim_bench.h"

namespace tvn::test {
namespace {

using sim::ChipModel;

class CommandLayer : public ::testing::TestWithParam<ChipModel> {
 protected:
  CommandLayer() : b(GetParam()) {
    b.s.sel.prog4520 = GetParam() == ChipModel::Pic18F2520;
    b.s.icsp.EnterIcsp();
    b.chip.EnableTrace(true);
  }
  SimBench b;
};

TEST_P(CommandLayer, BulkEraseSendsTheKeyOfTheSelectedChipAndErases) {
  b.chip.SetFlashWord(0x123, 0x0000);
  b.s.icsp.BulkErase();
  const auto& tr = b.chip.Trace();
  // Six pointer loads, then 1100 with the key, a NOP, and the NOP held for the erase.
  ASSERT_EQ(tr.size(), 9u);
  EXPECT_EQ(tr[6].command, 0xC);
  EXPECT_EQ(tr[6].tblptr, 0x3C0004u);
  EXPECT_EQ(tr[6].operand, GetParam() == ChipModel::Pic18F2520 ? 0x0F87 : 0x0080);
  EXPECT_EQ(tr[7].command, 0x0);
  EXPECT_EQ(tr[8].command, 0x0);
  EXPECT_EQ(b.chip.GetCounters().bulkErases, 1u);
  EXPECT_EQ(b.chip.FlashWord(0x123), 0xFFFF);
}

TEST_P(CommandLayer, TableReadsStepThePointerAndReturnTheBytes) {
  b.chip.SetFlashWord(0x10, 0xA55A);
  b.chip.SetFlashWord(0x11, 0x0180);
  b.s.icsp.SetTblptr(0x20);
  EXPECT_EQ(b.s.icsp.TableReadByte(), 0x5A);
  EXPECT_EQ(b.s.icsp.TableReadByte(), 0xA5);
  EXPECT_EQ(b.s.icsp.TableReadByte(), 0x80);
  EXPECT_EQ(b.s.icsp.TableReadByte(), 0x01);
  EXPECT_EQ(b.chip.Tblptr(), 0x24u);
  b.s.icsp.ClearTblptr();
  EXPECT_EQ(b.chip.Tblptr(), 0u);
}

TEST_P(CommandLayer, CommandCodesGoOutLeastSignificantBitFirst) {
  // 1100 and 0011 differ only in bit order: the chip must see a table write.
  b.s.icsp.SetTblptr(0x3C0006);
  b.chip.ClearTrace();
  b.s.icsp.SendCommand(0xC, false);
  b.s.icsp.SendPayload(0x0000);
  ASSERT_EQ(b.chip.Trace().size(), 1u);
  EXPECT_EQ(b.chip.Trace()[0].command, 0xC);
  if (GetParam() == ChipModel::Pic18F252) {
    EXPECT_TRUE(b.chip.SinglePanel());
  }
}

INSTANTIATE_TEST_SUITE_P(BothChips, CommandLayer, ::testing::Values(ChipModel::Pic18F2520, ChipModel::Pic18F252),
                         [](const auto& info) { return ModelName(info.param); });

TEST(CommandLayer, ReadWithoutAChipShowsThePullUp) {
  SimBench b;
  sim::SimPic18::Faults f;
  f.noChip = true;
  b.SetFaults(f);
  b.s.icsp.EnterIcsp();
  EXPECT_EQ(b.s.icsp.TableReadByte(), 0xFF);
}

}  // namespace
}  // namespace tvn::test
