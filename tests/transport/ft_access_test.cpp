// Finding, opening, configuring and timing the USB programmer, and the error box
// of every failing FTDI call, over the simulated FTDI device.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sim/sim_ftdi.h"
#include "sim/virtual_clock.h"
#include "transport/ft_access.h"

namespace tvn {
namespace {

class BoxHost : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override { log.clear(); }
  void MessageBox(const std::string& text, BoxKind kind) override {
    boxes.push_back(text);
    kinds.push_back(kind);
  }
  std::vector<std::string> log, boxes;
  std::vector<BoxKind> kinds;
};

// Passes every call to the simulated device, except those told to fail: the way
// a real library call fails (permission, device gone) without real hardware.
class FailingD2xx : public D2xx {
 public:
  explicit FailingD2xx(D2xx& inner) : in_(inner) {}
  std::map<std::string, FT_STATUS> fail;  // call name -> status
  std::map<std::string, int> failTimes;   // how many times (absent: always)
  std::vector<std::string> openNames;     // what the open request was given

  FT_STATUS ListDeviceCount(int32_t* c) override { return Or("count", in_.ListDeviceCount(c)); }
  FT_STATUS ListDeviceDescription(int32_t i, char* b) override {
    if (i == descFailIndex) return Or("desc", FT_OK, true);
    if (i == unterminatedIndex) {
      for (int k = 0; k < 64; ++k) b[k] = 'X';  // no NUL anywhere in the library's 64 bytes
      return FT_OK;
    }
    return in_.ListDeviceDescription(i, b);
  }
  FT_STATUS OpenByDescription(const char* d, FT_HANDLE* h) override {
    openNames.emplace_back(d);
    return Or("open", in_.OpenByDescription(d, h));
  }
  FT_STATUS SetBitMode(FT_HANDLE h, uint8_t m, uint8_t mo) override { return Or("bitmode", in_.SetBitMode(h, m, mo)); }
  FT_STATUS SetLatencyTimer(FT_HANDLE h, uint8_t ms) override { return Or("latency", in_.SetLatencyTimer(h, ms)); }
  FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t r, uint32_t w) override { return Or("timeouts", in_.SetTimeouts(h, r, w)); }
  FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t b) override { return Or("baud", in_.SetBaudRate(h, b)); }
  FT_STATUS Purge(FT_HANDLE h, uint32_t m) override { return Or("purge", in_.Purge(h, m)); }
  FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* q) override { return Or("status", in_.GetQueueStatus(h, q)); }
  FT_STATUS Write(FT_HANDLE h, const uint8_t* b, uint32_t n, uint32_t* w) override { return Or("write", in_.Write(h, b, n, w)); }
  FT_STATUS Read(FT_HANDLE h, uint8_t* b, uint32_t n, uint32_t* r) override { return Or("read", in_.Read(h, b, n, r)); }

  int descFailIndex = -1;
  int unterminatedIndex = -1;

 private:
  FT_STATUS Or(const std::string& call, FT_STATUS real, bool forced = false) {
    auto f = fail.find(call);
    if (f == fail.end()) return forced ? FT_IO_ERROR : real;
    auto t = failTimes.find(call);
    if (t != failTimes.end()) {
      if (t->second == 0) return real;
      --t->second;
    }
    return f->second;
  }
  D2xx& in_;
};

class FtAccessTest : public ::testing::Test {
 protected:
  sim::VirtualClock clock;
  sim::VirtualTickSource ticks{clock};
  sim::SimFtdi dev{clock, nullptr};
  FailingD2xx d2xx{dev};
  BoxHost host;
  FtAccess ft{d2xx, host, ticks};
};

TEST(FtErrorText, ByStatus) {
  struct Case {
    FT_STATUS status;
    const char* op;
    const char* text;
  } cases[] = {
      {0, "FT_Write", ""},
      {1, "FT_Read", "FT_Read - Invalid handle..."},
      {2, "GetFTDeviceCount", "GetFTDeviceCount - Device not found..."},
      {3, "Open_USB_Device_By_Device_Description", "Open_USB_Device_By_Device_Description - Device not opened..."},
      {4, "FT_GetQueueStatus", "FT_GetQueueStatus - General IO error..."},
      {5, "FT_Purge RX", "FT_Purge RX - Insufficient resources..."},
      {6, "FT_SetLatencyTimer ", "FT_SetLatencyTimer  - Invalid parameter..."},
      {7, "FT_SetBaudRate", "FT_SetBaudRate - Invalid baud rate..."},
      {8, "FT_SetBitMode ", "FT_SetBitMode  Device not opened for erase..."},
      {9, "FT_Write", "FT_Write Device not opened for write..."},
      {10, "FT_Write", "FT_Write - Failed to write..."},
      {11, "X", "X - EEPROM read failed..."},
      {12, "X", "X - EEPROM write failed..."},
      {13, "X", "X - EEPROM erase failed..."},
      {14, "X", "X - EEPROM not present..."},
      {15, "X", "X - EEPROM not programmed..."},
      {16, "X", "X - Invalid arguments..."},
      {17, "FT_SetTimeouts", "FT_SetTimeouts - Other error ..."},
      {18, "FT_Write", ""},
      {0xFFFFFFFF, "FT_Write", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    EXPECT_EQ(FtAccess::ErrorText(c.op, c.status), c.text);
  }
}

TEST_F(FtAccessTest, ErrorReportShowsAnErrorBoxForEveryFailingStatus) {
  ft.FtErrorReport("FT_Write", FT_OK);
  EXPECT_TRUE(host.boxes.empty());
  ft.FtErrorReport("FT_Write", 18);  // unknown status: a box with no text at all
  ft.FtErrorReport("FT_Write", FT_FAILED_TO_WRITE_DEVICE);
  ASSERT_EQ(host.boxes, (std::vector<std::string>{"", "FT_Write - Failed to write..."}));
  EXPECT_EQ(host.kinds[0], BoxKind::Error);
  EXPECT_EQ(host.kinds[1], BoxKind::Error);
}

TEST_F(FtAccessTest, NoDeviceIsFoundAfterOneCountRequestAndNoBox) {
  dev.SetAbsent();
  EXPECT_FALSE(ft.FindUsbProgrammer());
  EXPECT_EQ(dev.CountRequests(), 1u);
  EXPECT_EQ(dev.DescriptionRequests(), 0u);
  EXPECT_FALSE(ft.OpenUsbProgrammer());
  EXPECT_FALSE(ft.ftOpened);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(d2xx.openNames.empty());
}

TEST_F(FtAccessTest, DescriptionMustMatchExactly) {
  struct Case {
    std::vector<std::string> devices;
    bool found;
    uint64_t descriptionRequests;
  } cases[] = {
      {{"USB <-> Serial", "Nimbrella"}, true, 2},
      {{"Nimbrella", "Nimbrella"}, true, 1},
      {{"nimbrella"}, false, 1},
      {{"NIMBRELLA"}, false, 1},
      {{"Nimbrella "}, false, 1},
      {{"Nimbrella2"}, false, 1},
      {{"Nimbrell"}, false, 1},
      {{"FT232R USB UART", "Nimbrella x", "Tarrowgate"}, false, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.devices.back());
    sim::VirtualClock clk;
    sim::SimFtdi d(clk, nullptr);
    d.SetDevices(c.devices);
    sim::VirtualTickSource t(clk);
    BoxHost h;
    FtAccess f(d, h, t);
    EXPECT_EQ(f.FindUsbProgrammer(), c.found);
    EXPECT_EQ(d.DescriptionRequests(), c.descriptionRequests);
    EXPECT_TRUE(h.boxes.empty());
  }
}

TEST_F(FtAccessTest, AFailingDescriptionIsReportedAndSkipped) {
  dev.SetDevices({"Other", "Nimbrella"});
  d2xx.descFailIndex = 0;
  d2xx.fail["desc"] = FT_DEVICE_NOT_OPENED;  // e.g. no permission to ask it
  EXPECT_TRUE(ft.FindUsbProgrammer());
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"GetFTDeviceDescription - Device not opened..."}));
}

TEST_F(FtAccessTest, FailingCountRequestGivesABoxAndFalse) {
  d2xx.fail["count"] = FT_IO_ERROR;
  EXPECT_FALSE(ft.OpenUsbProgrammer());
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"GetFTDeviceCount - General IO error..."}));
}

TEST_F(FtAccessTest, DescriptionThatFillsTheWholeBufferIsNotReadPastItsEnd) {
  dev.SetDevices({"A", "B"});
  d2xx.unterminatedIndex = 0;
  ASSERT_EQ(ft.GetFTDeviceDescription(0), FT_OK);
  EXPECT_EQ(ft.ftDescription, std::string(64, 'X'));
}

TEST_F(FtAccessTest, OpenNameIsCutTo49Characters) {
  const std::string sixty = "Nimbrella-0123456789-0123456789-0123456789-0123456789-012345";
  ASSERT_EQ(sixty.size(), 60u);
  dev.SetDevices({sixty.substr(0, 49)});
  EXPECT_TRUE(ft.OpenUsbProgrammerDevice(sixty));
  ASSERT_EQ(d2xx.openNames.size(), 1u);
  EXPECT_EQ(d2xx.openNames[0], sixty.substr(0, 49));
  EXPECT_TRUE(ft.ftOpened);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(FtAccessTest, OpenConfiguresSyncBitBangAndMeasuresThePollRate) {
  ASSERT_TRUE(ft.OpenUsbProgrammer());
  EXPECT_TRUE(ft.ftOpened);
  EXPECT_EQ(dev.Mode(), 4);
  EXPECT_EQ(dev.Mask(), 0xF7);
  EXPECT_EQ(dev.LatencyMs(), 1);
  EXPECT_EQ(dev.ReadTimeoutMs(), 5000u);
  EXPECT_EQ(dev.WriteTimeoutMs(), 5000u);
  EXPECT_EQ(dev.Baud(), 153600u);
  EXPECT_EQ(ft.baudValue, 153600u);
  // 20 us a request: 50 a millisecond, less the part of one lost to the tick edge.
  EXPECT_GE(ft.ftPollsPerMs, 49u);
  EXPECT_LE(ft.ftPollsPerMs, 50u);
  EXPECT_GE(clock.NowNs(), 99000000u);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(FtAccessTest, PollRateFollowsTheCostOfARequest) {
  struct Case {
    uint64_t pollNs;
    uint32_t minRate, maxRate;
  } cases[] = {{20000, 49, 50}, {100000, 9, 10}, {1000000, 0, 1}, {1500000, 0, 0}, {250000000, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pollNs);
    sim::VirtualClock clk;
    clk.Advance(123456789);  // not on a tick edge
    sim::SimFtdi d(clk, nullptr);
    d.SetPollCostNs(c.pollNs);
    sim::VirtualTickSource t(clk);
    BoxHost h;
    FtAccess f(d, h, t);
    ASSERT_TRUE(f.OpenUsbProgrammer());
    EXPECT_GE(f.ftPollsPerMs, c.minRate);
    EXPECT_LE(f.ftPollsPerMs, c.maxRate);
    EXPECT_EQ(f.ftPollsPerMs, f.ftPollsPer100Ms / 100);
  }
}

TEST_F(FtAccessTest, SecondOpenTouchesNothing) {
  ASSERT_TRUE(ft.OpenUsbProgrammer());
  const uint32_t rate = ft.ftPollsPerMs;
  const uint64_t counts = dev.CountRequests(), polls = dev.QueueStatusRequests();
  const uint64_t now = clock.NowNs();
  dev.SetPollCostNs(2000000);  // would measure 0 if it measured again
  EXPECT_TRUE(ft.OpenUsbProgrammer());
  EXPECT_EQ(ft.ftPollsPerMs, rate);
  EXPECT_EQ(dev.CountRequests(), counts);
  EXPECT_EQ(dev.QueueStatusRequests(), polls);
  EXPECT_EQ(clock.NowNs(), now);
}

TEST_F(FtAccessTest, FailingConfigurationCallsShowBoxesButTheOpenSucceeds) {
  d2xx.fail["bitmode"] = FT_IO_ERROR;
  d2xx.fail["latency"] = FT_INVALID_PARAMETER;
  d2xx.fail["timeouts"] = FT_OTHER_ERROR;
  d2xx.fail["baud"] = FT_INVALID_BAUD_RATE;
  EXPECT_TRUE(ft.OpenUsbProgrammer());
  EXPECT_TRUE(ft.ftOpened);
  EXPECT_EQ(host.boxes, (std::vector<std::string>{
                            "FT_SetBitMode  - General IO error...",
                            "FT_SetLatencyTimer  - Invalid parameter...",
                            "FT_SetTimeouts - Other error ...",
                            "FT_SetBaudRate - Invalid baud rate...",
                        }));
}

TEST_F(FtAccessTest, FailedFirstQueueStatusLeavesTheProgrammerNotOpened) {
  d2xx.fail["status"] = FT_IO_ERROR;
  d2xx.failTimes["status"] = 1;
  EXPECT_FALSE(ft.OpenUsbProgrammer());
  EXPECT_FALSE(ft.ftOpened);
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"FT_GetQueueStatus - General IO error..."}));
  // The next attempt searches and opens again; the device still holds the first
  // handle and refuses a second one.
  EXPECT_FALSE(ft.OpenUsbProgrammer());
  EXPECT_EQ(d2xx.openNames.size(), 2u);
  EXPECT_EQ(host.boxes.back(), "Open_USB_Device_By_Device_Description - Device not opened...");
}

TEST_F(FtAccessTest, TransferWrappersReportCountsAndFailures) {
  ASSERT_TRUE(ft.OpenUsbProgrammer());
  std::vector<uint8_t> out(300, 0x10);
  ft.SetOutBuffer(out.data());
  EXPECT_EQ(ft.FtWrite(300), 300u);
  EXPECT_EQ(ft.FtRead(300), 300u);
  EXPECT_EQ(ft.ftInBuff[299], 0x18);  // clock high, select on, PGD high through the pull-up
  EXPECT_TRUE(host.boxes.empty());

  d2xx.fail["write"] = FT_IO_ERROR;
  d2xx.fail["read"] = FT_INVALID_HANDLE;
  d2xx.fail["purge"] = FT_INVALID_HANDLE;
  EXPECT_EQ(ft.FtWrite(10), 10u);  // the count the library reported, whatever its status
  EXPECT_EQ(ft.lastWriteStatus, FT_IO_ERROR);
  ft.FtRead(10);
  ft.FtPurgeRx();
  EXPECT_EQ(host.boxes, (std::vector<std::string>{"FT_Write - General IO error...", "FT_Read - Invalid handle...",
                                                  "FT_Purge RX - Invalid handle..."}));
}

}  // namespace
}  // namespace tvn
