// The libftdi back-end on this machine. Without an FTDI device (the usual desk)
// it must list nothing, refuse every call on a handle it never gave out, and let
// the open sequence end quietly. With the programmer attached, one test drives
// idle pin states through it and checks the read-back count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/d2xx_libftdi.h"
#include "transport/ft_access.h"

namespace tvn {
namespace {

class QuietHost : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override {}
  void MessageBox(const std::string& text, BoxKind) override { boxes.push_back(text); }
  std::vector<std::string> log, boxes;
};

bool ProgrammerAttached(LibFtdiD2xx& d2xx) {
  int32_t count = 0;
  if (d2xx.ListDeviceCount(&count) != FT_OK) return false;
  for (int32_t i = 0; i < count; ++i) {
    char buf[64] = {};
    if (d2xx.ListDeviceDescription(i, buf) == FT_OK && std::string(buf) == kUsbProgrammerName) return true;
  }
  return false;
}

TEST(LibFtdiD2xx, HandlesItNeverGaveOutAreRefused) {
  LibFtdiD2xx d2xx;
  uint32_t q = 7, n = 7;
  uint8_t buf[4] = {};
  FT_HANDLE bogus = reinterpret_cast<FT_HANDLE>(&q);
  EXPECT_EQ(d2xx.GetQueueStatus(nullptr, &q), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.GetQueueStatus(bogus, &q), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetBitMode(bogus, 0xF7, 4), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetLatencyTimer(bogus, 1), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetTimeouts(bogus, 5000, 5000), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.SetBaudRate(bogus, 153600), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.Purge(bogus, FT_PURGE_RX), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx.Write(bogus, buf, 4, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(n, 0u);
  n = 7;
  EXPECT_EQ(d2xx.Read(bogus, buf, 4, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(n, 0u);
  char desc[64] = "stale";
  EXPECT_EQ(d2xx.ListDeviceDescription(-1, desc), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(desc[0], 0);
  EXPECT_EQ(d2xx.ListDeviceDescription(0, nullptr), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx.OpenByDescription(nullptr, &bogus), FT_INVALID_PARAMETER);
}

TEST(LibFtdiD2xx, WithoutTheProgrammerNothingIsFoundAndNothingIsShown) {
  LibFtdiD2xx d2xx;
  if (ProgrammerAttached(d2xx)) GTEST_SKIP() << "a \"Nimbrella\" programmer is attached to this machine";
  int32_t count = -1;
  ASSERT_EQ(d2xx.ListDeviceCount(&count), FT_OK);
  EXPECT_GE(count, 0);
  char desc[64];
  EXPECT_NE(d2xx.ListDeviceDescription(count, desc), FT_OK);  // one past the end
  FT_HANDLE h = nullptr;
  EXPECT_NE(d2xx.OpenByDescription("Nimbrella", &h), FT_OK);
  EXPECT_EQ(h, nullptr);

  // The open sequence on a desk without the programmer: false, no error box.
  QuietHost host;
  SystemTickSource ticks;
  FtAccess ft(d2xx, host, ticks);
  EXPECT_FALSE(ft.OpenUsbProgrammer());
  EXPECT_FALSE(ft.ftOpened);
  EXPECT_TRUE(host.boxes.empty());
}

TEST(LibFtdiD2xx, NoFtdiDevicesOnThisDesk) {
  LibFtdiD2xx d2xx;
  int32_t count = -1;
  ASSERT_EQ(d2xx.ListDeviceCount(&count), FT_OK);
  if (count > 0) GTEST_SKIP() << count << " FTDI device(s) attached; this checks the empty bus";
  EXPECT_EQ(count, 0);
  // Asking again is just as quiet.
  ASSERT_EQ(d2xx.ListDeviceCount(&count), FT_OK);
  EXPECT_EQ(count, 0);
}

TEST(LibFtdiD2xx, RealProgrammerEchoesEveryByte) {
  LibFtdiD2xx d2xx;
  if (!ProgrammerAttached(d2xx)) GTEST_SKIP() << "no FTDI device described \"Nimbrella\" attached";
  QuietHost host;
  SystemTickSource ticks;
  FtAccess ft(d2xx, host, ticks);
  ASSERT_TRUE(ft.OpenUsbProgrammer()) << d2xx.LastError();
  // Idle lines only: clock high, PGD released, VPP off, select on.
  std::vector<uint8_t> out(65535, 0x10);
  ft.SetOutBuffer(out.data());
  // The chip stops clocking while its receive FIFO is full: a full-size write
  // only completes when the layer drains the read-back as it writes.
  EXPECT_EQ(ft.FtWrite(65535), 65535u);
  EXPECT_EQ(ft.FtRead(65535), 65535u);
  EXPECT_EQ(ft.ftInBuff[65534] & 0xF7, 0x10);
  EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
}  // namespace tvn
