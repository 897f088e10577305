// The two built-in firmware images, one per chip model, and their load.
#pragma once

#include <cstdint>
#include <span>

#include "app/session.h"

namespace tvn {

// The temporary file of a load, in the current directory, present only while a
// load runs.
inline constexpr char kTempImageFile[] = "KrdVer.tmp";

// Label3 after a load.
inline constexpr char kLoaded252[] = "Загружен Файл Tvn_252_V22";
inline constexpr char kLoaded2520[] = "Загружен Файл Tvn_2520_V23";
inline constexpr char kLoadFailed[] = "Ошибка загрузки";

// The encrypted image linked into the program for a chip model: "DATAARRAY1"
// for the PIC18F2520 (prog4520 set), "DATAARRAY" for the PIC18F252.
std::span<const uint8_t> BuiltinImage(bool prog4520);
const char* BuiltinImageName(bool prog4520);

// Decrypt the image of the selected chip into KrdVer.tmp, read it as Intel HEX
// into BuffEt and ConfigWrite, delete the file and mask the configuration bytes.
// 0 after a good load, -1 otherwise: a format error is logged, an empty image or
// a file-system error goes to an error box; the temporary file never stays.
int ExecuteResurse(Session& s);
// Reset BuffEt, load, and report the outcome in Label3. Returns the load's
// result (0 or -1) so the update can refuse to program a failed image.
int SpeedButton7Click(Session& s);

// The same load with other encrypted bytes in place of the built-in image (a
// damaged image in the tests, for one).
int ExecuteResurse(Session& s, std::span<const uint8_t> encrypted);
int SpeedButton7Click(Session& s, std::span<const uint8_t> encrypted);

}  // namespace tvn
