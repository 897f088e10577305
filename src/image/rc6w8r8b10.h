// The block cipher of the built-in firmware images: an RC6-shaped cipher on
// 8-bit words, 8 rounds, a 10-byte key, 4-byte blocks, and the container that
// cuts an image into blocks (a tail of 1 to 3 bytes stays plain).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/image_key.h"

namespace tvn {

using Rc6Key = std::array<uint8_t, 10>;     // ImageKey
using RoundKeys = std::array<uint8_t, 20>;  // S[0..19]
using Rc6Block = std::array<uint8_t, 4>;    // A, B, C, D in stream order

// Rotate a byte. A count above 7 is clamped to 7, not reduced modulo 8: the
// images are encrypted that way, so it must stay.
uint8_t RotL8(uint8_t x, unsigned n);
uint8_t RotR8(uint8_t x, unsigned n);

// Build the round keys from the key; the table is rebuilt from the seed every
// time, so two runs with one key give one table.
RoundKeys Rc6SetKey(const Rc6Key& key, uint8_t seed = kRoundKeySeed,
                    uint8_t increment = kRoundKeyIncrement);

// One block each way. Blocks are independent (no chaining).
Rc6Block Rc6DecryptBlock(const RoundKeys& s, const Rc6Block& in);
// The inverse of Rc6DecryptBlock, for the image tool and the tests; the
// program itself never encrypts.
Rc6Block Rc6EncryptBlock(const RoundKeys& s, const Rc6Block& in);

// The container in memory: every full 4-byte block through the cipher, the last
// N mod 4 bytes copied unchanged.
std::vector<uint8_t> DecryptBytes(const RoundKeys& s, std::span<const uint8_t> src);
std::vector<uint8_t> EncryptBytes(const RoundKeys& s, std::span<const uint8_t> src);

// DecryptImage: decrypt an image into a new file at path (an existing file is
// overwritten). On a file-system error returns false with the system's error
// text in *error, and removes whatever it had written, so no half-written file
// is left behind.
bool DecryptImage(const RoundKeys& s, std::span<const uint8_t> src, const std::string& path,
                  std::string* error);

}  // namespace tvn
