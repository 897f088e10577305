// Finding the programmer and identifying the chip behind it.
#pragma once

#include "app/session.h"

namespace tvn {

// True when a PIC18F2520 or a PIC18F252 was identified. Sets the indicator boxes,
// ProgWords and BootWords, and reports failures itself.
bool DetectChip(Session& s);

}  // namespace tvn
