// The image cipher: rotations with their clamp, a known-answer vector worked out
// by hand from the cipher's steps, and the container's block and tail rule.
#include "image/rc6w8r8b10.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "image_test_util.h"

namespace tvn {
namespace {

TEST(Rotate, CountsAboveSevenTurnBySeven) {
  struct Case {
    uint8_t x;
    unsigned n;
    uint8_t left, right;
  };
  const Case cases[] = {
      {0x81, 0, 0x81, 0x81},  {0x81, 1, 0x03, 0xC0},  {0x96, 3, 0xB4, 0xD2},
      {0x96, 7, 0x4B, 0x2D},  {0x96, 8, 0x4B, 0x2D},  {0x96, 9, 0x4B, 0x2D},
      {0x96, 200, 0x4B, 0x2D}, {0x01, 255, 0x80, 0x02}, {0x00, 5, 0x00, 0x00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RotL8(c.x, c.n), c.left) << std::hex << int(c.x) << " by " << std::dec << c.n;
    EXPECT_EQ(RotR8(c.x, c.n), c.right) << std::hex << int(c.x) << " by " << std::dec << c.n;
  }
}

// Worked by hand (a scratch script written from the steps alone) for our key
// K = 4B 72 D1 09 E6 38 A5 1F 7C 93, seed 6Ch, increment 2Bh.
//   initial S = 6C 97 C2 ED 18 43 6E 99 C4 EF 1A 45 70 9B C6 F1 1C 47 72 9D
//   n=0: A = RotL8(6C+0+0, 3) = 63; B = RotL8(4B+63+0 = AE, 63 AND 0F = 3) = 75
//   n=1: A = RotL8(97+63+75 = 6F, 3) = 7B; B = RotL8(72+7B+75 = 62, (7B+75) AND 0F = 0) = 62
//   n=2: A = FC, B = 97;  ...  n=59: A = 93, B = 07
//   final S = 26 F2 E7 3B AC 72 03 ED E5 9C 84 A5 57 7D 48 78 9F 35 E5 93
//   final L = 05 52 3C 4C 8C A5 2B 98 71 07
const RoundKeys kKeyAnswer = {0x26, 0xF2, 0xE7, 0x3B, 0xAC, 0x72, 0x03, 0xED, 0xE5, 0x9C,
                              0x84, 0xA5, 0x57, 0x7D, 0x48, 0x78, 0x9F, 0x35, 0xE5, 0x93};

TEST(Rc6, KeyScheduleKnownAnswer) {
  EXPECT_EQ(Rc6SetKey(kImageKey), kKeyAnswer);
  EXPECT_EQ(Rc6SetKey(kImageKey, kRoundKeySeed, kRoundKeyIncrement), kKeyAnswer);
}

// Block DE AD BE EF under the round keys above:
//   A = DE-E5 = F9, C = BE-93 = 2B:       A=F9 B=AD C=2B D=EF
//   i=8 (rotate, then t=DA u=EC; both turn by 7)  A=CE B=F9 C=CE D=2B
//   i=7 t=B2 u=B2                                 A=CE B=CE C=9A D=CE
//   i=6 t=B2 u=17                                 A=25 B=CE C=D4 D=9A
//   i=5 t=BE u=A7                                 A=EE B=25 C=30 D=D4
//   i=4 t=B3 u=81                                 A=E3 B=EE C=E6 D=30
//   i=3 t=AB u=71                                 A=40 B=E3 C=F5 D=E6
//   i=2 t=02 u=3F                                 A=FD B=40 C=15 D=F5
//   i=1 t=78 u=3C                                 A=7E B=FD C=8E D=15
//   out A, B-26, C, D-F2 = 7E D7 8E 23
TEST(Rc6, BlockKnownAnswerBothWays) {
  const Rc6Block cipher = {0xDE, 0xAD, 0xBE, 0xEF};
  const Rc6Block plain = {0x7E, 0xD7, 0x8E, 0x23};
  EXPECT_EQ(Rc6DecryptBlock(kKeyAnswer, cipher), plain);
  EXPECT_EQ(Rc6EncryptBlock(kKeyAnswer, plain), cipher);
}

TEST(Rc6, EncryptInvertsDecryptForAnyBlockAndKey) {
  std::mt19937 rng(2520);
  for (int k = 0; k < 20; ++k) {
    Rc6Key key;
    for (auto& b : key) b = static_cast<uint8_t>(rng());
    const RoundKeys s = Rc6SetKey(key, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()));
    for (int n = 0; n < 500; ++n) {
      const Rc6Block b = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                          static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
      ASSERT_EQ(Rc6DecryptBlock(s, Rc6EncryptBlock(s, b)), b);
      ASSERT_EQ(Rc6EncryptBlock(s, Rc6DecryptBlock(s, b)), b);
    }
  }
}

// Full 4-byte blocks go through the cipher, each on its own; the last N mod 4
// bytes are stored plain.
TEST(Container, BlocksAndPlainTail) {
  const RoundKeys s = Rc6SetKey(kImageKey);
  std::mt19937 rng(252);
  for (std::size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 4097u, 44726u}) {
    std::vector<uint8_t> plain(n);
    for (auto& b : plain) b = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> enc = EncryptBytes(s, plain);
    ASSERT_EQ(enc.size(), n);
    EXPECT_EQ(DecryptBytes(s, enc), plain) << n;
    const std::size_t full = n / 4 * 4;
    EXPECT_TRUE(std::equal(enc.begin() + full, enc.end(), plain.begin() + full)) << n;
    for (std::size_t i = 0; i < full; i += 4) {
      const Rc6Block want = Rc6DecryptBlock(s, {enc[i], enc[i + 1], enc[i + 2], enc[i + 3]});
      ASSERT_TRUE(std::equal(want.begin(), want.end(), plain.begin() + i)) << n << " at " << i;
    }
  }
  // No chaining: equal blocks anywhere decrypt to equal text.
  const std::vector<uint8_t> twice = {0xDE, 0xAD, 0xBE, 0xEF, 0xDE, 0xAD, 0xBE, 0xEF, 0xDE};
  EXPECT_EQ(DecryptBytes(kKeyAnswer, twice),
            (std::vector<uint8_t>{0x7E, 0xD7, 0x8E, 0x23, 0x7E, 0xD7, 0x8E, 0x23, 0xDE}));
}

std::vector<uint8_t> FileBytes(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(DecryptImageFile, OverwritesTheTargetAndReportsAFailedCreate) {
  imgtest::ScratchDir dir;
  const RoundKeys s = Rc6SetKey(kImageKey);
  const std::vector<uint8_t> plain = imgtest::Bytes(10, 0x30);
  {
    std::ofstream old("out.tmp", std::ios::binary);
    old << std::string(100, 'x');  // longer than the new content: must not survive
  }
  std::string err;
  ASSERT_TRUE(DecryptImage(s, EncryptBytes(s, plain), "out.tmp", &err)) << err;
  EXPECT_EQ(FileBytes("out.tmp"), plain);

  EXPECT_FALSE(DecryptImage(s, plain, "no-such-dir/out.tmp", &err));
  EXPECT_EQ(err, std::strerror(ENOENT));
  EXPECT_FALSE(std::filesystem::exists("no-such-dir"));
}

}  // namespace
}  // namespace tvn
