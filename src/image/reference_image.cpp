#include "image/reference_image.h"

namespace tvn {

void ReferenceImage::ResetProgramMemory() {
  for (uint32_t b = 0; b < 2 * progWords && b < kImageBytes; ++b) buffEt[b] = 0xFF;
}

const ConfigBytes& ConfigMask(bool prog4520) {
  static const ConfigBytes k252 = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                   0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
  static const ConfigBytes k2520 = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                    0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
  return prog4520 ? k2520 : k252;
}

void MaskConfigWrite(ConfigBytes& config, bool prog4520) {
  const ConfigBytes& mask = ConfigMask(prog4520);
  for (int i = 0; i < kConfigBytes; ++i) {
    if (config[i] == 0x00) config[i] = 0xFF;
    config[i] &= mask[i];
  }
}

}  // namespace tvn
