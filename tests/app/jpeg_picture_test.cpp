// The picture decoder against real JPEG files: the ones the windows ship and ones
// compressed here with libjpeg, whole, cut short, damaged or lying about their size.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "app/jpeg_picture.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

fs::path PicturesDir() {
  return fs::path(__FILE__).parent_path().parent_path().parent_path() / "src/app/gui/pictures";
}

Bytes ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Compresses `pixels` (RGB or grey rows) into a baseline JPEG.
Bytes Compress(int w, int h, int components, const Bytes& pixels, int quality = 95) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = components;
  c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + c.next_scanline * w * components;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(buf, buf + size);
  jpeg_destroy_compress(&c);
  std::free(buf);
  return out;
}

// 32 x 16: the left half pure red, the right half pure blue.
Bytes RedBlue(int* w, int* h) {
  *w = 32;
  *h = 16;
  Bytes px;
  for (int y = 0; y < *h; ++y)
    for (int x = 0; x < *w; ++x) {
      bool left = x < *w / 2;
      px.insert(px.end(), {uint8_t(left ? 255 : 0), 0, uint8_t(left ? 0 : 255)});
    }
  return Compress(*w, *h, 3, px);
}

const uint8_t* Pixel(const tvn::RgbPicture& p, int x, int y) {
  return p.rgb.data() + (static_cast<std::size_t>(y) * p.width + x) * 3;
}

// Offset of the first SOF0 marker's height field, or 0.
std::size_t SofSizeOffset(const Bytes& j) {
  for (std::size_t i = 2; i + 8 < j.size(); ++i)
    if (j[i] == 0xFF && j[i + 1] == 0xC0) return i + 5;
  return 0;
}

TEST(JpegPicture, ShippedPicturesDecodeToTheirDrawnSize) {
  struct Case {
    const char* file;
    int w, h;
  };
  for (const Case& c : {Case{"connect.jpg", 329, 267}, Case{"banner.jpg", 536, 128},
                        Case{"chip.jpg", 134, 244}}) {
    SCOPED_TRACE(c.file);
    Bytes file = ReadFile(PicturesDir() / c.file);
    ASSERT_FALSE(file.empty());
    tvn::RgbPicture pic;
    std::string why;
    ASSERT_TRUE(tvn::DecodeJpeg(file.data(), file.size(), pic, &why)) << why;
    EXPECT_EQ(pic.width, c.w);
    EXPECT_EQ(pic.height, c.h);
    EXPECT_EQ(pic.rgb.size(), static_cast<std::size_t>(c.w) * c.h * 3);
  }
}

TEST(JpegPicture, ColoursComeOutInRgbOrderRowByRow) {
  int w, h;
  Bytes j = RedBlue(&w, &h);
  tvn::RgbPicture pic;
  ASSERT_TRUE(tvn::DecodeJpeg(j.data(), j.size(), pic));
  ASSERT_EQ(pic.width, w);
  ASSERT_EQ(pic.height, h);
  for (int y : {1, h - 2}) {
    const uint8_t* red = Pixel(pic, 3, y);
    const uint8_t* blue = Pixel(pic, w - 4, y);
    EXPECT_GT(red[0], 200);
    EXPECT_LT(red[2], 60);
    EXPECT_LT(blue[0], 60);
    EXPECT_GT(blue[2], 200);
  }
}

TEST(JpegPicture, GreyPictureIsWidenedToRgb) {
  Bytes px(8 * 8, 0);
  for (int i = 32; i < 64; ++i) px[i] = 255;  // lower half white
  Bytes j = Compress(8, 8, 1, px);
  tvn::RgbPicture pic;
  ASSERT_TRUE(tvn::DecodeJpeg(j.data(), j.size(), pic));
  ASSERT_EQ(pic.rgb.size(), 8u * 8u * 3u);
  const uint8_t* top = Pixel(pic, 4, 1);
  const uint8_t* bottom = Pixel(pic, 4, 6);
  EXPECT_LT(top[0], 40);
  EXPECT_EQ(top[0], top[1]);
  EXPECT_EQ(top[1], top[2]);
  EXPECT_GT(bottom[0], 215);
}

TEST(JpegPicture, BadInputFailsAndLeavesThePictureEmpty) {
  Bytes good = ReadFile(PicturesDir() / "connect.jpg");
  ASSERT_GT(good.size(), 1000u);

  Bytes garbage(4096);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);

  Bytes damaged = good;  // entropy data overwritten in the middle of the scan
  for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] = 0xFF;

  struct Case {
    const char* name;
    Bytes data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"SOI only", {0xFF, 0xD8}},
      {"cut inside the header", Bytes(good.begin(), good.begin() + 100)},
      {"cut inside the scan", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"last bytes missing", Bytes(good.begin(), good.end() - 16)},
      {"garbage", garbage},
      {"damaged scan", damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tvn::RgbPicture pic;
    pic.width = 5;  // a previous picture must not survive a failed decode
    pic.rgb.assign(10, 1);
    std::string why;
    EXPECT_FALSE(tvn::DecodeJpeg(c.data.data(), c.data.size(), pic, &why));
    EXPECT_TRUE(pic.Empty());
    EXPECT_EQ(pic.width, 0);
    EXPECT_EQ(pic.height, 0);
    EXPECT_FALSE(why.empty());
  }
  tvn::RgbPicture pic;
  EXPECT_FALSE(tvn::DecodeJpeg(nullptr, 0, pic));
}

TEST(JpegPicture, HugeDeclaredSizeIsRefusedBeforeDecoding) {
  int w, h;
  Bytes j = RedBlue(&w, &h);
  std::size_t at = SofSizeOffset(j);
  ASSERT_NE(at, 0u);
  // Claim 60000 x 60000 pixels: ten gigabytes of RGB if it were believed.
  j[at] = 0xEA;
  j[at + 1] = 0x60;
  j[at + 2] = 0xEA;
  j[at + 3] = 0x60;
  tvn::RgbPicture pic;
  std::string why;
  EXPECT_FALSE(tvn::DecodeJpeg(j.data(), j.size(), pic, &why));
  EXPECT_TRUE(pic.Empty());
  EXPECT_NE(why.find("refused"), std::string::npos) << why;
}

}  // namespace
