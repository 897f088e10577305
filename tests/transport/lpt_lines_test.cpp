// The parallel-port line driver at register level, against the simulated
// programmer's registers.
#include <gtest/gtest.h>

#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"
#include "transport/lpt_lines.h"

namespace tvn {
namespace {

struct Bench {
  sim::VirtualClock clock;
  sim::SimTarrowgate port{clock};
  LptLines lines{port};
};

TEST(LptLines, OnlyBitZeroOfALevelCounts) {
  Bench b;
  b.lines.SetPgd(1);
  b.lines.SetPgd(2);
  EXPECT_EQ(b.port.DataRegister() & 0x01, 0);
  b.lines.SetPgc(3);
  EXPECT_EQ(b.port.ControlRegister(), 0x01);
  b.lines.SetPgc(2);
  EXPECT_EQ(b.port.ControlRegister(), 0x00) << "the control register only ever holds 00h or 01h";
  // Any nonzero Zad level drops the request line.
  b.lines.SetZad(0);
  EXPECT_EQ(b.port.DataRegister() & 0x02, 0x02);
  b.lines.SetZad(2);
  EXPECT_EQ(b.port.DataRegister() & 0x02, 0);
}

TEST(LptLines, VoltageOffClearsBothStagesAndNothingElse) {
  Bench b;
  b.lines.SetPgd(1);
  b.lines.SetVpp(1);
  EXPECT_EQ(b.port.DataRegister() & 0x14, 0x10) << "second stage only, after the first stage's pause";
  EXPECT_TRUE(b.port.Pins().vpp);
  b.lines.SetZad(0);  // the pause ran the request line; raise it to see it kept
  b.lines.SetVpp(0);
  EXPECT_EQ(b.port.DataRegister(), 0x08 | 0x02 | 0x01);
  EXPECT_FALSE(b.port.Pins().vpp);
}

TEST(LptLines, VoltageRiseHoldsTheFirstStageForTheDelay) {
  Bench b;
  uint64_t t0 = b.clock.NowNs();
  b.lines.SetVpp(1);
  const double ms = static_cast<double>(b.clock.NowNs() - t0) / 1e6;
  EXPECT_GT(ms, 40.0);
  EXPECT_LT(ms, 60.0);
}

TEST(LptLines, DelayMakesNPlusOneDoubleCycles) {
  for (uint32_t n : {0u, 1u, 99u, 65535u}) {
    SCOPED_TRACE(n);
    Bench b;
    b.port.ResetCounters();
    b.lines.Delay(static_cast<uint16_t>(n));
    EXPECT_EQ(b.port.GetCounters().zadRequests, 2 * (uint64_t{n} + 1));
  }
}

TEST(LptLines, TickSetsZadOkOnlyWhenTheEchoAnswers) {
  Bench b;
  b.lines.Tick();
  EXPECT_TRUE(b.lines.zadOk);
  b.port.SetPresent(false);
  b.port.ResetCounters();
  b.lines.Tick();
  EXPECT_FALSE(b.lines.zadOk);
  // Each of the four waits gives up after 1201 reads at the most.
  EXPECT_LE(b.port.GetCounters().statusReads, 4u * LptLines::kZadPollLimit);
  EXPECT_GE(b.port.GetCounters().statusReads, 2u * LptLines::kZadPollLimit);
}

}  // namespace
}  // namespace tvn
