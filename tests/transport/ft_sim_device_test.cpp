// The simulated FTDI device against what an FT232R in synchronous bit-bang does:
// read-back one byte behind, lines only in mode 4 with the programmer's mask,
// bytes at the bit-bang rate, echoes a USB frame late, and the faults it injects.
#include <gtest/gtest.h>

#include <vector>

#include "sim/sim_ftdi.h"

namespace tvn::sim {
namespace {

// A header that remembers every change of the programmer's lines and lets the
// test decide what the chip does with PGD.
class PinRecorder : public Pic18Pins {
 public:
  struct Change {
    HostPins pins;
    uint64_t ns;
  };
  void Drive(const HostPins& pins, uint64_t nowNs) override {
    changes.push_back({pins, nowNs});
    last = pins;
  }
  bool PgdLine(uint64_t) const override { return !last.pgdPullLow && chipHigh; }

  std::vector<Change> changes;
  HostPins last{};
  bool chipHigh = true;
};

class SimFtdiTest : public ::testing::Test {
 protected:
  FT_HANDLE OpenConfigured(uint8_t mask = 0xF7, uint8_t mode = 4) {
    FT_HANDLE h = nullptr;
    EXPECT_EQ(dev.OpenByDescription("Nimbrella", &h), FT_OK);
    EXPECT_EQ(dev.SetBitMode(h, mask, mode), FT_OK);
    EXPECT_EQ(dev.SetLatencyTimer(h, 1), FT_OK);
    EXPECT_EQ(dev.SetTimeouts(h, 5000, 5000), FT_OK);
    EXPECT_EQ(dev.SetBaudRate(h, 153600), FT_OK);
    pins.changes.clear();
    return h;
  }
  std::vector<uint8_t> WriteAndRead(FT_HANDLE h, const std::vector<uint8_t>& bytes) {
    uint32_t written = 0, received = 0;
    EXPECT_EQ(dev.Write(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written), FT_OK);
    EXPECT_EQ(written, bytes.size());
    std::vector<uint8_t> in(bytes.size());
    EXPECT_EQ(dev.Read(h, in.data(), static_cast<uint32_t>(in.size()), &received), FT_OK);
    in.resize(received);
    return in;
  }

  VirtualClock clock;
  PinRecorder pins;
  SimFtdi dev{clock, &pins};
};

TEST_F(SimFtdiTest, EchoHoldsTheLevelsFromBeforeEachByte) {
  FT_HANDLE h = OpenConfigured();
  // 0x50 pulls PGD low, so the echo of the byte after it reads PGD low.
  std::vector<uint8_t> echo = WriteAndRead(h, {0x14, 0x50, 0x34, 0x80, 0x00});
  EXPECT_EQ(echo, (std::vector<uint8_t>{0x08, 0x1C, 0x50, 0x3C, 0x88}));

  // The chip pulling PGD low shows in bit 3 only; the outputs read as driven.
  pins.chipHigh = false;
  echo = WriteAndRead(h, {0xF7, 0x00});
  EXPECT_EQ(echo, (std::vector<uint8_t>{0x00, 0xF7 & ~0x08 & 0xFF}));
}

TEST_F(SimFtdiTest, BytesReachThePinsOneBitBangPeriodApart) {
  FT_HANDLE h = OpenConfigured();
  const uint64_t start = clock.NowNs();
  // clock high (bit 2 = 0) then low; VPP; PGD pulled low
  WriteAndRead(h, {0x04, 0x00, 0x04, 0x24, 0x64});
  ASSERT_EQ(pins.changes.size(), 5u);
  const uint64_t period = 1000000000ull / (4 * 153600);
  struct Want {
    bool vpp, pgc, pull;
  } want[] = {{false, false, false}, {false, true, false}, {false, false, false}, {true, false, false}, {true, false, true}};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pins.changes[i].pins.vpp, want[i].vpp);
    EXPECT_EQ(pins.changes[i].pins.pgc, want[i].pgc);
    EXPECT_EQ(pins.changes[i].pins.pgdPullLow, want[i].pull);
    EXPECT_NEAR(static_cast<double>(pins.changes[i].ns - start), static_cast<double>(i * period), 3.0);
  }
  // An unchanged byte is no edge for the chip.
  pins.changes.clear();
  WriteAndRead(h, {0x64, 0x64});
  EXPECT_TRUE(pins.changes.empty());
}

TEST_F(SimFtdiTest, EchoesArriveAUsbFrameAfterTheirBytes) {
  FT_HANDLE h = OpenConfigured();
  std::vector<uint8_t> bytes(1000, 0x10);
  uint32_t written = 0, q = 0;
  const uint64_t t0 = clock.NowNs();
  ASSERT_EQ(dev.Write(h, bytes.data(), 1000, &written), FT_OK);
  const uint64_t bytesNs = 1000ull * 1000000000ull / (4 * 153600);
  EXPECT_GE(clock.NowNs() - t0, bytesNs - 1000);  // the write blocks while its bytes go out

  ASSERT_EQ(dev.GetQueueStatus(h, &q), FT_OK);
  EXPECT_LT(q, 1000u);
  // Each request costs 20 us; before t0 + bytes + 1 ms the last echo is not in.
  while (clock.NowNs() < t0 + bytesNs + SimFtdi::kUsbFrameNs - 30000) {
    ASSERT_EQ(dev.GetQueueStatus(h, &q), FT_OK);
    ASSERT_LT(q, 1000u);
  }
  for (int i = 0; i < 5; ++i) dev.GetQueueStatus(h, &q);
  EXPECT_EQ(q, 1000u);
}

TEST_F(SimFtdiTest, ReadWaitsForMissingEchoesUpToItsTimeOut) {
  FT_HANDLE h = OpenConfigured();
  std::vector<uint8_t> bytes(100, 0x10), in(100);
  uint32_t written = 0, received = 0;
  ASSERT_EQ(dev.Write(h, bytes.data(), 100, &written), FT_OK);
  const uint64_t t0 = clock.NowNs();
  ASSERT_EQ(dev.Read(h, in.data(), 100, &received), FT_OK);
  EXPECT_EQ(received, 100u);
  EXPECT_LE(clock.NowNs() - t0, SimFtdi::kUsbFrameNs + 10000);

  // Two echoes never come: the read gives up after 5000 ms with the rest.
  dev.LoseEchoes(dev.BytesWritten() + 10, 2);
  ASSERT_EQ(dev.Write(h, bytes.data(), 100, &written), FT_OK);
  const uint64_t t1 = clock.NowNs();
  ASSERT_EQ(dev.Read(h, in.data(), 100, &received), FT_OK);
  EXPECT_EQ(received, 98u);
  EXPECT_EQ(clock.NowNs() - t1, 5000ull * 1000000ull);
}

TEST_F(SimFtdiTest, LinesMoveOnlyInSyncBitBangWithTheProgrammerMask) {
  struct Case {
    uint8_t mask, mode;
    bool pinsMove, echoes;
  } cases[] = {{0xF7, 4, true, true}, {0xFF, 4, false, true}, {0xF7, 1, false, false}, {0xF7, 0, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mask " << int(c.mask) << " mode " << int(c.mode));
    VirtualClock clk;
    PinRecorder rec;
    SimFtdi d(clk, &rec);
    FT_HANDLE h = nullptr;
    ASSERT_EQ(d.OpenByDescription("Nimbrella", &h), FT_OK);
    d.SetTimeouts(h, 50, 50);
    d.SetBitMode(h, c.mask, c.mode);
    rec.changes.clear();
    uint8_t out[3] = {0x24, 0x20, 0x24}, in[3];
    uint32_t written = 0, received = 0;
    ASSERT_EQ(d.Write(h, out, 3, &written), FT_OK);
    d.Read(h, in, 3, &received);
    EXPECT_EQ(!rec.changes.empty(), c.pinsMove);
    EXPECT_EQ(received == 3, c.echoes);
  }
}

TEST_F(SimFtdiTest, PurgeThrowsAwayEchoesAlreadyIn) {
  FT_HANDLE h = OpenConfigured();
  std::vector<uint8_t> bytes(40, 0x10);
  uint32_t written = 0, q = 0;
  dev.Write(h, bytes.data(), 40, &written);
  clock.Advance(2000000);
  dev.GetQueueStatus(h, &q);
  EXPECT_EQ(q, 40u);
  EXPECT_EQ(dev.Purge(h, FT_PURGE_RX), FT_OK);
  dev.GetQueueStatus(h, &q);
  EXPECT_EQ(q, 0u);
  EXPECT_EQ(dev.Purges(), 1u);
}

TEST_F(SimFtdiTest, ListingAndOpening) {
  dev.SetDevices({"USB Serial", "Nimbrella"});
  int32_t count = -1;
  char buf[64];
  ASSERT_EQ(dev.ListDeviceCount(&count), FT_OK);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(dev.ListDeviceDescription(1, buf), FT_OK);
  EXPECT_STREQ(buf, "Nimbrella");
  EXPECT_EQ(dev.ListDeviceDescription(2, buf), FT_DEVICE_NOT_FOUND);

  FT_HANDLE h = nullptr, h2 = nullptr;
  EXPECT_EQ(dev.OpenByDescription("nimbrella", &h), FT_DEVICE_NOT_FOUND);
  ASSERT_EQ(dev.OpenByDescription("Nimbrella", &h), FT_OK);
  EXPECT_EQ(dev.OpenByDescription("Nimbrella", &h2), FT_DEVICE_NOT_OPENED);  // one handle per device
  uint32_t q = 0;
  EXPECT_EQ(dev.GetQueueStatus(nullptr, &q), FT_INVALID_HANDLE);
  EXPECT_EQ(dev.GetQueueStatus(reinterpret_cast<FT_HANDLE>(0x1234), &q), FT_INVALID_HANDLE);
  EXPECT_EQ(dev.SetBaudRate(h, 0), FT_INVALID_BAUD_RATE);

  dev.SetAbsent();
  ASSERT_EQ(dev.ListDeviceCount(&count), FT_OK);
  EXPECT_EQ(count, 0);
}

TEST_F(SimFtdiTest, UnplugStopsTheWriteAndEveryLaterCall) {
  FT_HANDLE h = OpenConfigured();
  WriteAndRead(h, {0x24, 0x64});
  dev.UnplugAfter(4);
  uint8_t out[10] = {0x20, 0x24, 0x20, 0x24, 0x20, 0x24, 0x20, 0x24, 0x20, 0x24};
  uint32_t written = 99, q = 0, received = 0;
  EXPECT_EQ(dev.Write(h, out, 10, &written), FT_IO_ERROR);
  EXPECT_EQ(written, 4u);
  EXPECT_TRUE(dev.Unplugged());
  // The programmer lost power: VPP off, nothing pulls PGD.
  EXPECT_FALSE(pins.last.vpp);
  EXPECT_FALSE(pins.last.pgdPullLow);
  EXPECT_EQ(dev.GetQueueStatus(h, &q), FT_IO_ERROR);
  EXPECT_EQ(dev.Read(h, out, 4, &received), FT_IO_ERROR);
  EXPECT_EQ(received, 0u);
  int32_t count = -1;
  dev.ListDeviceCount(&count);
  EXPECT_EQ(count, 0);
  FT_HANDLE again = nullptr;
  EXPECT_EQ(dev.OpenByDescription("Nimbrella", &again), FT_DEVICE_NOT_FOUND);
}

TEST_F(SimFtdiTest, ShortAndUnderReportedWrites) {
  FT_HANDLE h = OpenConfigured();
  std::vector<uint8_t> bytes(30, 0x10), in(30);
  uint32_t written = 0, received = 0;
  // Short: only what is reported reaches the lines.
  dev.ShortWrites(1, 12);
  const uint64_t before = dev.BytesWritten();
  ASSERT_EQ(dev.Write(h, bytes.data(), 30, &written), FT_OK);
  EXPECT_EQ(written, 12u);
  EXPECT_EQ(dev.BytesWritten() - before, 12u);
  dev.Read(h, in.data(), 30, &received);
  EXPECT_EQ(received, 12u);
  // Under-reported: everything went out although fewer are reported.
  dev.UnderReportWrites(1, 5);
  ASSERT_EQ(dev.Write(h, bytes.data(), 30, &written), FT_OK);
  EXPECT_EQ(written, 5u);
  dev.Read(h, in.data(), 30, &received);
  EXPECT_EQ(received, 30u);
}

TEST_F(SimFtdiTest, QueueStatusCostsAFixedVirtualTime) {
  FT_HANDLE h = OpenConfigured();
  uint32_t q = 0;
  const uint64_t t0 = clock.NowNs();
  for (int i = 0; i < 50; ++i) dev.GetQueueStatus(h, &q);
  EXPECT_EQ(clock.NowNs() - t0, 50 * SimFtdi::kDefaultPollNs);
  EXPECT_EQ(dev.QueueStatusRequests(), 50u);
}

TEST(SimFtdiNoChip, PgdFollowsTheProgrammersOwnDriver) {
  VirtualClock clock;
  SimFtdi dev(clock, nullptr);
  FT_HANDLE h = nullptr;
  ASSERT_EQ(dev.OpenByDescription("Nimbrella", &h), FT_OK);
  dev.SetBitMode(h, 0xF7, 4);
  dev.SetTimeouts(h, 100, 100);
  uint8_t out[3] = {0x40, 0x00, 0x00}, in[3];
  uint32_t written = 0, received = 0;
  dev.Write(h, out, 3, &written);
  dev.Read(h, in, 3, &received);
  ASSERT_EQ(received, 3u);
  EXPECT_EQ(in[1] & 0x08, 0);     // after 0x40 PGD is pulled low
  EXPECT_EQ(in[2] & 0x08, 0x08);  // released: high through the pull-up
}

}  // namespace
}  // namespace tvn::sim
