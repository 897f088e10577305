#include "image/hex_reader.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace tvn {

namespace {

// A record line has at least the start code, count, offset, type and checksum
// (11 columns). Longer than 255 columns the data field no longer fits the
// 122 bytes a record can hold.
constexpr std::size_t kMinLine = 11;
constexpr std::size_t kMaxLine = 255;

// Where a type 00h record goes, chosen by the last extended linear address.
enum class Area {
  Program,  // 0000h: program memory
  Config,   // 0030h: the configuration registers 300000h..30000Dh
  Other,    // ID locations, data EEPROM, anything else: not ours to store
};

enum class Step { Next, End, Bad };

int HexByte(std::string_view ln, std::size_t at) {
  const int hi = HexDigit(ln[at]), lo = HexDigit(ln[at + 1]);
  return hi < 0 || lo < 0 ? -1 : hi << 4 | lo;
}

bool AllHex(std::string_view s) {
  for (char c : s)
    if (HexDigit(c) < 0) return false;
  return true;
}

class Reader {
 public:
  explicit Reader(ReferenceImage& image) : image_(image) {}

  Step Line(std::string_view raw) {
    // A CR LF file reads like an LF one; any other trailing blank stays part of
    // the line (and then spoils its checksum columns).
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    if (raw.size() < kMinLine || raw.size() > kMaxLine) return Step::Bad;
    char buf[kMaxLine];
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      buf[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view ln(buf, raw.size());

    const int count = HexByte(ln, 1), hi = HexByte(ln, 3), lo = HexByte(ln, 5),
              type = HexByte(ln, 7);
    if (count < 0 || hi < 0 || lo < 0 || type < 0) return Step::Bad;
    const uint16_t offset = static_cast<uint16_t>(hi << 8 | lo);

    if (type == 0x01) return Step::End;
    if (type == 0x04) return Extended(ln);

    // Data digits: column 10 up to the two checksum columns at the end.
    const std::string_view data = ln.substr(9, ln.size() - 11);
    if (type == 0x00 && area_ == Area::Config) return Config(data, offset);

    // Program-memory records, and records we check but do not store: data of
    // other areas and record types we do not use (02h, 03h, 05h, ...).
    const bool store = type == 0x00 && area_ == Area::Program;
    const int checksum = HexByte(ln, ln.size() - 2);
    if (checksum < 0 || !AllHex(data)) return Step::Bad;
    unsigned sum = static_cast<unsigned>(count + hi + lo + type);
    uint16_t at = offset;
    uint8_t byte = 0;
    for (std::size_t k = 0; k < data.size(); ++k) {
      const int nibble = HexDigit(data[k]);
      if (k % 2 == 0) {
        byte = static_cast<uint8_t>(nibble << 4);  // an odd last digit stays a lone high nibble
      } else {
        byte |= static_cast<uint8_t>(nibble);
        sum += byte;
      }
      if (store) image_.buffEt[at] = byte;
      if (k % 2 == 1) at = static_cast<uint16_t>(at + 1);  // wraps FFFFh -> 0000h
    }
    // The record's bytes are already stored; a bad record still ends the read.
    const int expected = static_cast<int>((256 - sum % 256) % 256);
    return checksum == expected && ln[0] == ':' ? Step::Next : Step::Bad;
  }

 private:
  Step Extended(std::string_view ln) {
    if (ln.size() < 13) return Step::Bad;
    const int a = HexByte(ln, 9), b = HexByte(ln, 11);
    if (a < 0 || b < 0) return Step::Bad;
    const int upper = a << 8 | b;
    area_ = upper == 0x0000 ? Area::Program : upper == 0x0030 ? Area::Config : Area::Other;
    return Step::Next;
  }

  // Configuration bytes carry no checksum check, but never reach past the
  // fourteen registers.
  Step Config(std::string_view data, uint16_t offset) {
    if (!AllHex(data)) return Step::Bad;
    const std::size_t touched = (data.size() + 1) / 2;
    if (offset + touched > static_cast<std::size_t>(kConfigBytes)) return Step::Bad;
    std::size_t at = offset;
    for (std::size_t k = 0; k < data.size(); ++k) {
      const int nibble = HexDigit(data[k]);
      if (k % 2 == 0) {
        image_.configWrite[at] = static_cast<uint8_t>(nibble << 4);
      } else {
        image_.configWrite[at] |= static_cast<uint8_t>(nibble);
        ++at;
      }
    }
    return Step::Next;
  }

  ReferenceImage& image_;
  Area area_ = Area::Program;
};

}  // namespace

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int ReadHexText(std::string_view text, ReferenceImage& image, Host& host) {
  Reader reader(image);
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    switch (reader.Line(text.substr(pos, end - pos))) {
      case Step::End:
        return 0;
      case Step::Bad:
        host.Okno(kHexFormatError);
        return -1;
      case Step::Next:
        break;
    }
    pos = end + 1;
  }
  return 0;  // no end record: the whole text was read
}

int ReadHexImage(const std::string& path, ReferenceImage& image, Host& host,
                 std::string* ioError) {
  std::string text;
  int err = 0;
  errno = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[16384];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    if (std::ferror(f)) err = errno ? errno : EIO;
    std::fclose(f);
  } else {
    err = errno ? errno : EIO;
  }
  if (err != 0) {
    if (ioError)
      *ioError = std::strerror(err);
    else
      host.MessageBox(path + ": " + std::strerror(err), BoxKind::Error);
    return -1;
  }
  return ReadHexText(text, image, host);
}

}  // namespace tvn
