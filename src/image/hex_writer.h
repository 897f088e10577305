// Images written out as Intel HEX text: the reference image of a chip model
// (what the command-line tool prints) and the chip image of a read.
#pragma once

#include <string>

#include "image/reference_image.h"

namespace tvn {

// Program memory (bytes 0 .. 2*ProgWords-1) in records of 16 bytes, skipping
// rows that are all FFh (erased), then, when given, the fourteen configuration
// bytes at 300000h, then the end record. Upper-case digits, LF line ends.
// Reading the text back into an erased image gives the same program memory and
// configuration bytes.
std::string ProgramMemoryHex(const ImageBytes& memory, uint32_t progWords,
                             const ConfigBytes* config);

// BuffEt and ConfigWrite.
std::string DumpReferenceImageHex(const ReferenceImage& image);
inline std::string ReferenceImageHex(const ReferenceImage& image) {
  return DumpReferenceImageHex(image);
}

// BuffChip as read back; the configuration registers only when the caller has
// read them (ConfigRead), since ConfigWrite is not what the chip holds.
std::string ChipImageHex(const ReferenceImage& image, const ConfigBytes* configRead = nullptr);

}  // namespace tvn
