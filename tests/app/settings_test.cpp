// The settings file as the program reads it at start and writes it on close,
// against real files in a scratch directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "app/settings.h"
#include "support/recording_host.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace tvn {
namespace {

// A printer port with nothing on it; the settings never touch it.
class EmptyPort : public PortIo {
 public:
  uint8_t PortIn(uint16_t) override { return 0xFF; }
  void PortOut(uint16_t, uint8_t) override {}
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tvn-settings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    path = dir + "/Tvn2520ver.ini";
  }
  void TearDown() override { fs::remove_all(dir); }

  void Put(const std::string& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
  }
  static std::string Get(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
  }

  test::RecordingHost host;
  EmptyPort port;
  NoD2xx d2xx;
  SystemTickSource ticks;
  Session s{host, Hardware{port, d2xx, ticks}};
  std::string dir, path;
};

TEST_F(SettingsTest, NoFileGivesTheDefaults) {
  s.image.configWrite.fill(0x5A);
  s.edit2 = s.edit5 = "stale";
  s.lpt.adrLpt = 0x3BC;
  ReadSettings(s, path);
  for (uint8_t b : s.image.configWrite) EXPECT_EQ(b, 0);
  EXPECT_EQ(s.edit2, "c:\\");
  EXPECT_EQ(s.edit5, "c:\\");
  EXPECT_EQ(s.lpt.adrLpt, 0x378);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(host.log.empty());
}

TEST_F(SettingsTest, PortAddressForms) {
  struct Case {
    const char* text;
    uint16_t adrLpt;
  } cases[] = {
      {"$278", 0x278},     {"0x278", 0x278},  {"0X278", 0x278},  {"632", 0x278},
      {" 632 ", 0x278},    {"+632", 0x278},   {"70000", 0x1170}, {"-1", 0xFFFF},
      {"4294967928", 0x278},  // beyond 32 bits: still only cut
      {"1F", 0x378},       {"$", 0x378},      {"0x", 0x378},     {"abc", 0x378},
      {"", 0x378},         {"378h", 0x378},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Put(path, std::string("[Form_Param]\nAdrLpt=") + c.text + "\n");
    s.lpt.adrLpt = 0;
    ReadSettings(s, path);
    EXPECT_EQ(s.lpt.adrLpt, c.adrLpt);
  }
}

TEST_F(SettingsTest, ConfigurationBytesKeepTheirLowEightBits) {
  Put(path,
      "[formconfig]\n"
      "ConfigWrite[3]=300\n"
      "ConfigWrite[0]=-1\n"
      "configwrite[13]=$A5\n"
      "ConfigWrite[5]=1F\n"
      "ConfigWrite[07]=7\n"  // the index carries no leading zeros: another key
      "ConfigWrite[14]=9\n"  // there is no fifteenth byte
      "ConfigWrite[1]=0x0F\n");
  ReadSettings(s, path);
  ConfigBytes want{};
  want[0] = 0xFF;
  want[1] = 0x0F;
  want[3] = 0x2C;
  want[13] = 0xA5;
  EXPECT_EQ(s.image.configWrite, want);
  auto fields = ConfigFieldTexts(s.image.configWrite);
  EXPECT_EQ(fields[0], "11111111");
  EXPECT_EQ(fields[3], "00101100");
  EXPECT_EQ(fields[13], "10100101");
  EXPECT_EQ(fields[2], "00000000");
}

TEST(ByteStrToBin, BitSevenFirst) {
  EXPECT_EQ(ByteStrToBin(0x00), "00000000");
  EXPECT_EQ(ByteStrToBin(0x80), "10000000");
  EXPECT_EQ(ByteStrToBin(0x01), "00000001");
  EXPECT_EQ(ByteStrToBin(0x2C), "00101100");
}

TEST_F(SettingsTest, PathIsTheExecutableNameInTheWorkingDirectory) {
  fs::path old = fs::current_path();
  fs::current_path(dir);
  struct Case {
    const char* argv0;
    std::string file;
  } cases[] = {
      {"/opt/bin/Tvn2520ver.exe", "Tvn2520ver.ini"},
      {"tvn2520ver", "tvn2520ver.ini"},
      {"./tools/a.b.exe", "a.b.ini"},
      {"/x/.hidden", ".hidden.ini"},
      {nullptr, fs::read_symlink("/proc/self/exe").stem().string() + ".ini"},
      {"", fs::read_symlink("/proc/self/exe").stem().string() + ".ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv0 ? c.argv0 : "(null)");
    EXPECT_EQ(SettingsPath(c.argv0), dir + "/" + c.file);
  }
  fs::current_path(old);
}

TEST_F(SettingsTest, AnotherWorkingDirectoryReadsDefaultsAndClosingCreatesTheFileThere) {
  fs::create_directory(dir + "/bin");
  fs::create_directory(dir + "/work");
  const std::string beside = dir + "/bin/Tvn2520ver.ini";
  Put(beside, "[Form_Param]\nAdrLpt=632\nEdit2=/beside\n");
  fs::path old = fs::current_path();
  fs::current_path(dir + "/work");
  std::string p = SettingsPath((dir + "/bin/Tvn2520ver.exe").c_str());
  fs::current_path(old);
  EXPECT_EQ(p, dir + "/work/Tvn2520ver.ini");

  ReadSettings(s, p);
  EXPECT_EQ(s.lpt.adrLpt, 0x378);
  EXPECT_EQ(s.edit2, "c:\\");

  s.obnovl = false;  // full layout
  EXPECT_TRUE(SaveSettingsOnClose(s, p));
  EXPECT_EQ(Get(p), "[Form_Param]\nEdit2=c:\\\nEdit5=c:\\\nAdrLpt=888\n");
  EXPECT_EQ(Get(beside), "[Form_Param]\nAdrLpt=632\nEdit2=/beside\n");
}

TEST_F(SettingsTest, UpdateLayoutNeverTouchesTheFile) {
  s.obnovl = true;
  s.lpt.adrLpt = 0x278;
  EXPECT_TRUE(SaveSettingsOnClose(s, path));
  EXPECT_FALSE(fs::exists(path));

  const std::string text = "[Form_Param]\nAdrLpt=$3BC\n";
  Put(path, text);
  EXPECT_TRUE(SaveSettingsOnClose(s, path));
  EXPECT_EQ(Get(path), text);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(SettingsTest, RoundTripKeepsForeignSectionsCommentsAndOrder) {
  const std::string before =
      "; written by hand\r\n"
      "[Window]\r\n"
      "Left=10\r\n"
      "\r\n"
      "[FormConfig]\r\n"
      "ConfigWrite[1]=$22\r\n"
      "ConfigWrite[0]=300\r\n"
      "\r\n"
      "[Form_Param]\r\n"
      "AdrLpt = $278\r\n"
      "Extra=keep me\r\n"
      "Edit5=c:\\old\r\n"
      "\r\n"
      "[Tail]\r\n"
      "x=1";
  Put(path, before);
  chmod(path.c_str(), 0640);
  ReadSettings(s, path);
  EXPECT_EQ(s.lpt.adrLpt, 0x278);
  EXPECT_EQ(s.edit5, "c:\\old");
  EXPECT_EQ(s.image.configWrite[0], 0x2C);
  EXPECT_EQ(s.image.configWrite[1], 0x22);

  s.obnovl = false;
  s.edit2 = "/home/оператор/tvn.hex";
  s.edit5 = "c:\\new";
  s.image.configWrite[1] = 0x99;  // configuration bytes are never written back
  ASSERT_TRUE(SaveSettingsOnClose(s, path));
  EXPECT_EQ(Get(path),
            "; written by hand\r\n"
            "[Window]\r\n"
            "Left=10\r\n"
            "\r\n"
            "[FormConfig]\r\n"
            "ConfigWrite[1]=$22\r\n"
            "ConfigWrite[0]=300\r\n"
            "\r\n"
            "[Form_Param]\r\n"
            "AdrLpt=632\r\n"
            "Extra=keep me\r\n"
            "Edit5=c:\\new\r\n"
            "Edit2=/home/оператор/tvn.hex\r\n"
            "\r\n"
            "[Tail]\r\n"
            "x=1");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(), std::vector<std::string>{"Tvn2520ver.ini"}) << "temporary file left behind";

  Session again{host, Hardware{port, d2xx, ticks}};
  ReadSettings(again, path);
  EXPECT_EQ(again.edit2, s.edit2);
  EXPECT_EQ(again.edit5, s.edit5);
  EXPECT_EQ(again.lpt.adrLpt, 0x278);
}

TEST_F(SettingsTest, LinkedSettingsFileIsUpdatedThroughTheLink) {
  const std::string real = dir + "/real.ini";
  Put(real, "[Form_Param]\nAdrLpt=1\n");
  fs::create_symlink(real, path);
  s.obnovl = false;
  ASSERT_TRUE(SaveSettingsOnClose(s, path));
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(Get(real), "[Form_Param]\nAdrLpt=888\nEdit2=c:\\\nEdit5=c:\\\n");
}

TEST_F(SettingsTest, UnwritableFileShowsOneErrorBoxAndTheWindowStillCloses) {
  Put(dir + "/plain", "x");
  fs::create_directory(dir + "/adir.ini");
  Put(dir + "/big.ini", "[Form_Param]\nAdrLpt=1\n" + std::string(IniFile::kMaxFileBytes, ';'));
  const std::string cases[] = {
      dir + "/missing/Tvn2520ver.ini",  // directory does not exist
      dir + "/plain/Tvn2520ver.ini",    // "directory" is a file
      dir + "/adir.ini",                // the settings path is a directory
      dir + "/big.ini",                 // too large to rewrite without losing its tail
  };
  s.obnovl = false;
  for (const std::string& p : cases) {
    SCOPED_TRACE(p);
    host.boxes.clear();
    uintmax_t sizeBefore = fs::is_regular_file(p) ? fs::file_size(p) : 0;
    EXPECT_FALSE(SaveSettingsOnClose(s, p));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].first, "Unable to write to " + p);
    EXPECT_EQ(host.boxes[0].second, BoxKind::Error);
    if (sizeBefore) {
      EXPECT_EQ(fs::file_size(p), sizeBefore);
    }
  }
  EXPECT_EQ(Entries().size(), 3u) << "temporary file left behind";
}

TEST_F(SettingsTest, HostileFilesReadWithoutHarm) {
  std::mt19937 rng(2520);
  std::string binary(200000, '\0');
  for (char& c : binary) c = static_cast<char>(rng());
  struct Case {
    const char* what;
    std::string text;
    uint16_t adrLpt;
    std::string edit2;
  } cases[] = {
      {"random bytes", binary, 0x378, "c:\\"},
      {"random bytes around our section",
       binary + "\n[Form_Param]\nAdrLpt=632\nEdit2=ok\n" + binary, 0x278, "ok"},
      {"a 10 MB line before the keys",
       "[Form_Param]\n" + std::string(10u << 20, 'A') + "\nAdrLpt=$278\n", 0x278, "c:\\"},
      {"a 10 MB line without a line break", "[Form_Param]\nEdit2=" + std::string(10u << 20, 'B'), 0x378,
       "c:\\"},
      {"no line break at the end", "[Form_Param]\nEdit2=x\nAdrLpt=632", 0x278, "x"},
      {"NUL bytes in names", "[Form_Param]\nAdr\0Lpt=1\nEdit2=a\0b\n"s, 0x378, "a\0b"s},
      {"only brackets and equal signs", "[[[[]]]]\n====\n[\n]\n=\n[Form_Param\nAdrLpt=632\n", 0x278, "c:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Put(path, c.text);
    ReadSettings(s, path);
    EXPECT_EQ(s.lpt.adrLpt, c.adrLpt);
    EXPECT_EQ(s.edit2, c.edit2);
  }
}

}  // namespace
}  // namespace tvn
