// Our parallel-port line driver and ICSP command layer against the simulated
// programmer and chip: what a command costs in Ticks and time, what reaches the
// chip bit by bit, and whether the engine's pauses satisfy the chip's timing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/session.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"

namespace tvn::sim {
namespace {

struct SilentHost : Host {
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override { log.clear(); }
  void MessageBox(const std::string& text, BoxKind) override { log.push_back(text); }
  std::vector<std::string> log;
};

// Passes the lines through to the chip and records PGD at every falling clock
// edge, like a logic analyser on the header.
struct Analyser : Pic18Pins {
  explicit Analyser(Pic18Pins& c) : chip(c) {}
  void Drive(const HostPins& p, uint64_t now) override {
    if (last.pgc && !p.pgc && p.vpp) bits.push_back(chip.PgdLine(now) ? 1 : 0);
    last = p;
    chip.Drive(p, now);
  }
  bool PgdLine(uint64_t now) const override { return chip.PgdLine(now); }
  Pic18Pins& chip;
  HostPins last;
  std::vector<int> bits;
};

struct LptBench {
  explicit LptBench(ChipModel m)
      : chip(m), analyser(chip), port(clock, &analyser), ticks(clock),
        s(host, Hardware{port, d2xx, ticks}) {
    s.sel.prog4520 = m == ChipModel::Pic18F2520;
    s.sel.checkUsb = false;
  }
  uint64_t Ticks() const { return port.GetCounters().zadRequests / 2; }
  // Select program memory, and single panel writes on the PIC18F252.
  void SelectFlash() {
    s.icsp.WriteZeroTo3C0006();
    s.icsp.CoreInstr(0x8EA6);
    s.icsp.CoreInstr(0x9CA6);
  }

  VirtualClock clock;
  SimPic18 chip;
  Analyser analyser;
  SimTarrowgate port;
  NoD2xx d2xx;
  VirtualTickSource ticks;
  SilentHost host;
  Session s;
};

const char* Name(ChipModel m) { return m == ChipModel::Pic18F2520 ? "PIC18F2520" : "PIC18F252"; }

TEST(LptIcspSim, CoreInstructionAndWordReadCostInTicks) {
  LptBench b(ChipModel::Pic18F2520);
  b.s.icsp.EnterIcsp();
  b.s.icsp.SetTblptr(0);

  uint64_t ticks0 = b.Ticks(), t0 = b.clock.NowNs();
  b.s.icsp.CoreInstr(0x0000);
  uint64_t coreTicks = b.Ticks() - ticks0, coreNs = b.clock.NowNs() - t0;
  EXPECT_EQ(coreTicks, 63u);

  ticks0 = b.Ticks();
  t0 = b.clock.NowNs();
  b.s.icsp.TableReadByte();
  b.s.icsp.TableReadByte();
  uint64_t readTicks = b.Ticks() - ticks0, readNs = b.clock.NowNs() - t0;
  EXPECT_EQ(readTicks, 108u);

  // About 10 us per Tick, line writes included.
  EXPECT_GT(coreNs, 63u * 9'000u);
  EXPECT_LT(coreNs, 63u * 13'000u);
  EXPECT_GT(readNs, 108u * 9'000u);
  EXPECT_LT(readNs, 108u * 13'000u);
}

TEST(LptIcspSim, ReadsTheDeviceIdOfEitherChip) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    LptBench b(m);
    b.chip.SetDevid1(0x0A);
    b.chip.EnableTrace(true);
    b.s.icsp.EnterIcsp();
    b.s.icsp.SetTblptr(0x3FFFFE);
    EXPECT_EQ(b.chip.Tblptr(), 0x3FFFFEu);
    EXPECT_EQ(b.s.icsp.TableReadByte(), 0x0A);
    EXPECT_EQ(b.s.icsp.TableReadByte(), m == ChipModel::Pic18F2520 ? 0x11 : 0x04);
    b.s.icsp.LeaveIcsp();
    EXPECT_FALSE(b.chip.InProgrammingMode());
    const auto& tr = b.chip.Trace();
    ASSERT_EQ(tr.size(), 8u);
    const uint16_t pointerLoad[6] = {0x0EFE, 0x6EF6, 0x0EFF, 0x6EF7, 0x0E3F, 0x6EF8};
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(tr[i].command, SimPic18::kCoreInstruction);
      EXPECT_EQ(tr[i].operand, pointerLoad[i]) << i;
    }
    EXPECT_EQ(tr[6].command, SimPic18::kTableReadPostInc);
    EXPECT_EQ(tr[6].tblptr, 0x3FFFFEu);
    EXPECT_EQ(tr[7].tblptr, 0x3FFFFFu);
  }
}

TEST(LptIcspSim, CoreInstructionReachesTheChipLeastSignificantBitFirst) {
  LptBench b(ChipModel::Pic18F2520);
  b.chip.EnableTrace(true);
  b.s.icsp.EnterIcsp();
  b.analyser.bits.clear();
  b.s.icsp.CoreInstr(0x0E00);
  const std::vector<int> want = {0, 0, 0, 0,                     // command 0000
                                 0, 0, 0, 0, 0, 0, 0, 0,         // low byte 00h
                                 0, 1, 1, 1, 0, 0, 0, 0};        // high byte 0Eh
  EXPECT_EQ(b.analyser.bits, want);
  ASSERT_EQ(b.chip.Trace().size(), 1u);
  EXPECT_EQ(b.chip.Trace()[0].operand, 0x0E00);
}

TEST(LptIcspSim, TickWithoutProgrammerRunsOutQuietly) {
  LptBench b(ChipModel::Pic18F2520);
  b.s.lpt.Tick();
  EXPECT_TRUE(b.s.lpt.zadOk);
  b.port.SetPresent(false);
  b.port.ResetCounters();
  b.s.lpt.Tick();
  EXPECT_FALSE(b.s.lpt.zadOk);
  EXPECT_LE(b.port.GetCounters().statusReads, 4u * 1201u);
  EXPECT_GE(b.port.GetCounters().statusReads, 2u * 1201u);
  b.port.SetPresent(true);
  b.s.lpt.Tick();
  EXPECT_TRUE(b.s.lpt.zadOk);
}

// The engine's own pauses, timed by the delay circuit, must give the chip its
// programming and erase times.
TEST(LptIcspSim, EnginePausesSatisfyTheChipsTiming) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    LptBench b(m);
    std::fill(b.chip.Flash().begin(), b.chip.Flash().end(), 0x00);
    b.s.icsp.EnterIcsp();
    b.s.icsp.BulkErase();
    EXPECT_EQ(b.chip.GetCounters().bulkErases, 1u);
    EXPECT_EQ(b.chip.Flash()[0x7FFF], 0xFF);

    // One write buffer with the long fourth clock.
    b.chip.EnableTrace(true);
    b.SelectFlash();
    const uint32_t n = b.chip.WriteBufferSize() / 2;
    b.s.icsp.SetTblptr(0x0400);
    for (uint32_t i = 0; i < n; ++i) {
      b.s.icsp.SendCommand(i + 1 < n ? 0xD : 0xF, false);
      b.s.icsp.SendPayload(static_cast<uint16_t>(0xA000 + i));
    }
    b.s.icsp.SendCommand(0x0, true);
    b.s.icsp.SendPayload(0x0000);
    for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(b.chip.FlashWord(0x200 + i), 0xA000 + i);
    EXPECT_GE(b.chip.Trace().back().fourthClockHighNs, SimPic18::kP9ProgramNs);

    // Row erase with the engine's erase pause.
    b.s.icsp.SetTblptr(0x0400);
    b.s.icsp.CoreInstr(0x84A6);
    b.s.icsp.CoreInstr(0x88A6);
    if (m == ChipModel::Pic18F252) {
      for (uint16_t i : {0x0E55, 0x6EA7, 0x0EAA, 0x6EA7}) b.s.icsp.CoreInstr(i);
    }
    b.s.icsp.CoreInstr(0x82A6);
    b.s.icsp.SendCommand(0x0, false);
    b.s.lines.Delay(600);
    b.s.lines.Tick();
    b.s.icsp.SendPayload(0x0000);
    b.s.icsp.CoreInstr(0x94A6);
    EXPECT_EQ(b.chip.GetCounters().rowErases, 1u);
    EXPECT_EQ(b.chip.FlashWord(0x200), 0xFFFF);
    b.s.icsp.LeaveIcsp();
  }
}

TEST(LptIcspSim, BulkEraseForTheOtherChipErasesNothing) {
  LptBench b(ChipModel::Pic18F252);
  b.s.sel.prog4520 = true;  // the wrong chip selected
  std::fill(b.chip.Flash().begin(), b.chip.Flash().end(), 0x00);
  b.s.icsp.EnterIcsp();
  b.s.icsp.BulkErase();
  EXPECT_EQ(b.chip.GetCounters().bulkErases, 0u);
  EXPECT_EQ(b.chip.Flash()[0], 0x00);
}

}  // namespace
}  // namespace tvn::sim
