#include "app/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

namespace tvn {

namespace {

// libjpeg's default error_exit ends the process, and a damaged picture must never
// do that: ours jumps back to the decode with the message kept.
struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void KeepMessage(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
}

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  KeepMessage(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

struct Decoded {
  int width;
  int height;
};

// Every libjpeg call that may jump back sits in this function, so only plain
// data lives in its frame: a longjmp would skip the destructors of C++ objects.
// The pixel vector belongs to the caller.
bool DecodeGuarded(jpeg_decompress_struct* cinfo, ErrorManager* err, const uint8_t* data,
                   std::size_t size, std::vector<uint8_t>* pixels, Decoded* dims) {
  if (setjmp(err->jump) != 0) return false;

  jpeg_create_decompress(cinfo);
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(cinfo, TRUE);

  if (cinfo->image_width == 0 || cinfo->image_height == 0 ||
      static_cast<std::size_t>(cinfo->image_width) * cinfo->image_height > kMaxJpegPixels) {
    std::snprintf(err->message, sizeof err->message, "picture of %ux%u pixels refused",
                  static_cast<unsigned>(cinfo->image_width),
                  static_cast<unsigned>(cinfo->image_height));
    return false;
  }

  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 3) {
    std::snprintf(err->message, sizeof err->message, "%d colour components instead of 3",
                  cinfo->output_components);
    return false;
  }

  const std::size_t stride = static_cast<std::size_t>(cinfo->output_width) * 3;
  pixels->assign(stride * cinfo->output_height, 0);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = pixels->data() + stride * cinfo->output_scanline;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);

  // A file cut short is only a warning to libjpeg, which pads the picture with
  // grey; a corrupt entropy segment too. Either way the picture is not what was
  // drawn, so it counts as a failure.
  if (err->pub.num_warnings > 0) return false;

  dims->width = static_cast<int>(cinfo->output_width);
  dims->height = static_cast<int>(cinfo->output_height);
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, std::size_t size, RgbPicture& out, std::string* error) {
  out = RgbPicture{};

  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JumpBack;
  err.pub.output_message = KeepMessage;  // warnings go to the message, not to stderr

  std::vector<uint8_t> pixels;
  Decoded dims{0, 0};
  bool ok = false;
  if (data == nullptr || size == 0) {
    std::snprintf(err.message, sizeof err.message, "no picture data");
  } else {
    try {
      ok = DecodeGuarded(&cinfo, &err, data, size, &pixels, &dims);
    } catch (const std::bad_alloc&) {
      std::snprintf(err.message, sizeof err.message, "out of memory");
      ok = false;
    }
  }
  jpeg_destroy_decompress(&cinfo);

  if (!ok) {
    if (error) *error = err.message[0] ? err.message : "undecodable picture";
    return false;
  }
  out.width = dims.width;
  out.height = dims.height;
  out.rgb = std::move(pixels);
  if (error) error->clear();
  return true;
}

}  // namespace tvn
