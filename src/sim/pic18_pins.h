// The electrical view of a chip's ICSP header, as a programmer model sees it:
// the programmer drives MCLR/VPP, PGC and a pull-down on PGD; the chip may drive
// PGD during a table read; a pull-up in the programmer holds a released line high.
#pragma once

#include <cstdint>

namespace tvn::sim {

struct HostPins {
  bool vpp = false;        // programming voltage on MCLR
  bool pgc = false;        // clock level
  bool pgdPullLow = true;  // the programmer's driver pulls PGD low
};

class Pic18Pins {
 public:
  virtual ~Pic18Pins() = default;
  // The programmer's lines as they are from virtual time nowNs on. Called at
  // every change; the chip reacts to the edges it sees.
  virtual void Drive(const HostPins& pins, uint64_t nowNs) = 0;
  // The level of the PGD line at nowNs: low if either side pulls it low,
  // otherwise the level the chip drives, otherwise high through the pull-up.
  virtual bool PgdLine(uint64_t nowNs) const = 0;
};

}  // namespace tvn::sim
