// The two built-in firmware images, one per chip model, and their load.
#pragma once

#include "app/session.h"

namespace tvn {

// Decrypt the image of the selected chip into KrdVer.tmp, read it as Intel HEX
// into BuffEt and ConfigWrite, delete the file and mask the configuration bytes.
// 0 after a good load, -1 otherwise.
int ExecuteResurse(Session& s);
// Reset BuffEt, load, and report the outcome in Label3. Returns the load's
// result (0 or -1) so the update can refuse to program a failed image.
int SpeedButton7Click(Session& s);

}  // namespace tvn
