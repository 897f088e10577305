// How fast the simulated parallel-port bench runs: core instructions and word
// reads clocked through our line driver and command layer into the simulated
// programmer and chip. Prints the modelled (virtual) time of each operation and
// the host CPU time per Tick. Run by hand: sim_tick_bench [words]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/session.h"
#include "icsp/memory_ops.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"

namespace {

using namespace tvn;
using Clock = std::chrono::steady_clock;

struct NullHost : Host {
  void Okno(const std::string&) override {}
  void ClearLog() override {}
  void MessageBox(const std::string&, BoxKind) override {}
};

struct Bench {
  Bench() : port(clock, &chip), ticks(clock), s(host, Hardware{port, d2xx, ticks}) {
    s.sel.prog4520 = true;
  }
  uint64_t Ticks() const { return port.GetCounters().zadRequests / 2; }
  sim::VirtualClock clock;
  sim::SimPic18 chip{sim::ChipModel::Pic18F2520};
  sim::SimTarrowgate port;
  NoD2xx d2xx;
  sim::VirtualTickSource ticks;
  NullHost host;
  Session s;
};

struct Measure {
  uint64_t virtualNs = 0;
  uint64_t ticks = 0;
  uint64_t portAccesses = 0;
  double hostNs = 0;
};

template <typename F>
Measure Run(Bench& b, F&& f) {
  Measure m;
  uint64_t v0 = b.clock.NowNs(), t0 = b.Ticks();
  uint64_t a0 = b.port.GetCounters().reads + b.port.GetCounters().writes;
  auto h0 = Clock::now();
  f();
  m.hostNs = std::chrono::duration<double, std::nano>(Clock::now() - h0).count();
  m.virtualNs = b.clock.NowNs() - v0;
  m.ticks = b.Ticks() - t0;
  m.portAccesses = b.port.GetCounters().reads + b.port.GetCounters().writes - a0;
  return m;
}

void Print(const char* what, const Measure& m, int count) {
  std::printf("%-28s %8d ops  virtual %9.1f us/op  %6.1f Ticks/op  host %7.3f ns/port access  %6.3f us/Tick\n",
              what, count, m.virtualNs / 1e3 / count, double(m.ticks) / count,
              m.hostNs / double(m.portAccesses), m.hostNs / 1e3 / double(m.ticks));
}

}  // namespace

int main(int argc, char** argv) {
  int words = argc > 1 ? std::atoi(argv[1]) : 4096;
  if (words <= 0) words = 4096;

  Bench b;
  b.s.icsp.EnterIcsp();
  b.s.icsp.SetTblptr(0);

  const int cores = 20000;
  Measure core = Run(b, [&] {
    for (int i = 0; i < cores; ++i) b.s.icsp.CoreInstr(0x0000);
  });
  Print("CoreInstr", core, cores);

  Measure read = Run(b, [&] {
    for (int i = 0; i < words; ++i) {
      b.s.icsp.TableReadByte();
      b.s.icsp.TableReadByte();
    }
  });
  Print("word read", read, words);

  const int bare = 1000000;
  Measure tick = Run(b, [&] {
    for (int i = 0; i < bare; ++i) b.s.lpt.Tick();
  });
  Print("Tick", tick, bare);
  b.s.icsp.LeaveIcsp();

  // A whole read-back of program memory, as the update does it.
  Measure all = Run(b, [&] { ReadMemory(b.s); });
  std::printf("ReadMemory (%u words): virtual %.2f s, %llu Ticks, host %.3f s (%.3f us/Tick)\n",
              0x4000u, all.virtualNs / 1e9, static_cast<unsigned long long>(all.ticks),
              all.hostNs / 1e9, all.hostNs / 1e3 / double(all.ticks));
  return 0;
}
