// The operator's update and the operations it is made of.
#pragma once

#include "app/session.h"

namespace tvn {

// " Запись "Обновления"": hourglass, clear the log, run the automatic sequence.
// Returns true only when the run ended with the success line. A start while
// another operation runs is refused and returns false.
bool SpeedButton4Click(Session& s);
// The automatic programming sequence: detect, load, erase, configure, program,
// read back, compare, protect.
bool Avtom_Prog_PClick(Session& s);
// Erase the whole chip, protection included.
void SpeedButton12Click(Session& s);

}  // namespace tvn
