// Whole-memory operations on the chip's flash program memory.
#pragma once

#include "app/session.h"

namespace tvn {

// Writes BuffEt into the chip. On the parallel port it verifies as it goes and
// rewrites a differing 64-byte row once; on USB it writes every row unverified.
bool ProgramMemory(Session& s);
// Copies the chip's program memory into BuffChip.
void ReadMemory(Session& s);
// Compares BuffChip with BuffEt word by word and logs every difference.
bool CompareMemory(Session& s);

}  // namespace tvn
