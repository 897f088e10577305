// A full simulated update per chip model and programmer, step by step: the
// modelled hardware time of each phase on the virtual clock, the host CPU time,
// and for the USB programmer its traffic. Run by hand: build/update_bench
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/host.h"
#include "app/operations.h"
#include "app/session.h"
#include "config/config_access.h"
#include "icsp/detect.h"
#include "icsp/memory_ops.h"
#include "image/builtin_images.h"
#include "sim/sim_ftdi.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"

namespace {

class QuietHost : public tvn::Host {
 public:
  void Okno(const std::string& line) override { last = line; }
  void ClearLog() override {}
  void MessageBox(const std::string& text, tvn::BoxKind) override { last = text; }
  std::string last;
};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Phase {
  const char* name;
  double modelledS = 0;
  double cpuS = 0;
  uint64_t transfers = 0, bytes = 0, polls = 0;
};

void RunOne(tvn::sim::ChipModel model, bool usb) {
  using namespace tvn;
  sim::VirtualClock clock;
  sim::SimPic18 chip(model);
  sim::SimTarrowgate lpt(clock, &chip);
  sim::SimFtdi ftdi(clock, &chip);
  sim::VirtualTickSource ticks(clock);
  lpt.SetPresent(!usb);
  if (usb) ftdi.SetDevices({"Nimbrella"}); else ftdi.SetAbsent();
  QuietHost host;
  Session s(host, Hardware{lpt, ftdi, ticks});

  Phase phases[] = {{"detection"}, {"image load"}, {"erase"}, {"configuration"}, {"program"},
                    {"read-back"}, {"compare"}, {"protection"}};
  bool ok = true;
  auto measure = [&](Phase& p, auto&& step) {
    uint64_t t0 = clock.NowNs();
    double c0 = CpuSeconds();
    uint64_t tr0 = ftdi.Transfers(), b0 = ftdi.BytesWritten(), q0 = ftdi.QueueStatusRequests();
    ok = step() && ok;
    p.modelledS = static_cast<double>(clock.NowNs() - t0) / 1e9;
    p.cpuS = CpuSeconds() - c0;
    p.transfers = ftdi.Transfers() - tr0;
    p.bytes = ftdi.BytesWritten() - b0;
    p.polls = ftdi.QueueStatusRequests() - q0;
  };
  measure(phases[0], [&] { return DetectChip(s); });
  measure(phases[1], [&] { return SpeedButton7Click(s) == 0; });
  measure(phases[2], [&] { SpeedButton12Click(s); return true; });
  measure(phases[3], [&] { return WriteWordConfig(s, kConfigWriteKind); });
  measure(phases[4], [&] { return ProgramMemory(s); });
  measure(phases[5], [&] { ReadMemory(s); return true; });
  measure(phases[6], [&] { return CompareMemory(s); });
  measure(phases[7], [&] { return WriteWordConfig(s, kProtectWriteKind); });

  std::printf("\n%s on the %s programmer: %s\n", model == sim::ChipModel::Pic18F2520 ? "PIC18F2520" : "PIC18F252",
              usb ? "USB (Nimbrella)" : "parallel-port (Tarrowgate)", ok ? "update OK" : "UPDATE FAILED");
  std::printf("  %-14s %12s %10s", "phase", "modelled s", "host ms");
  if (usb) std::printf(" %10s %12s %12s", "transfers", "bytes sent", "queue polls");
  std::printf("\n");
  Phase total{"total"};
  for (const Phase& p : phases) {
    std::printf("  %-14s %12.3f %10.1f", p.name, p.modelledS, p.cpuS * 1e3);
    if (usb) std::printf(" %10llu %12llu %12llu", (unsigned long long)p.transfers, (unsigned long long)p.bytes,
                         (unsigned long long)p.polls);
    std::printf("\n");
    total.modelledS += p.modelledS;
    total.cpuS += p.cpuS;
    total.transfers += p.transfers;
    total.bytes += p.bytes;
    total.polls += p.polls;
  }
  std::printf("  %-14s %12.3f %10.1f", total.name, total.modelledS, total.cpuS * 1e3);
  if (usb) std::printf(" %10llu %12llu %12llu", (unsigned long long)total.transfers,
                       (unsigned long long)total.bytes, (unsigned long long)total.polls);
  std::printf("\n");
}

}  // namespace

int main() {
  for (bool usb : {false, true})
    for (auto model : {tvn::sim::ChipModel::Pic18F2520, tvn::sim::ChipModel::Pic18F252}) RunOne(model, usb);
  return 0;
}
