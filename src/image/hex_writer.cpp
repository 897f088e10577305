#include "image/hex_writer.h"

#include <cstdint>

namespace tvn {

namespace {

constexpr int kRowBytes = 16;

void Byte(std::string& out, unsigned v, unsigned& sum) {
  static const char kDigits[] = "0123456789ABCDEF";
  v &= 0xFF;
  out += kDigits[v >> 4];
  out += kDigits[v & 0x0F];
  sum += v;
}

void Record(std::string& out, unsigned offset, unsigned type, const uint8_t* data, int n) {
  unsigned sum = 0;
  out += ':';
  Byte(out, static_cast<unsigned>(n), sum);
  Byte(out, offset >> 8, sum);
  Byte(out, offset, sum);
  Byte(out, type, sum);
  for (int i = 0; i < n; ++i) Byte(out, data[i], sum);
  unsigned ignored = 0;
  Byte(out, (256 - sum % 256) % 256, ignored);
  out += '\n';
}

void ExtendedAddress(std::string& out, unsigned upper) {
  const uint8_t data[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
  Record(out, 0, 0x04, data, 2);
}

}  // namespace

std::string ProgramMemoryHex(const ImageBytes& memory, uint32_t progWords,
                             const ConfigBytes* config) {
  std::string out;
  ExtendedAddress(out, 0x0000);
  const uint32_t end = 2 * progWords < kImageBytes ? 2 * progWords : kImageBytes;
  for (uint32_t row = 0; row < end; row += kRowBytes) {
    const int n = static_cast<int>(end - row < kRowBytes ? end - row : kRowBytes);
    bool erased = true;
    for (int i = 0; i < n; ++i) erased = erased && memory[row + i] == 0xFF;
    if (!erased) Record(out, row, 0x00, &memory[row], n);
  }
  if (config) {
    ExtendedAddress(out, 0x0030);
    Record(out, 0, 0x00, config->data(), kConfigBytes);
  }
  Record(out, 0, 0x01, nullptr, 0);
  return out;
}

std::string DumpReferenceImageHex(const ReferenceImage& image) {
  return ProgramMemoryHex(image.buffEt, image.progWords, &image.configWrite);
}

std::string ChipImageHex(const ReferenceImage& image, const ConfigBytes* configRead) {
  return ProgramMemoryHex(image.buffChip, image.progWords, configRead);
}

}  // namespace tvn
