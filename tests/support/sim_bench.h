// A programmer station on the simulated bench, with the chip in reach of the
// test: virtual clock, PIC18 chip, the parallel-port and the USB programmer wired
// to it, a recording host and the session over all of it.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"
#include "sim/sim_ftdi.h"
#include "sim/sim_pic18.h"
#include "sim/sim_tarrowgate.h"
#include "sim/virtual_clock.h"
#include "support/recording_host.h"

namespace tvn::test {

struct SimBench {
  explicit SimBench(sim::ChipModel model = sim::ChipModel::Pic18F2520, bool lptAttached = true,
                    bool usbAttached = false)
      : chip(model),
        lpt(clock, &chip),
        ftdi(clock, &chip),
        ticks(clock),
        s(host, Hardware{lpt, ftdi, ticks}) {
    lpt.SetPresent(lptAttached);
    if (usbAttached)
      ftdi.SetDevices({"Nimbrella"});
    else
      ftdi.SetAbsent();
  }

  void SetFaults(const sim::SimPic18::Faults& f) { chip.SetFaults(f); }

  sim::VirtualClock clock;
  sim::SimPic18 chip;
  sim::SimTarrowgate lpt;
  sim::SimFtdi ftdi;
  sim::VirtualTickSource ticks;
  RecordingHost host;
  Session s;
};

inline std::string ModelName(sim::ChipModel m) {
  return m == sim::ChipModel::Pic18F2520 ? "PIC18F2520" : "PIC18F252";
}

}  // namespace tvn::test
