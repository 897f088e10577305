// Host time of one built-in image load: decryption plus Intel HEX read, in
// memory and as the program does it (through the temporary file).
//
//   build/bench/image_load_bench [iterations]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/host.h"
#include "app/session.h"
#include "image/builtin_images.h"
#include "image/hex_reader.h"
#include "image/image_key.h"
#include "image/rc6w8r8b10.h"
#include "transport/d2xx.h"
#include "transport/port_io.h"
#include "transport/tick_source.h"

namespace {

class QuietHost : public tvn::Host {
 public:
  void Okno(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
  void ClearLog() override {}
  void MessageBox(const std::string& text, tvn::BoxKind) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};
class NoPort : public tvn::PortIo {
 public:
  uint8_t PortIn(uint16_t) override { return 0xFF; }
  void PortOut(uint16_t, uint8_t) override {}
};
class NoClock : public tvn::TickSource {
 public:
  uint32_t GetTickCount() override { return 0; }
};

using Clock = std::chrono::steady_clock;

template <typename F>
double MicrosPerRun(int n, F&& f) {
  f();  // warm up
  const auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) f();
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / n;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 200;
  QuietHost host;
  NoPort port;
  tvn::NoD2xx d2xx;
  NoClock clock;
  tvn::Session s(host, tvn::Hardware{port, d2xx, clock});

  // The file path writes KrdVer.tmp into the current directory: use a scratch one.
  char tmpl[] = "/tmp/tvn-image-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(tmpl);

  int bad = 0;
  std::printf("%-12s %8s %16s %18s %16s\n", "image", "bytes", "decrypt us/load", "decrypt+read us", "via file us");
  for (bool chip : {false, true}) {
    const auto image = tvn::BuiltinImage(chip);
    s.sel.prog4520 = chip;
    const double dec = MicrosPerRun(n, [&] {
      volatile auto plain = tvn::DecryptBytes(tvn::Rc6SetKey(tvn::kImageKey), image).size();
      (void)plain;
    });
    const double mem = MicrosPerRun(n, [&] {
      const auto plain = tvn::DecryptBytes(tvn::Rc6SetKey(tvn::kImageKey), image);
      s.image.ResetProgramMemory();
      bad += tvn::ReadHexText(std::string_view(reinterpret_cast<const char*>(plain.data()), plain.size()),
                              s.image, host) != 0;
    });
    const double file = MicrosPerRun(n, [&] { bad += tvn::SpeedButton7Click(s) != 0; });
    std::printf("%-12s %8zu %16.1f %18.1f %16.1f\n", tvn::BuiltinImageName(chip), image.size(), dec, mem,
                file);
  }

  std::filesystem::current_path(old);
  std::filesystem::remove_all(tmpl);
  if (bad) std::fprintf(stderr, "%d loads failed\n", bad);
  return bad ? 1 : 0;
}
