// Command-line choice between real hardware and the simulated bench, shared by
// the window program and the command-line tool.
#pragma once

#include <memory>
#include <string>

#include "app/station.h"

namespace tvn::sim {

// The text of --help for the --simulate option and its fault flags.
std::string SimulateHelp();

// value: what follows "--simulate=" (empty for plain --simulate), for example
// "usb,252" or "lpt,2520,stuck-bit=3:0". Returns null and sets *error on a bad value.
std::unique_ptr<Station> MakeSimStation(const std::string& value, std::string* error);

}  // namespace tvn::sim
