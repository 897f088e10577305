// The debug window's actions on the parallel-port programmer: a simulated
// Tarrowgate on a simulated printer port, with a probe on its ICSP header and,
// where the chip must answer, a simulated PIC18F2520 behind the probe.
#include <gtest/gtest.h>

#include <functional>

#include "service/header_probe.h"
#include "service/otladka.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "support/recording_host.h"

namespace tvn {
namespace {

using sim::SimPic18;
using sim::SimTarrowgate;

class OtladkaLpt : public ::testing::Test {
 protected:
  // Runs a test loop; at the n-th keep-alive `stop` ends it the way the
  // operator would. Returns the number of keep-alives seen.
  long RunLoop(void (Otladka::*button)(), int n, std::function<void()> stop) {
    host.keepAlives = 0;
    host.onKeepAlive = [&, n, stop] {
      if (host.keepAlives == n) stop();
    };
    (o.*button)();
    host.onKeepAlive = nullptr;
    return host.keepAlives;
  }

  sim::VirtualClock clock;
  SimPic18 chip{sim::ChipModel::Pic18F2520};
  test::HeaderProbe probe{&chip};
  SimTarrowgate port{clock, &probe};
  NoD2xx d2xx;
  sim::VirtualTickSource ticks{clock};
  test::RecordingHost host;
  Session s{host, Hardware{port, d2xx, ticks}};
  Otladka o{s};
};

TEST_F(OtladkaLpt, LineTogglesDriveTheHeaderAndSurviveClosing) {
  EXPECT_EQ(o.label1, "Длительность RB6 10мкс.");

  o.SpeedButton1Click();  // MCLR on: both stages, the second one stays
  EXPECT_TRUE(o.mclrState);
  EXPECT_TRUE(port.Pins().vpp);
  EXPECT_EQ(port.DataRegister() & 0x14, 0x10);
  EXPECT_EQ(probe.vppRises, 1);
  EXPECT_TRUE(chip.InProgrammingMode());

  o.SpeedButton2Click();  // RB6: clock high
  EXPECT_EQ(port.ControlRegister(), 0x01);
  EXPECT_TRUE(probe.Pins().pgc);
  o.SpeedButton3Click();  // RB7: driver pulls PGD low
  EXPECT_TRUE(probe.Pins().pgdPullLow);
  EXPECT_FALSE(port.PgdLine());

  o.FormClose();  // the window closes and opens again: the states are kept
  o.SpeedButton3Click();
  EXPECT_FALSE(o.rb7State);
  EXPECT_FALSE(probe.Pins().pgdPullLow);
  EXPECT_TRUE(port.PgdLine());
  o.SpeedButton2Click();
  EXPECT_EQ(port.ControlRegister(), 0x00);
  o.SpeedButton1Click();
  EXPECT_FALSE(port.Pins().vpp);
  EXPECT_EQ(port.DataRegister() & 0x14, 0x00);
  EXPECT_EQ(port.DataRegister() & 0x08, 0x08);
  EXPECT_FALSE(chip.InProgrammingMode());

  // The voltage select belongs to the USB programmer: the port sees nothing.
  port.ResetCounters();
  o.SpeedButton9Click();
  EXPECT_TRUE(o.voltState);
  EXPECT_EQ(port.GetCounters().writes + port.GetCounters().reads, 0u);
}

TEST_F(OtladkaLpt, ZadRequestAndEcho) {
  struct Step {
    void (Otladka::*button)();
    const char* label;
    int requestBit;  // data register bit 1 afterwards, -1: not checked
  } steps[] = {
      {&Otladka::SpeedButton5Click, "R=1 ", -1},  // request never raised: echo low
      {&Otladka::SpeedButton4Click, "W=1 ", 0},   // first press clears the bit
      {&Otladka::SpeedButton5Click, "R=1 ", -1},
      {&Otladka::SpeedButton4Click, "W=0 ", 1},   // second press sets it
      {&Otladka::SpeedButton5Click, "R=0 ", -1},  // the echo followed: high
      {&Otladka::SpeedButton4Click, "W=1 ", 0},
      {&Otladka::SpeedButton5Click, "R=1 ", -1},
  };
  int i = 0;
  for (const Step& st : steps) {
    SCOPED_TRACE(i++);
    clock.Advance(1000000);  // clicks come far apart compared with the echo delay
    (o.*st.button)();
    EXPECT_EQ(o.label1, st.label);
    if (st.requestBit >= 0) {
      EXPECT_EQ((port.DataRegister() >> 1) & 1, st.requestBit);
    }
  }
  // Unplugged, the Acknowledge input floats high: the echo reads high.
  port.SetPresent(false);
  o.SpeedButton5Click();
  EXPECT_EQ(o.label1, "R=0 ");
}

TEST_F(OtladkaLpt, SendRawByteClocksLeastSignificantBitFirst) {
  o.SpeedButton1Click();  // voltage on: the byte must switch it off first
  probe.Clear();
  for (uint8_t b : {0x55, 0xA1, 0x00, 0xFF, 0x80}) o.SendRawByte(b);
  EXPECT_EQ(probe.Bytes(), (std::vector<uint8_t>{0x55, 0xA1, 0x00, 0xFF, 0x80}));
  EXPECT_FALSE(port.Pins().vpp);
  EXPECT_EQ(probe.vppRises, 0);
  // The high phase of each clock is one Tick of the Zad circuit.
  EXPECT_GE(probe.ShortestHighNs(), 8000u);
  // Idle afterwards: clock low, PGD held low.
  EXPECT_FALSE(port.Pins().pgc);
  EXPECT_TRUE(port.Pins().pgdPullLow);
}

TEST_F(OtladkaLpt, PatternLoopsRunUntilStopped) {
  struct Case {
    const char* what;
    void (Otladka::*button)();
    std::vector<uint8_t> pass;
    bool byClosing;
  } cases[] = {
      {"1 байт->Чип, Завершить", &Otladka::SpeedButton8Click, {0x55}, false},
      {"1 байт->Чип, window closed", &Otladka::SpeedButton8Click, {0x55}, true},
      {"8 байт->Чип, Завершить", &Otladka::DataClick, {0xAA, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    o.SpeedButton1Click();  // voltage on before the loop
    ASSERT_TRUE(port.Pins().vpp);
    probe.Clear();
    o.otladStop = true;  // a stop left over from before must not end the new loop
    long alive = RunLoop(c.button, 4, [&] { c.byClosing ? o.FormClose() : o.ZaverchClick(); });
    EXPECT_EQ(alive, 4);  // three passes, the fourth keep-alive saw the stop
    std::vector<uint8_t> want;
    for (int i = 0; i < 3; ++i) want.insert(want.end(), c.pass.begin(), c.pass.end());
    EXPECT_EQ(probe.Bytes(), want);
    EXPECT_EQ(probe.falls.size(), want.size() * 8);
    EXPECT_EQ(probe.vppRises, 0);
    EXPECT_EQ(o.RunningLoops(), 0);
    o.mclrState = false;
  }
}

TEST_F(OtladkaLpt, NestedLoopsEndTogether) {
  probe.Clear();
  host.keepAlives = 0;
  long innerStartedAt = 0;
  int depthSeen = 0;
  host.onKeepAlive = [&] {
    depthSeen = std::max(depthSeen, o.RunningLoops());
    if (host.keepAlives == 3) {
      innerStartedAt = host.keepAlives;
      o.DataClick();  // pressed while "1 байт->Чип" runs
    } else if (host.keepAlives == 6) {
      o.ZaverchClick();
    }
  };
  o.SpeedButton8Click();
  host.onKeepAlive = nullptr;
  EXPECT_EQ(innerStartedAt, 3);
  EXPECT_EQ(depthSeen, 2);
  EXPECT_EQ(o.RunningLoops(), 0);
  // Two single bytes, then two passes of eight; the outer loop stops at once.
  std::vector<uint8_t> want{0x55, 0x55};
  for (int i = 0; i < 2; ++i) want.insert(want.end(), {0xAA, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C});
  EXPECT_EQ(probe.Bytes(), want);
  EXPECT_EQ(host.keepAlives, 6);
}

TEST_F(OtladkaLpt, ReadLoopReadsTheChipAndLeavesTheLinesIdle) {
  o.SpeedButton1Click();  // programming voltage from the window
  ASSERT_TRUE(chip.InProgrammingMode());
  chip.Flash()[0] = 0x12;
  uint64_t readsBefore = chip.GetCounters().tableReads;
  long alive = RunLoop(&Otladka::SpeedButton6Click, 6, [&] { o.FormClose(); });
  EXPECT_EQ(alive, 6);
  // Each pass is one well-formed table read with post-increment.
  EXPECT_EQ(chip.GetCounters().tableReads - readsBefore, 5u);
  EXPECT_EQ(chip.Tblptr(), 5u);
  EXPECT_FALSE(port.Pins().pgc);
  EXPECT_TRUE(port.Pins().pgdPullLow);
  EXPECT_TRUE(port.Pins().vpp);  // the voltage stays until switched off
}

TEST_F(OtladkaLpt, DelayLoopDoesNothingOnThePrinterPort) {
  port.ResetCounters();
  s.usb.ftIndxOutBuff = 7;
  long alive = RunLoop(&Otladka::SpeedButton7Click, 3, [&] { o.ZaverchClick(); });
  EXPECT_EQ(alive, 3);  // its pass comes before the keep-alive
  EXPECT_EQ(port.GetCounters().writes + port.GetCounters().reads, 0u);
  EXPECT_EQ(s.usb.ftIndxOutBuff, 7u);  // no stale bytes queued for a later transfer
  EXPECT_EQ(o.RunningLoops(), 0);
}

}  // namespace
}  // namespace tvn
