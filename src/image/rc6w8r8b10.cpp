#include "image/rc6w8r8b10.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tvn {

namespace {

unsigned ClampCount(unsigned n) { return n > 7 ? 7 : n; }

// f(x) = (x * (2x + 1)) rotated left by 3, the data-dependent mixing of a round.
uint8_t Mix(uint8_t x) {
  return RotL8(static_cast<uint8_t>(x * (2 * x + 1)), 3);
}

uint8_t Sub(uint8_t a, uint8_t b) { return static_cast<uint8_t>(a - b); }
uint8_t Add(uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + b); }

template <Rc6Block (*Op)(const RoundKeys&, const Rc6Block&)>
std::vector<uint8_t> Blocks(const RoundKeys& s, std::span<const uint8_t> src) {
  std::vector<uint8_t> out(src.begin(), src.end());
  const std::size_t full = src.size() / 4 * 4;
  for (std::size_t i = 0; i < full; i += 4) {
    const Rc6Block b = Op(s, {out[i], out[i + 1], out[i + 2], out[i + 3]});
    std::memcpy(&out[i], b.data(), 4);
  }
  return out;  // the tail of 1..3 bytes stays as it was
}

}  // namespace

uint8_t RotL8(uint8_t x, unsigned n) {
  n = ClampCount(n);
  if (n == 0) return x;
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

uint8_t RotR8(uint8_t x, unsigned n) {
  n = ClampCount(n);
  if (n == 0) return x;
  return static_cast<uint8_t>((x >> n) | (x << (8 - n)));
}

RoundKeys Rc6SetKey(const Rc6Key& key, uint8_t seed, uint8_t increment) {
  Rc6Key l = key;  // the caller's key stays as it is
  RoundKeys s{};
  s[0] = seed;
  for (int k = 1; k < 20; ++k) s[k] = Add(s[k - 1], increment);
  uint8_t a = 0, b = 0;
  for (int n = 0; n < 60; ++n) {
    const int i = n % 20, j = n % 10;
    a = RotL8(static_cast<uint8_t>(s[i] + a + b), 3);
    b = RotL8(static_cast<uint8_t>(l[j] + a + b), (a + b) & 0x0F);
    s[i] = a;
    l[j] = b;
  }
  return s;
}

Rc6Block Rc6DecryptBlock(const RoundKeys& s, const Rc6Block& in) {
  uint8_t a = Sub(in[0], s[18]), b = in[1], c = Sub(in[2], s[19]), d = in[3];
  for (int i = 8; i >= 1; --i) {
    const uint8_t olda = a;
    a = d;
    d = c;
    c = b;
    b = olda;
    const uint8_t u = Mix(d), t = Mix(b);
    c = RotR8(Sub(c, s[i + 1]), t) ^ u;
    a = RotR8(Sub(a, s[i]), u) ^ t;
  }
  return {a, Sub(b, s[0]), c, Sub(d, s[1])};
}

Rc6Block Rc6EncryptBlock(const RoundKeys& s, const Rc6Block& in) {
  uint8_t a = in[0], b = Add(in[1], s[0]), c = in[2], d = Add(in[3], s[1]);
  for (int i = 1; i <= 8; ++i) {
    // Undo one decryption round: B and D did not change in it.
    const uint8_t u = Mix(d), t = Mix(b);
    a = Add(RotL8(a ^ t, u), s[i]);
    c = Add(RotL8(c ^ u, t), s[i + 1]);
    const uint8_t olda = a;
    a = b;
    b = c;
    c = d;
    d = olda;
  }
  return {Add(a, s[18]), b, Add(c, s[19]), d};
}

std::vector<uint8_t> DecryptBytes(const RoundKeys& s, std::span<const uint8_t> src) {
  return Blocks<Rc6DecryptBlock>(s, src);
}

std::vector<uint8_t> EncryptBytes(const RoundKeys& s, std::span<const uint8_t> src) {
  return Blocks<Rc6EncryptBlock>(s, src);
}

bool DecryptImage(const RoundKeys& s, std::span<const uint8_t> src, const std::string& path,
                  std::string* error) {
  const std::vector<uint8_t> plain = DecryptBytes(s, src);
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = std::strerror(errno ? errno : EIO);
    return false;
  }
  bool ok = plain.empty() || std::fwrite(plain.data(), 1, plain.size(), f) == plain.size();
  int err = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    std::remove(path.c_str());  // a partial image must not be read as a whole one
    if (error) *error = std::strerror(err ? err : EIO);
  }
  return ok;
}

}  // namespace tvn
