// The Intel HEX reader of the firmware images: a fixed-column line parser that
// fills the program-memory bytes (BuffEt) and the configuration bytes
// (ConfigWrite) of the reference image.
#pragma once

#include <string>
#include <string_view>

#include "app/host.h"
#include "image/reference_image.h"

namespace tvn {

// The one log line of a rejected image.
inline constexpr char kHexFormatError[] = "Ошибка формата или КС";

// One upper-case hexadecimal character to its value 0..15; -1 for anything else
// (lower case included: callers upper-case their text first).
int HexDigit(char c);

// Read Intel HEX text into image.buffEt and image.configWrite. Records of type
// 00h go to program memory (checksum and start code checked) or, after an
// extended linear address of 0030h, to ConfigWrite (nothing checked). Data of
// other address areas is checked but dropped. Returns 0 when the text was read to
// its end record or its end, -1 at the first bad record, after logging
// kHexFormatError through host.Okno. It neither erases BuffEt before nor masks
// ConfigWrite after: the caller does both.
int ReadHexText(std::string_view text, ReferenceImage& image, Host& host);

// ReadHexText on the contents of a file. When the file cannot be opened or read
// the result is -1 with nothing logged and the system's error text in *ioError
// (or, when ioError is null, in an error box through host.MessageBox).
int ReadHexImage(const std::string& path, ReferenceImage& image, Host& host,
                 std::string* ioError = nullptr);

}  // namespace tvn
