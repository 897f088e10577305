// The image tool as the build runs it: encrypt, check, decrypt and source, with
// their exit statuses.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/image_key.h"
#include "image/rc6w8r8b10.h"
#include "image_test_util.h"

namespace tvn {
namespace {

namespace fs = std::filesystem;

class ImageTool : public testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TVN_TOOLS_DIR");
    if (!dir) dir = TVN_TOOLS_DIR_PATH;
    if (!dir || !fs::exists(fs::path(dir) / "tvnimage")) GTEST_SKIP() << "tvnimage not built";
    tool_ = (fs::path(dir) / "tvnimage").string();
  }
  // Exit status of the tool, its output thrown away.
  int Run(const std::string& args) {
    const int st = std::system((tool_ + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  static std::string Read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  }
  static void Write(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

  imgtest::ScratchDir dir_;
  std::string tool_;
};

TEST_F(ImageTool, EncryptCheckDecryptRoundTrip) {
  for (const char* name : {"Tvn_252_V22.hex", "Tvn_2520_V23.hex"}) {
    const fs::path hex = imgtest::FirmwareDir() / name;
    ASSERT_EQ(Run("encrypt " + hex.string() + " image.crp"), 0) << name;
    const std::string plain = Read(hex), enc = Read("image.crp");
    ASSERT_EQ(enc.size(), plain.size());
    EXPECT_NE(enc.substr(0, 64), plain.substr(0, 64));
    // What the tool wrote is what the program decrypts.
    const std::vector<uint8_t> dec =
        DecryptBytes(Rc6SetKey(kImageKey), std::vector<uint8_t>(enc.begin(), enc.end()));
    EXPECT_EQ(std::string(dec.begin(), dec.end()), plain);

    EXPECT_EQ(Run("check image.crp"), 0);
    ASSERT_EQ(Run("decrypt image.crp back.hex"), 0);
    EXPECT_EQ(Read("back.hex"), plain);
  }
}

TEST_F(ImageTool, RefusesBrokenInputAndLeavesNoOutput) {
  Write("bad.hex", ":020000040000FA\n:0400000001020304AA\n:00000001FF\n");
  Write("empty.hex", "");
  EXPECT_EQ(Run("encrypt bad.hex out.crp"), 1);
  EXPECT_EQ(Run("encrypt empty.hex out.crp"), 1);
  EXPECT_EQ(Run("source bad.hex out.cpp kImage"), 1);
  EXPECT_EQ(Run("encrypt missing.hex out.crp"), 1);
  EXPECT_FALSE(fs::exists("out.crp"));
  EXPECT_FALSE(fs::exists("out.cpp"));

  // A plain HEX file is no image: its "decryption" does not read.
  EXPECT_EQ(Run("check " + (imgtest::FirmwareDir() / "Tvn_252_V22.hex").string()), 1);
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("encrypt onlyone"), 2);
  EXPECT_EQ(Run("source " + (imgtest::FirmwareDir() / "Tvn_252_V22.hex").string() + " x.cpp 9bad"), 2);
}

TEST_F(ImageTool, SourceHoldsTheEncryptedBytes) {
  Write("small.hex", ":0400000001020304F2\n:00000001FF");  // 31 bytes: 7 blocks and a tail of 3
  ASSERT_EQ(Run("source small.hex image.cpp kSmall"), 0);
  const std::string src = Read("image.cpp");
  EXPECT_NE(src.find("const std::uint8_t kSmall[] = {"), std::string::npos) << src;
  EXPECT_NE(src.find("const std::size_t kSmallSize = 31;"), std::string::npos) << src;
  // The tail is stored plain: the last three bytes are "1FF".
  EXPECT_NE(src.find("0x31, 0x46, 0x46,\n};"), std::string::npos) << src;
}

}  // namespace
}  // namespace tvn
