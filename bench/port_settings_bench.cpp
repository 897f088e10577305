// Host time of the printer-port access layer and of reading the settings file.
//
//   build/bench/port_settings_bench
//
// Port: the cost of one PortIn when no permission was obtained (the usual desk:
// every Zad wait polls 1201 times and gives up) and through ppdev, with a kernel
// stand-in that answers at once, so only our own overhead is timed; then what a
// Tick and the 40 ms programming-voltage rise cost on a desk with no programmer.
// Settings: a typical file, and a 10 MB line that must be skipped.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/settings.h"
#include "transport/linux_port_io.h"
#include "transport/lpt_lines.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A kernel that refuses ioperm and either has no parallel port or one at 378h
// whose ioctls return at once.
class StubKernel : public tvn::PortSys {
 public:
  explicit StubKernel(bool parport) : parport_(parport) {}
  int Ioperm(unsigned long, unsigned long, int, int* err) override {
    *err = 1;  // EPERM
    return -1;
  }
  uint8_t Inb(uint16_t) override { return 0xFF; }
  void Outb(uint16_t, uint8_t) override {}
  int Open(const std::string&, int*) override { return 3; }
  int Ioctl(int, unsigned long, void* arg, int*) override {
    if (arg) *static_cast<unsigned char*>(arg) = 0x7F;
    return 0;
  }
  void Close(int) override {}
  std::vector<std::string> ListDir(const std::string&) override {
    if (parport_) return {"parport0"};
    return {};
  }
  bool ReadSmallFile(const std::string&, std::string* text) override {
    *text = "888\t1912\n";
    return true;
  }

 private:
  bool parport_;
};

class NullHost : public tvn::Host {
 public:
  void Okno(const std::string&) override {}
  void ClearLog() override {}
  void MessageBox(const std::string&, tvn::BoxKind) override {}
};

class NullTicks : public tvn::TickSource {
 public:
  uint32_t GetTickCount() override { return 0; }
};

void BenchPortIn(const char* what, tvn::LinuxPortIo& io) {
  const int n = 20'000'000;
  unsigned sum = 0;
  auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) sum += io.PortIn(0x379);
  double s = Seconds(t0);
  std::printf("PortIn, %-28s %6.2f ns per read (checksum %u)\n", what, s * 1e9 / n, sum & 1);
}

void BenchDesk() {
  StubKernel kernel(false);
  tvn::LinuxPortIo io(0x378, kernel);
  tvn::LptLines lpt(io);
  auto t0 = Clock::now();
  const int ticks = 1000;
  for (int i = 0; i < ticks; ++i) lpt.Tick();
  std::printf("Tick without programmer:            %6.1f us (4 x 1201 reads)\n", Seconds(t0) * 1e6 / ticks);
  t0 = Clock::now();
  lpt.SetVpp(1);
  std::printf("SetVpp(1) without programmer:       %6.1f ms (Delay(4000))\n", Seconds(t0) * 1e3);
}

void BenchSettings() {
  char dir[] = "/tmp/tvn-bench-XXXXXX";
  if (!mkdtemp(dir)) return;
  const std::string typical = std::string(dir) + "/typical.ini";
  const std::string hostile = std::string(dir) + "/hostile.ini";
  {
    std::ofstream f(typical);
    f << "[FormConfig]\n";
    for (int i = 0; i < 14; ++i) f << "ConfigWrite[" << i << "]=$" << std::hex << (i * 17) << std::dec << "\n";
    f << "[Form_Param]\nEdit2=c:\\fw\\tvn.hex\nEdit5=c:\\fw\\krd.hex\nAdrLpt=888\n";
  }
  {
    std::ofstream f(hostile);
    f << "[Form_Param]\n" << std::string(10u << 20, 'A') << "\nAdrLpt=632\n";
  }
  NullHost host;
  StubKernel kernel(false);
  tvn::LinuxPortIo io(0x378, kernel);
  tvn::NoD2xx d2xx;
  NullTicks ticks;
  tvn::Session s(host, tvn::Hardware{io, d2xx, ticks});

  const int n = 2000;
  auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) tvn::ReadSettings(s, typical);
  std::printf("ReadSettings, typical file:         %6.1f us\n", Seconds(t0) * 1e6 / n);
  t0 = Clock::now();
  tvn::ReadSettings(s, hostile);
  std::printf("ReadSettings, 10 MB line:           %6.1f ms (AdrLpt %Xh)\n", Seconds(t0) * 1e3, s.lpt.adrLpt);
  s.obnovl = false;
  t0 = Clock::now();
  for (int i = 0; i < 200; ++i) tvn::SaveSettingsOnClose(s, typical);
  std::printf("SaveSettingsOnClose (3 safe replaces): %5.2f ms\n", Seconds(t0) * 1e3 / 200);
  unlink(typical.c_str());
  unlink(hostile.c_str());
  rmdir(dir);
}

}  // namespace

int main() {
  {
    StubKernel kernel(false);
    tvn::LinuxPortIo io(0x378, kernel);
    BenchPortIn("no permission:", io);
  }
  {
    StubKernel kernel(true);
    tvn::LinuxPortIo io(0x378, kernel);
    BenchPortIn("ppdev (kernel stub):", io);
  }
  BenchDesk();
  BenchSettings();
  return 0;
}
