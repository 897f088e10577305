// The key material of the built-in firmware images. The running program only
// decrypts with it; the image tool encrypts the firmware with the same values at
// build time. Changing any byte here makes every image ever shipped unreadable,
// so these stay fixed.
#pragma once

#include <array>
#include <cstdint>

namespace tvn {

// ImageKey: the ten key bytes, one key for both chip models.
inline constexpr std::array<uint8_t, 10> kImageKey = {0x4B, 0x72, 0xD1, 0x09, 0xE6,
                                                      0x38, 0xA5, 0x1F, 0x7C, 0x93};

// The round-key table starts as an arithmetic series: seed, seed + increment, ...
// Our own values, deliberately not the magic constants of the published cipher.
inline constexpr uint8_t kRoundKeySeed = 0x6C;
inline constexpr uint8_t kRoundKeyIncrement = 0x2B;

}  // namespace tvn
