// The reference image (what goes into the chip), the chip image read back and
// the fourteen configuration bytes 300000h..30000Dh.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tvn {

constexpr std::size_t kImageBytes = 65536;  // the whole 16-bit offset range of a HEX record
constexpr int kConfigBytes = 14;
constexpr uint32_t kProgWords = 0x4000;  // both chips: 16 K words of program memory

using ImageBytes = std::array<uint8_t, kImageBytes>;
using ConfigBytes = std::array<uint8_t, kConfigBytes>;

struct ReferenceImage {
  ImageBytes buffEt{};    // BuffEt
  ImageBytes buffChip{};  // BuffChip
  ConfigBytes configWrite{};  // ConfigWrite, entry i for 300000h + i
  uint32_t progWords = kProgWords;  // ProgWords
  uint16_t bootWords = 1024;        // BootWords

  // Word k, low byte first as the PIC18 stores an instruction word.
  uint16_t EtWord(uint32_t k) const { return Word(buffEt, k); }
  uint16_t ChipWord(uint32_t k) const { return Word(buffChip, k); }

  // Erase the program-memory half of BuffEt (bytes 0 .. 2*ProgWords-1) to FFh.
  void ResetProgramMemory();

  static uint16_t Word(const ImageBytes& b, uint32_t k) {
    return static_cast<uint16_t>(b[(2 * k) & 0xFFFF] | (b[(2 * k + 1) & 0xFFFF] << 8));
  }
};

// The implemented bits of each configuration register per chip model.
const ConfigBytes& ConfigMask(bool prog4520);

// MaskConfigWrite: 00h entries read as unprogrammed (FFh), then every entry is
// cut to the implemented bits of the selected chip.
void MaskConfigWrite(ConfigBytes& config, bool prog4520);

}  // namespace tvn
