// A logic analyser on the ICSP header: it records every change of the lines the
// programmer drives and passes them on to a simulated chip, if one is plugged in.
// Bytes are taken the way a PIC18 takes them: the PGD bit at each falling clock
// edge, least significant bit first.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/pic18_pins.h"

namespace tvn::test {

class HeaderProbe : public sim::Pic18Pins {
 public:
  struct Fall {
    uint64_t ns;
    uint64_t highNs;  // how long the clock was high before this edge
    bool pgd;         // what the programmer puts on PGD: true = released (bit 1)
  };

  explicit HeaderProbe(sim::Pic18Pins* chip = nullptr) : chip_(chip) {}

  void Drive(const sim::HostPins& p, uint64_t nowNs) override {
    // The programmer's own bit: a chip in programming mode may answer on the
    // line at the same time, and that is not what was sent.
    if (!first_ && last_.pgc && !p.pgc) falls.push_back(Fall{nowNs, nowNs - riseNs_, !p.pgdPullLow});
    if ((first_ || !last_.pgc) && p.pgc) riseNs_ = nowNs;
    if ((first_ || !last_.vpp) && p.vpp) ++vppRises;
    first_ = false;
    last_ = p;
    ++changes;
    if (chip_) chip_->Drive(p, nowNs);
  }
  bool PgdLine(uint64_t nowNs) const override {
    if (chip_) return chip_->PgdLine(nowNs);
    return !last_.pgdPullLow;  // only the programmer's driver and its pull-up
  }

  const sim::HostPins& Pins() const { return last_; }

  // Every eight falling edges from the given one make a byte.
  std::vector<uint8_t> Bytes(size_t fromFall = 0) const {
    std::vector<uint8_t> out;
    for (size_t i = fromFall; i + 8 <= falls.size(); i += 8) {
      uint8_t b = 0;
      for (size_t k = 0; k < 8; ++k)
        if (falls[i + k].pgd) b |= static_cast<uint8_t>(1u << k);
      out.push_back(b);
    }
    return out;
  }
  uint64_t ShortestHighNs() const {
    uint64_t m = UINT64_MAX;
    for (const Fall& f : falls) m = f.highNs < m ? f.highNs : m;
    return m;
  }
  void Clear() {
    falls.clear();
    vppRises = 0;
    changes = 0;
  }

  std::vector<Fall> falls;
  int vppRises = 0;
  uint64_t changes = 0;

 private:
  sim::Pic18Pins* chip_;
  sim::HostPins last_{};
  bool first_ = true;
  uint64_t riseNs_ = 0;
};

}  // namespace tvn::test
