// Where a session's hardware comes from: the real printer port, FTDI library and
// clock, or the simulated bench.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/session.h"

namespace tvn {

class Station {
 public:
  virtual ~Station() = default;
  virtual Hardware GetHardware() = 0;
  // One line for the title or the console: what this station drives.
  virtual std::string Describe() const = 0;
  // Lines for the operation log once the window exists (e.g. why the printer
  // port could not be opened). Taken once.
  virtual std::vector<std::string> TakeStartupNotes() { return {}; }
  // Called once the session over this station's hardware exists.
  virtual void Attach(Session& s) { (void)s; }
  // Called once the settings are read, when the port base may have changed.
  virtual void SetPortBase(uint16_t base) { (void)base; }
};

// Real hardware only: the printer port through the kernel, libftdi for USB.
std::unique_ptr<Station> MakeRealStation();

}  // namespace tvn
