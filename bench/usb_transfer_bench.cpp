// USB programmer figures on the simulated bench: how long (in simulated time) the
// bit-bang traffic of reading a chip takes, how many transfers it needs, and how
// fast the simulation itself runs on this machine.
//
//   usb_transfer_bench            all figures
#include <chrono>
#include <cstdio>
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

namespace {

using namespace tvn;

class SilentHost : public Host {
 public:
  void Okno(const std::string& line) override { std::printf("  log: %s\n", line.c_str()); }
  void ClearLog() override {}
  void MessageBox(const std::string& text, BoxKind) override { std::printf("  box: %s\n", text.c_str()); }
};

class NoPort : public PortIo {
 public:
  uint8_t PortIn(uint16_t) override { return 0xFF; }
  void PortOut(uint16_t, uint8_t) override {}
};

struct Bench {
  Bench() : chip(sim::ChipModel::Pic18F2520) {
    for (size_t i = 0; i < chip.Flash().size(); ++i) chip.Flash()[i] = static_cast<uint8_t>(i * 7 + 3);
  }
  void Open() {
    ft.OpenUsbProgrammer();
    sel.checkUsb = true;
    usb.SetVoltageSelect(true);
    lines.SetPgc(1);
    lines.SetPgd(0);
    lines.SetVpp(0);
    icsp.EnterIcsp();
    icsp.CoreInstr(instr::kBsfEepgd);
    icsp.CoreInstr(instr::kBcfCfgs);
  }
  sim::VirtualClock clock;
  sim::SimPic18 chip;
  sim::SimFtdi dev{clock, &chip};
  sim::VirtualTickSource ticks{clock};
  SilentHost host;
  Selection sel;
  NoPort port;
  LptLines lpt{port};
  FtAccess ft{dev, host, ticks};
  UsbLines usb{ft, host, sel};
  IcspLines lines{sel, lpt, usb};
  Icsp icsp{lines, sel};
};

double WallMs(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// 32 KB of program memory, 32 words per transfer, as the batched read does it.
void BatchedRead() {
  Bench b;
  b.Open();
  const uint64_t v0 = b.clock.NowNs(), x0 = b.dev.Transfers(), q0 = b.dev.QueueStatusRequests();
  auto t0 = std::chrono::steady_clock::now();
  b.icsp.SetTblptr(0);
  std::vector<uint8_t> image;
  image.reserve(0x8000);
  for (uint32_t w = 0; w < 0x4000; w += 32) {
    for (int k = 0; k < 64; ++k) {
      b.icsp.SendCommand(cmd::kTableRead, false);
      b.usb.QueueReadIcspByte();
    }
    uint32_t received = b.usb.FtFlush();
    std::vector<uint8_t> marked;
    for (uint32_t i = 0; i < received; ++i) {
      if (!(b.ft.ftInBuff[i] & UsbLines::kSampleMarker)) continue;
      marked.push_back(b.ft.ftInBuff[i]);
      if (marked.size() == 8) {
        image.push_back(UsbLines::DecodeSamples(marked.data(), 8));
        marked.clear();
      }
    }
  }
  double wall = WallMs(t0);
  size_t errors = 0;
  for (size_t i = 0; i < image.size(); ++i) errors += image[i] != b.chip.Flash()[i];
  std::printf("batched read of 32 KB: %.1f ms simulated, %llu transfers, %llu queue-status requests, "
              "%zu bytes, %zu wrong; %.0f ms wall\n",
              (b.clock.NowNs() - v0) / 1e6, static_cast<unsigned long long>(b.dev.Transfers() - x0),
              static_cast<unsigned long long>(b.dev.QueueStatusRequests() - q0), image.size(), errors, wall);
}

// Byte by byte: one transfer of its own per byte read.
void SingleByteReads() {
  Bench b;
  b.Open();
  const int n = 1024;
  const uint64_t v0 = b.clock.NowNs(), x0 = b.dev.Transfers();
  auto t0 = std::chrono::steady_clock::now();
  b.icsp.SetTblptr(0);
  size_t errors = 0;
  for (int i = 0; i < n; ++i) errors += b.icsp.TableReadByte() != b.chip.Flash()[static_cast<size_t>(i)];
  double wall = WallMs(t0);
  std::printf("single-byte reads: %.3f ms simulated per byte, %.1f transfers per byte, %zu wrong; "
              "%.1f us wall per byte\n",
              (b.clock.NowNs() - v0) / 1e6 / n, static_cast<double>(b.dev.Transfers() - x0) / n, errors,
              wall * 1000 / n);
}

// The largest transfer the driver makes, for the simulation's own speed.
void FullTransfers() {
  Bench b;
  b.Open();
  const int rounds = 20;
  const uint64_t v0 = b.clock.NowNs();
  auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    b.usb.ftIndxOutBuff = UsbLines::kMaxQueued;
    b.usb.FtFlush();
  }
  double wall = WallMs(t0);
  std::printf("65535-byte transfers: %.1f ms simulated each, %.2f ms wall each (%.1f Mbyte/s simulated)\n",
              (b.clock.NowNs() - v0) / 1e6 / rounds, wall / rounds, 65535.0 * rounds / (wall * 1000));
}

// How close the request-counted wait comes to its nominal length.
void DelayAccuracy() {
  for (uint64_t pollNs : {20000ull, 100000ull, 1500000ull}) {
    Bench b;
    b.dev.SetPollCostNs(pollNs);
    b.Open();
    uint64_t t0 = b.clock.NowNs();
    b.usb.Delay(0);
    uint64_t base = b.clock.NowNs() - t0;
    t0 = b.clock.NowNs();
    b.usb.Delay(5000);
    std::printf("Delay(5000) with %.3f ms requests (FtPollsPerMs %u): %.2f ms wait\n", pollNs / 1e6,
                b.ft.ftPollsPerMs, (b.clock.NowNs() - t0 - base) / 1e6);
  }
}

}  // namespace

int main() {
  BatchedRead();
  SingleByteReads();
  FullTransfers();
  DelayAccuracy();
  return 0;
}
