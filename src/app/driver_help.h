// The USB driver installation help the main window writes into its log.
#pragma once

#include <span>

#include "app/session.h"

namespace tvn {

// The nineteen lines of the help, in the order they are logged.
std::span<const char* const> DriverHelpText();

// "Инструкция по установке драйвера USB": clears the log and writes the help into
// it. Takes no lock and touches no programmer; the window then scrolls back to
// the first line.
void SpeedButton20Click(Session& s);

}  // namespace tvn
