// Moving the configuration bytes between the program and the chip.
#pragma once

#include <cstdint>

#include "app/session.h"

namespace tvn {

constexpr uint8_t kConfigWriteKind = 1;   // every protection bit off
constexpr uint8_t kProtectWriteKind = 2;  // program memory and boot block protected

// Reads Config1L..Config7H into configRead and the device ID into devid1/devid2.
void ReadConfigClick(Session& s);
// Writes ConfigWrite in the given kind and verifies it; the result line goes to
// s.configResult.
bool WriteWordConfig(Session& s, uint8_t kind);

}  // namespace tvn
