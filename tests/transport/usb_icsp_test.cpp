// The ICSP command layer through the USB programmer: the line interface picks the
// USB back-end, the simulated FTDI device puts the pin states on a simulated
// PIC18 at their bit-bang times, and the chip answers table reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "icsp/icsp.h"
#include "sim/sim_ftdi.h"
#include "sim/sim_pic18.h"
#include "sim/virtual_clock.h"
#include "transport/ft_access.h"
#include "transport/icsp_lines.h"
#include "transport/lpt_lines.h"
#include "transport/usb_lines.h"

namespace tvn {
namespace {

class QuietHost : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override {}
  void MessageBox(const std::string& text, BoxKind) override { boxes.push_back(text); }
  std::vector<std::string> log, boxes;
};

// With the USB programmer selected the printer port must stay untouched.
class UntouchedPort : public PortIo {
 public:
  uint8_t PortIn(uint16_t port) override {
    ADD_FAILURE() << "printer port read at " << port;
    return 0xFF;
  }
  void PortOut(uint16_t port, uint8_t) override { ADD_FAILURE() << "printer port written at " << port; }
};

struct UsbBench {
  explicit UsbBench(sim::ChipModel model) : chip(model) {}

  // Detection's way in: open, select USB, idle lines, then programming mode with
  // table reads from program memory.
  void Open() {
    ASSERT_TRUE(ft.OpenUsbProgrammer());
    sel.checkUsb = true;
    usb.SetVoltageSelect(true);
    lines.SetPgc(1);
    lines.SetPgd(0);
    lines.SetVpp(0);
    lines.SetVpp(0);
    lines.SetPgc(0);
    lines.SetPgd(1);
    lines.Delay(1500);
    lines.SetVpp(1);
    icsp.SetTblptr(0x3C0006);
    icsp.SendCommand(cmd::kTableWrite, false);
    icsp.SendPayload(0x0000);
    icsp.CoreInstr(instr::kBsfEepgd);
    icsp.CoreInstr(instr::kBcfCfgs);
  }

  sim::VirtualClock clock;
  sim::SimPic18 chip;
  sim::SimFtdi dev{clock, &chip};
  sim::VirtualTickSource ticks{clock};
  QuietHost host;
  Selection sel;
  UntouchedPort port;
  LptLines lpt{port};
  FtAccess ft{dev, host, ticks};
  UsbLines usb{ft, host, sel};
  IcspLines lines{sel, lpt, usb};
  Icsp icsp{lines, sel};
};

TEST(UsbIcsp, ReadsTheDeviceIdOfEitherChip) {
  struct Case {
    sim::ChipModel model;
    uint8_t devid1, devid2;
  } cases[] = {
      {sim::ChipModel::Pic18F2520, 0x0C, 0x11},
      {sim::ChipModel::Pic18F2520, 0x1F, 0x11},
      {sim::ChipModel::Pic18F252, 0x01, 0x04},
      {sim::ChipModel::Pic18F252, 0x06, 0x04},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.devid1) << " " << int(c.devid2));
    UsbBench b(c.model);
    b.chip.SetDevid1(c.devid1);
    b.chip.SetDevid2(c.devid2);
    b.Open();
    EXPECT_TRUE(b.chip.InProgrammingMode());
    b.icsp.SetTblptr(0x3FFFFE);
    EXPECT_EQ(b.icsp.TableReadByte(), c.devid1);
    EXPECT_EQ(b.icsp.TableReadByte(), c.devid2);
    b.icsp.LeaveIcsp();
    EXPECT_TRUE(b.host.boxes.empty());
  }
}

TEST(UsbIcsp, ReadsProgramMemoryBytesInOrder) {
  UsbBench b(sim::ChipModel::Pic18F2520);
  const std::vector<uint8_t> bytes = {0x12, 0x34, 0xA5, 0x01, 0x80, 0xFE, 0x3C, 0x7F};
  for (size_t i = 0; i < bytes.size(); ++i) b.chip.Flash()[0x1230 + i] = bytes[i];
  b.Open();
  b.icsp.SetTblptr(0x1230);
  std::vector<uint8_t> got;
  for (size_t i = 0; i < bytes.size(); ++i) got.push_back(b.icsp.TableReadByte());
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(b.chip.Tblptr(), 0x1238u);
}

TEST(UsbIcsp, QueuedReadsDecodeFromOneTransfer) {
  // The batched form: several table reads queued, one transfer, decoded by the
  // marked echoes in order.
  UsbBench b(sim::ChipModel::Pic18F252);
  const std::vector<uint8_t> bytes = {0xC3, 0x5A, 0x00, 0xFF, 0x81, 0x24};
  for (size_t i = 0; i < bytes.size(); ++i) b.chip.Flash()[0x0400 + i] = bytes[i];
  b.Open();
  b.icsp.SetTblptr(0x0400);
  for (size_t i = 0; i < bytes.size(); ++i) {
    b.icsp.SendCommand(cmd::kTableRead, false);
    b.usb.QueueReadIcspByte();
  }
  const uint32_t received = b.usb.FtFlush();
  std::vector<uint8_t> got;
  std::vector<uint8_t> marked;
  for (uint32_t i = 0; i < received; ++i) {
    if (b.ft.ftInBuff[i] & UsbLines::kSampleMarker) marked.push_back(b.ft.ftInBuff[i]);
    if (marked.size() == 8) {
      got.push_back(UsbLines::DecodeSamples(marked.data(), 8));
      marked.clear();
    }
  }
  EXPECT_EQ(got, bytes);
}

TEST(UsbIcsp, WithoutVppTheChipStaysSilent) {
  UsbBench b(sim::ChipModel::Pic18F2520);
  ASSERT_TRUE(b.ft.OpenUsbProgrammer());
  b.sel.checkUsb = true;
  b.lines.SetVpp(0);
  b.icsp.SetTblptr(0x3FFFFE);
  EXPECT_EQ(b.icsp.TableReadByte(), 0xFF);  // PGD released, nobody drives it
  EXPECT_FALSE(b.chip.InProgrammingMode());
}

}  // namespace
}  // namespace tvn
