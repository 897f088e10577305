// The debug window's actions on the USB programmer: a simulated FTDI device in
// synchronous bit-bang, a probe on its ICSP header and a simulated PIC18F2520
// behind it. The parallel-port programmer stays plugged in beside it, so the
// Zad buttons can be seen going to the printer port whatever is selected.
#include <gtest/gtest.h>

#include <functional>

#include "service/header_probe.h"
#include "service/otladka.h"
#include "sim/sim_ftdi.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "support/recording_host.h"

namespace tvn {
namespace {

using sim::SimFtdi;

class OtladkaUsb : public ::testing::Test {
 protected:
  void SetUp() override {
    ftdi.SetDevices({"Nimbrella"});
    ASSERT_TRUE(s.ft.OpenUsbProgrammer());
    // What detection leaves behind when it finds the USB programmer.
    s.sel.checkUsb = true;
    s.usb.SetVoltageSelect(true);
    s.lines.SetPgc(1);
    s.lines.SetPgd(0);
    s.lines.SetVpp(0);
    // Identification then ends on idle lines: clock low, PGD held low.
    s.lines.SetPgc(0);
    s.lines.SetPgd(1);
    Drain();
    ftdi.RecordWrites(true);
  }
  // Sends what is queued; an empty queue is not sent (that would log a line).
  void Drain() {
    if (s.usb.ftIndxOutBuff) s.usb.FtFlush();
  }
  void TearDown() override {
    EXPECT_TRUE(host.boxes.empty());
    for (const std::string& line : host.log) ADD_FAILURE() << "log: " << line;
  }

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
  sim::SimPic18 chip{sim::ChipModel::Pic18F2520};
  test::HeaderProbe probe{&chip};
  sim::SimTarrowgate lpt{clock};
  SimFtdi ftdi{clock, &probe};
  sim::VirtualTickSource ticks{clock};
  test::RecordingHost host;
  Session s{host, Hardware{lpt, ftdi, ticks}};
  Otladka o{s};
};

TEST_F(OtladkaUsb, ClockAndDataOnlyQueueUntilTheNextTransfer) {
  const uint64_t changes = probe.changes;
  const uint32_t queued = s.usb.ftIndxOutBuff;
  o.SpeedButton2Click();  // RB6: clock high
  o.SpeedButton3Click();  // RB7: PGD pulled low
  EXPECT_EQ(probe.changes, changes);
  EXPECT_EQ(s.usb.ftIndxOutBuff, queued + 2);

  o.SpeedButton1Click();  // MCLR sends the queue
  EXPECT_EQ(s.usb.ftIndxOutBuff, 0u);
  EXPECT_TRUE(probe.Pins().pgc);
  EXPECT_TRUE(probe.Pins().pgdPullLow);
  EXPECT_TRUE(probe.Pins().vpp);
  EXPECT_EQ(ftdi.Lines() & (SimFtdi::kVpp | SimFtdi::kPgcLow | SimFtdi::kPgdLow), SimFtdi::kVpp | SimFtdi::kPgdLow);

  o.SpeedButton1Click();
  EXPECT_FALSE(probe.Pins().vpp);
}

TEST_F(OtladkaUsb, VoltageSelectReachesTheLinesAtOnce) {
  for (bool want : {true, false, true}) {
    SCOPED_TRACE(want);
    const uint64_t transfers = ftdi.Transfers();
    o.SpeedButton9Click();
    EXPECT_EQ(o.voltState, want);
    EXPECT_EQ(ftdi.VoltageSelect(), want);
    EXPECT_EQ(ftdi.Transfers(), transfers + 1);
    EXPECT_EQ(s.usb.ftIndxOutBuff, 0u);
  }
}

TEST_F(OtladkaUsb, ZadButtonsStayOnThePrinterPort) {
  const uint64_t transfers = ftdi.Transfers();
  const uint32_t queued = s.usb.ftIndxOutBuff;
  o.SpeedButton4Click();
  EXPECT_EQ(o.label1, "W=1 ");
  EXPECT_EQ(lpt.DataRegister() & 0x02, 0x00);
  o.SpeedButton4Click();
  EXPECT_EQ(lpt.DataRegister() & 0x02, 0x02);
  clock.Advance(1000000);
  o.SpeedButton5Click();
  EXPECT_EQ(o.label1, "R=0 ");
  EXPECT_EQ(ftdi.Transfers(), transfers);
  EXPECT_EQ(s.usb.ftIndxOutBuff, queued);
}

TEST_F(OtladkaUsb, SendRawByteIsQueuedLeastSignificantBitFirstAndLeavesMclrAlone) {
  o.SpeedButton1Click();  // programming voltage on
  Drain();
  probe.Clear();
  o.SendRawByte(0xA5);
  EXPECT_EQ(probe.changes, 0u) << "only queued";
  // Lead-in 5, eight bits of 14, tail 4.
  EXPECT_EQ(s.usb.ftIndxOutBuff, 5u + 8 * 14 + 4);
  o.SendRawByte(0x01);
  Drain();
  EXPECT_EQ(probe.Bytes(), (std::vector<uint8_t>{0xA5, 0x01}));
  EXPECT_EQ(probe.vppRises, 0);
  EXPECT_TRUE(probe.Pins().vpp);
  EXPECT_FALSE(probe.Pins().pgc);
  EXPECT_TRUE(probe.Pins().pgdPullLow);
}

TEST_F(OtladkaUsb, PatternLoopsSendOneTransferPerPass) {
  struct Case {
    const char* what;
    void (Otladka::*button)();
    std::vector<uint8_t> pass;
  } cases[] = {
      {"1 байт->Чип", &Otladka::SpeedButton8Click, {0x55}},
      {"8 байт->Чип", &Otladka::DataClick, {0xAA, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drain();
    probe.Clear();
    const size_t writes = ftdi.Writes().size();
    EXPECT_EQ(RunLoop(c.button, 4, [&] { o.ZaverchClick(); }), 4);
    std::vector<uint8_t> want;
    for (int i = 0; i < 3; ++i) want.insert(want.end(), c.pass.begin(), c.pass.end());
    EXPECT_EQ(probe.Bytes(), want);
    ASSERT_EQ(ftdi.Writes().size(), writes + 3);
    for (size_t k = writes; k < ftdi.Writes().size(); ++k)
      EXPECT_EQ(ftdi.Writes()[k].size(), c.pass.size() * (5 + 8 * 14 + 4));
    EXPECT_EQ(s.usb.ftIndxOutBuff, 0u);
  }
}

TEST_F(OtladkaUsb, DelayLoopResendsTheFirst54BytesAsTheyStand) {
  Drain();
  std::vector<uint8_t> stored(54);
  for (size_t i = 0; i < stored.size(); ++i) {
    // Clock toggling, PGD released: nothing that harms a chip.
    stored[i] = static_cast<uint8_t>((i & 1) ? SimFtdi::kPgcLow : 0x00);
    s.usb.ftOutBuff[i] = stored[i];
  }
  const size_t writes = ftdi.Writes().size();
  EXPECT_EQ(RunLoop(&Otladka::SpeedButton7Click, 3, [&] { o.ZaverchClick(); }), 3);
  ASSERT_EQ(ftdi.Writes().size(), writes + 3);  // the pass comes before the keep-alive
  for (size_t k = writes; k < ftdi.Writes().size(); ++k) EXPECT_EQ(ftdi.Writes()[k], stored);
}

TEST_F(OtladkaUsb, ReadLoopReadsTheChipAndQueuesIdleLines) {
  o.SpeedButton1Click();
  ASSERT_TRUE(chip.InProgrammingMode());
  const uint64_t before = chip.GetCounters().tableReads;
  EXPECT_EQ(RunLoop(&Otladka::SpeedButton6Click, 5, [&] { o.FormClose(); }), 5);
  EXPECT_EQ(chip.GetCounters().tableReads - before, 4u);
  // Clock low and PGD held low, queued for the next transfer.
  EXPECT_EQ(s.usb.ftIndxOutBuff, 2u);
  EXPECT_EQ(s.usb.ftPinState & (UsbLines::kPgcLow | UsbLines::kPgdLow), UsbLines::kPgcLow | UsbLines::kPgdLow);
}

}  // namespace
}  // namespace tvn
