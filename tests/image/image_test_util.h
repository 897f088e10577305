// Shared pieces of the image tests: a host that records what the core reports,
// a station with nothing attached (loads never touch the hardware), Intel HEX
// records built with their checksums, and a scratch current directory.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/host.h"
#include "app/session.h"
#include "transport/d2xx.h"
#include "transport/port_io.h"
#include "transport/tick_source.h"

namespace tvn::imgtest {

class Recorder : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override { log.clear(); }
  void MessageBox(const std::string& text, BoxKind kind) override { boxes.emplace_back(text, kind); }
  void SetLabel3(const std::string& text) override { label3 = text; }

  std::vector<std::string> log;
  std::vector<std::pair<std::string, BoxKind>> boxes;
  std::string label3 = "(unchanged)";
};

// A printer port with nothing on it and a clock that stands still.
class EmptyPort : public PortIo {
 public:
  uint8_t PortIn(uint16_t) override { return 0xFF; }
  void PortOut(uint16_t, uint8_t) override {}
};
class StillClock : public TickSource {
 public:
  uint32_t GetTickCount() override { return 0; }
};

struct Station {
  Recorder host;
  EmptyPort port;
  NoD2xx d2xx;
  StillClock clock;
  Session s{host, Hardware{port, d2xx, clock}};
};

// One Intel HEX record line (no line end) with a correct checksum; count < 0
// takes the number of data bytes.
inline std::string Rec(unsigned offset, unsigned type, const std::vector<uint8_t>& data,
                       int count = -1) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::vector<unsigned> fields = {count < 0 ? static_cast<unsigned>(data.size()) : static_cast<unsigned>(count),
                                  (offset >> 8) & 0xFF, offset & 0xFF, type};
  fields.insert(fields.end(), data.begin(), data.end());
  unsigned sum = 0;
  std::string line = ":";
  for (unsigned f : fields) {
    sum += f;
    line += kDigits[(f >> 4) & 0xF];
    line += kDigits[f & 0xF];
  }
  const unsigned cs = (0x100 - (sum & 0xFF)) & 0xFF;
  line += kDigits[cs >> 4];
  line += kDigits[cs & 0xF];
  return line;
}

inline std::vector<uint8_t> Bytes(std::size_t n, uint8_t first, uint8_t step = 1) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(first + i * step);
  return v;
}

// Runs a test in a fresh, empty current directory and puts the old one back.
class ScratchDir {
 public:
  ScratchDir() : old_(std::filesystem::current_path()) {
    char tmpl[] = "/tmp/tvn-image-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    EXPECT_NE(made, nullptr);
    dir_ = made ? made : "/tmp";
    std::filesystem::current_path(dir_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path old_;
  std::filesystem::path dir_;
};

// The firmware sources, found from this file's place in the tree.
inline std::filesystem::path FirmwareDir() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "firmware";
}

}  // namespace tvn::imgtest
