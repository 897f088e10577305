// Decoding the JPEG pictures the windows show. Qt-free, so the core and its tests
// can check a picture without a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tvn {

// Eight-bit RGB pixels, row after row, three bytes per pixel, no row padding.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  bool Empty() const { return rgb.empty(); }
};

// A picture larger than this many pixels is refused before any memory is taken
// for it: a damaged header must not make the program ask for gigabytes.
constexpr std::size_t kMaxJpegPixels = 4096u * 4096u;

// Decodes a whole JPEG file held in memory. On any error, a truncated file
// included, returns false, leaves `out` empty and, when `error` is given, says why.
bool DecodeJpeg(const uint8_t* data, std::size_t size, RgbPicture& out,
                std::string* error = nullptr);

}  // namespace tvn
