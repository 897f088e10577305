// The USB line driver over the simulated FTDI device: what it queues, what each
// transfer sends and reads back, how long its waits last, and how it behaves when
// the device writes short, loses echoes or disappears.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/sim_ftdi.h"
#include "sim/virtual_clock.h"
#include "transport/ft_access.h"
#include "transport/usb_lines.h"

namespace tvn {
namespace {

class LogHost : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override { log.clear(); }
  void MessageBox(const std::string& text, BoxKind) override { boxes.push_back(text); }
  std::vector<std::string> log, boxes;
};

class UsbLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { dev.RecordWrites(true); }
  // What detection does once the parallel port stayed silent.
  void OpenAndSelect() {
    ASSERT_TRUE(ft.OpenUsbProgrammer());
    sel.checkUsb = true;
  }
  // Every byte the lines received since write number `from`, in order.
  std::vector<uint8_t> SentSince(size_t from) const {
    std::vector<uint8_t> all;
    for (size_t i = from; i < dev.Writes().size(); ++i)
      all.insert(all.end(), dev.Writes()[i].begin(), dev.Writes()[i].end());
    return all;
  }
  uint64_t Requests() const { return dev.QueueStatusRequests(); }

  sim::VirtualClock clock;
  sim::SimFtdi dev{clock, nullptr};
  sim::VirtualTickSource ticks{clock};
  LogHost host;
  Selection sel;
  FtAccess ft{dev, host, ticks};
  UsbLines usb{ft, host, sel};
};

TEST_F(UsbLinesTest, WithTheParallelPortSelectedNothingActs) {
  ASSERT_TRUE(ft.OpenUsbProgrammer());
  const uint64_t polls = Requests(), writes = dev.Transfers();
  EXPECT_FALSE(usb.SetPgc(0));
  EXPECT_FALSE(usb.SetPgd(1));
  EXPECT_FALSE(usb.SetVpp(1));
  EXPECT_FALSE(usb.Tick());
  EXPECT_FALSE(usb.Delay(5000));
  usb.SetVoltageSelect(true);
  usb.FtFlush();
  EXPECT_EQ(usb.ftPinState, 0);
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
  EXPECT_EQ(Requests(), polls);
  EXPECT_EQ(dev.Transfers(), writes);
}

TEST_F(UsbLinesTest, EachSetterChangesItsOwnBitAndQueuesOneByte) {
  OpenAndSelect();
  struct Step {
    const char* what;
    void (*op)(UsbLines&);
    uint8_t state;
    uint32_t queued;
  } steps[] = {
      {"select on", [](UsbLines& u) { u.SetVoltageSelect(true); }, 0x10, 0},  // reaches the lines with the next byte
      {"clock low", [](UsbLines& u) { u.SetPgc(0); }, 0x14, 1},
      {"PGD low", [](UsbLines& u) { u.SetPgd(1); }, 0x54, 2},
      {"level 2 counts as 0", [](UsbLines& u) { u.SetPgd(2); }, 0x14, 3},
      {"clock high", [](UsbLines& u) { u.SetPgc(1); }, 0x10, 4},
      {"level 3 counts as 1", [](UsbLines& u) { u.SetPgc(3); }, 0x10, 5},
      {"tick", [](UsbLines& u) { u.Tick(); }, 0x10, 6},
      {"select off", [](UsbLines& u) { u.SetVoltageSelect(false); }, 0x00, 6},
      {"PGD low again", [](UsbLines& u) { u.SetPgd(1); }, 0x40, 7},
  };
  uint32_t queued = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE(s.what);
    s.op(usb);
    EXPECT_EQ(usb.ftPinState, s.state);
    EXPECT_EQ(usb.ftIndxOutBuff, s.queued);
    if (s.queued != queued) {
      EXPECT_EQ(usb.ftOutBuff[s.queued - 1], s.state);  // the byte queued is the new state
    }
    queued = s.queued;
  }
  EXPECT_EQ(dev.Transfers(), 0u);  // nothing sent yet

  // The programming voltage goes out at once.
  usb.SetVpp(1);
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
  EXPECT_EQ(dev.Lines(), 0x60);
  ASSERT_EQ(dev.Writes().size(), 1u);
  EXPECT_EQ(dev.Writes()[0].size(), 8u);
}

TEST_F(UsbLinesTest, PulsePgcIsEightBytesWithTheClockHighInTheMiddle) {
  OpenAndSelect();
  usb.SetVoltageSelect(true);
  usb.SetPgc(0);
  usb.ftIndxOutBuff = 0;
  usb.PulsePgc();
  ASSERT_EQ(usb.ftIndxOutBuff, 8u);
  std::vector<uint8_t> q(usb.ftOutBuff.begin(), usb.ftOutBuff.begin() + 8);
  EXPECT_EQ(q, (std::vector<uint8_t>{0x14, 0x14, 0x10, 0x10, 0x10, 0x14, 0x14, 0x14}));
}

TEST_F(UsbLinesTest, FirstTransferAfterOpeningSendsIdleLines) {
  OpenAndSelect();
  usb.SetVoltageSelect(true);
  usb.SetPgc(1);
  usb.SetPgd(0);
  usb.SetVpp(0);
  ASSERT_EQ(dev.Writes().size(), 1u);
  EXPECT_EQ(dev.Writes()[0], (std::vector<uint8_t>{0x10, 0x10, 0x10}));
  EXPECT_EQ(usb.ftPinState, 0x10);
  EXPECT_TRUE(host.log.empty());
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(UsbLinesTest, OverflowAtThe65536thAppend) {
  OpenAndSelect();
  usb.SetPgc(0);  // 04h
  usb.ftIndxOutBuff = 0;
  for (int i = 0; i < 65535; ++i) usb.AppendPinState();
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(usb.ftIndxOutBuff, 65535u);
  usb.SetPgd(1);  // 44h: lands in slot 65535, which is never sent
  usb.Tick();
  EXPECT_EQ(host.log, (std::vector<std::string>{"Ошибка переполнения =65535", "Ошибка переполнения =65535"}));
  EXPECT_EQ(usb.ftIndxOutBuff, 65535u);

  const size_t before = dev.Writes().size();
  EXPECT_EQ(usb.FtFlush(), 65535u);
  const std::vector<uint8_t> sent = SentSince(before);
  ASSERT_EQ(sent.size(), 65535u);
  EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](uint8_t b) { return b == 0x04; }));
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
  EXPECT_EQ(host.log.size(), 2u);
}

TEST_F(UsbLinesTest, DelayWaitsWholeMillisecondsOfQueueStatusRequests) {
  OpenAndSelect();
  const uint32_t rate = ft.ftPollsPerMs;
  ASSERT_GT(rate, 0u);
  auto delayRequests = [&](uint16_t n) {
    uint64_t r = Requests();
    EXPECT_TRUE(usb.Delay(n));
    return Requests() - r;
  };
  const uint64_t base = delayRequests(0);  // the transfer plus the one request of the wait
  struct Case {
    uint16_t n;
    uint64_t extra;
  } cases[] = {{0, 0}, {99, 0}, {100, rate}, {199, rate}, {1500, 15ull * rate}, {5000, 50ull * rate},
               {65535, 655ull * rate}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(delayRequests(c.n), base + c.extra);
  }
}

TEST_F(UsbLinesTest, DelayLastsItsTimeHoweverSlowTheRequests) {
  // Requests slower than one a millisecond measure FtPollsPerMs = 0; the wait
  // must still last, not shrink to a single request. (The rate is whole requests
  // a millisecond, so a wait may come out up to one request a millisecond short.)
  struct Case {
    uint64_t pollNs;
  } cases[] = {{20000}, {100000}, {1500000}, {3000000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pollNs);
    sim::VirtualClock clk;
    sim::SimFtdi d(clk, nullptr);
    d.SetPollCostNs(c.pollNs);
    sim::VirtualTickSource t(clk);
    LogHost h;
    Selection s;
    FtAccess f(d, h, t);
    UsbLines u(f, h, s);
    ASSERT_TRUE(f.OpenUsbProgrammer());
    s.checkUsb = true;
    uint64_t t0 = clk.NowNs();
    u.Delay(0);
    const uint64_t base = clk.NowNs() - t0;
    t0 = clk.NowNs();
    u.Delay(5000);
    const uint64_t waited = clk.NowNs() - t0 - base;
    EXPECT_GE(waited, 44000000u);
    EXPECT_LE(waited, 56000000u);
  }
}

TEST_F(UsbLinesTest, WithNoMeasuredRateEveryWaitIsOneRequest) {
  OpenAndSelect();
  ft.ftPollsPerMs = 0;
  ft.ftPollsPer100Ms = 0;
  uint64_t r = Requests();
  usb.Delay(0);
  const uint64_t base = Requests() - r;
  r = Requests();
  usb.Delay(5000);
  EXPECT_EQ(Requests() - r, base);
  // A transfer: the stale-echo check and one request of echo wait; the read
  // itself then waits for the echoes.
  usb.Tick();
  r = Requests();
  EXPECT_EQ(usb.FtFlush(), 1u);
  EXPECT_EQ(Requests() - r, 2u);
}

TEST_F(UsbLinesTest, ReadIcspByteSendsTheQueueThen113BytesWithEightSamples) {
  OpenAndSelect();
  usb.SetPgc(0);
  usb.SetPgd(1);
  for (int i = 0; i < 4; ++i) usb.PulsePgc();  // a read command waiting in the queue
  const size_t before = dev.Writes().size();
  EXPECT_EQ(usb.ReadIcspByte(), 0xFF);  // nothing on the header: PGD floats high
  ASSERT_EQ(dev.Writes().size(), before + 2);
  EXPECT_EQ(dev.Writes()[before].size(), 34u);
  const std::vector<uint8_t>& read = dev.Writes()[before + 1];
  ASSERT_EQ(read.size(), 113u);
  EXPECT_EQ(std::count_if(read.begin(), read.end(), [](uint8_t b) { return (b & 0x80) != 0; }), 8);
  // The chip owns PGD for the whole data phase.
  EXPECT_TRUE(std::none_of(read.begin() + 64, read.end(), [](uint8_t b) { return (b & 0x40) != 0; }));
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
}

TEST_F(UsbLinesTest, GetPgdSamplesTheLine) {
  OpenAndSelect();
  usb.SetPgd(1);  // pulled low by the programmer itself
  EXPECT_EQ(usb.GetPgd(), 0);
  usb.SetPgd(0);  // released: high through the pull-up
  EXPECT_EQ(usb.GetPgd(), 1);
  EXPECT_EQ(dev.Writes().back().size(), 6u);  // the SetPgd byte and the five of the sample
}

TEST_F(UsbLinesTest, BytesBeyondTheLastTransferNeverCountAsSamples) {
  OpenAndSelect();
  usb.SetPgd(0);
  EXPECT_EQ(usb.ReadIcspByte(), 0xFF);  // leaves marked, PGD-high echoes in FtInBuff

  // The next transfer's echoes are lost: what lies in FtInBuff from before must not count.
  dev.LoseEchoes(dev.BytesWritten(), 5);
  EXPECT_EQ(usb.GetPgd(), 0);

  // A byte read whose last three marked echoes are lost decodes five samples only.
  usb.FtFlush();
  const uint64_t first = dev.BytesWritten();
  dev.LoseEchoes(first + 113 - 16, 16);
  EXPECT_EQ(usb.ReadIcspByte(), 0xF8);
}

TEST_F(UsbLinesTest, EmptyQueueTransferLogsAndAsksForNothing) {
  OpenAndSelect();
  const uint64_t writes = dev.Transfers(), reads = dev.ReadRequests();
  EXPECT_EQ(usb.FtFlush(), 0u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Ошибка-1 FtWrite()->FTIndxOutBuff=0 < FT_Q_Bytes=0 "}));
  EXPECT_EQ(dev.Transfers(), writes + 1);
  EXPECT_TRUE(dev.Writes().back().empty());
  EXPECT_EQ(dev.ReadRequests(), reads + 1);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(UsbLinesTest, StaleEchoesArePurgedBeforeATransfer) {
  OpenAndSelect();
  // Echoes nobody read (a raw write outside the driver): marked, PGD high.
  std::vector<uint8_t> junk(20, 0x80);
  junk.back() = 0x00;
  ft.SetOutBuffer(junk.data());
  ft.FtWrite(20);
  ft.SetOutBuffer(usb.ftOutBuff.data());
  clock.Advance(5000000);
  const uint64_t purges = dev.Purges();
  usb.SetPgd(1);  // PGD held low: a sample taken from the junk would read high
  EXPECT_EQ(usb.GetPgd(), 0);
  EXPECT_EQ(dev.Purges(), purges + 1);
}

// Raw pin states, as the debug window queues them, so every byte is distinct.
std::vector<uint8_t> Pattern(uint32_t n) {
  std::vector<uint8_t> p(n);
  for (uint32_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>((i * 37 + 11) & 0xF7);
  return p;
}

TEST_F(UsbLinesTest, ShortWritesResendOnlyTheTailThatDidNotGoOut) {
  struct Case {
    const char* what;
    int shortWrites;
    uint32_t maxBytes;
    uint8_t latencyMs;  // 16: echoes come in later than the driver's 4 ms wait
  } cases[] = {
      {"one short write", 1, 50, 1},
      {"three short writes", 3, 30, 1},
      {"echoes late", 1, 50, 16},
      {"long transfer, echoes late", 1, 3000, 16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::VirtualClock clk;
    sim::SimFtdi d(clk, nullptr);
    d.RecordWrites(true);
    sim::VirtualTickSource t(clk);
    LogHost h;
    Selection s;
    FtAccess f(d, h, t);
    UsbLines u(f, h, s);
    ASSERT_TRUE(f.OpenUsbProgrammer());
    s.checkUsb = true;
    d.SetLatencyTimer(f.ftHandle, c.latencyMs);

    const uint32_t n = 5000;
    const std::vector<uint8_t> pattern = Pattern(n);
    std::copy(pattern.begin(), pattern.end(), u.ftOutBuff.begin());
    u.ftIndxOutBuff = n;
    d.ShortWrites(c.shortWrites, c.maxBytes);
    EXPECT_EQ(u.FtFlush(), n);

    std::vector<uint8_t> sent;
    for (const auto& w : d.Writes()) sent.insert(sent.end(), w.begin(), w.end());
    EXPECT_EQ(sent, pattern) << "every pin state exactly once, in order";
    EXPECT_EQ(d.Writes().size(), static_cast<size_t>(c.shortWrites + 1));
    // Echo k holds the lines of byte k-1; with nothing on the header, PGD is high
    // unless that byte pulled it low.
    for (uint32_t k = 1; k < n; ++k) {
      uint8_t prev = pattern[k - 1];
      uint8_t want = static_cast<uint8_t>(prev | ((prev & 0x40) ? 0 : 0x08));
      ASSERT_EQ(f.ftInBuff[k], want) << k;
    }
    EXPECT_TRUE(h.log.empty());
    EXPECT_TRUE(h.boxes.empty());
  }
}

TEST_F(UsbLinesTest, AWriteThatStaysShortGivesUpAfter101Attempts) {
  OpenAndSelect();
  const std::vector<uint8_t> pattern = Pattern(300);
  std::copy(pattern.begin(), pattern.end(), usb.ftOutBuff.begin());
  usb.ftIndxOutBuff = 300;
  const size_t before = dev.Writes().size();
  dev.ShortWrites(1000, 1);
  EXPECT_EQ(usb.FtFlush(), 101u);  // the read still runs and returns what came
  EXPECT_EQ(dev.Writes().size() - before, 101u);
  EXPECT_EQ(SentSince(before), std::vector<uint8_t>(pattern.begin(), pattern.begin() + 101));
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
}

TEST_F(UsbLinesTest, ShortReportAfterEverythingWentOutIsLoggedAndNotResent) {
  OpenAndSelect();
  const std::vector<uint8_t> pattern = Pattern(200);
  std::copy(pattern.begin(), pattern.end(), usb.ftOutBuff.begin());
  usb.ftIndxOutBuff = 200;
  const size_t before = dev.Writes().size();
  dev.UnderReportWrites(1, 10);
  EXPECT_EQ(usb.FtFlush(), 200u);
  EXPECT_EQ(SentSince(before), pattern);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Ошибка-2 FtWrite()->FTIndxOutBuff=200 < FT_Q_Bytes=200 "}));
}

TEST_F(UsbLinesTest, LostEchoesEndTheReadAtItsTimeOut) {
  OpenAndSelect();
  for (int i = 0; i < 100; ++i) usb.Tick();
  dev.LoseEchoes(dev.BytesWritten() + 40, 3);
  const uint64_t t0 = clock.NowNs();
  EXPECT_EQ(usb.FtFlush(), 97u);
  EXPECT_GE(clock.NowNs() - t0, 5000000000ull);
  EXPECT_LT(clock.NowNs() - t0, 5100000000ull);
  EXPECT_TRUE(host.boxes.empty());  // a read that times out is no failing call
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
}

TEST_F(UsbLinesTest, UnpluggedMidTransferReportsAndCarriesOn) {
  OpenAndSelect();
  for (int i = 0; i < 300; ++i) usb.Tick();
  dev.UnplugAfter(100);
  EXPECT_EQ(usb.FtFlush(), 0u);
  EXPECT_EQ(usb.ftIndxOutBuff, 0u);
  ASSERT_FALSE(host.boxes.empty());
  EXPECT_EQ(host.boxes.front(), "FT_Write - General IO error...");
  EXPECT_LE(host.boxes.size(), 4u);

  // Every later wait and read fails quickly with a few boxes, never one per tick
  // of the clock.
  for (auto* op : {+[](UsbLines& u) { u.Delay(5000); }, +[](UsbLines& u) { u.GetPgd(); },
                   +[](UsbLines& u) { u.ReadIcspByte(); }, +[](UsbLines& u) { u.SetVpp(1); }}) {
    host.boxes.clear();
    op(usb);
    EXPECT_GE(host.boxes.size(), 1u);
    EXPECT_LE(host.boxes.size(), 8u);
  }
  EXPECT_EQ(usb.GetPgd(), 0);
  EXPECT_FALSE(ft.FindUsbProgrammer());
}

TEST(UsbLinesDecode, OnlyMarkedEchoesCountLeastSignificantBitFirst) {
  struct Case {
    std::vector<uint8_t> echoes;
    uint8_t value;
  } cases[] = {
      {{}, 0x00},
      {{0x88, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}, 0x01},
      {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x88}, 0x80},
      {{0x88, 0x08, 0x80, 0x08, 0x88, 0x80, 0x88, 0x88, 0x80, 0x88}, 0xB5},  // unmarked bytes skipped
      {{0x88, 0x88, 0x88}, 0xE0},  // three samples only
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UsbLines::DecodeSamples(c.echoes.data(), static_cast<uint32_t>(c.echoes.size())), c.value);
  }
}

}  // namespace
}  // namespace tvn
