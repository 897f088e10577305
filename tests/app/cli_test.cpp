// The real command-line tool against the simulated bench: its output and its
// exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "image/hex_reader.h"
#include "image/reference_image.h"
#include "support/recording_host.h"

namespace tvn::test {
namespace {

struct CliRun {
  int status = -1;
  std::string out;
};

// The tool built beside the tests; TVN_CLI points elsewhere when set.
const char* CliPath() {
  if (const char* env = std::getenv("TVN_CLI")) return env;
  return TVN_CLI_PATH;
}

CliRun RunCli(const std::string& args) {
  const char* cli = CliPath();
  CliRun r;
  if (!cli) return r;
  std::string cmd = std::string(cli) + " " + args + " 2>/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = ::pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(CliPath())) GTEST_SKIP() << "no command-line tool at " << CliPath();
  }
};

const char* const kOkLine = "Программирование - OK. Можно подключать следующий модуль.";

TEST_F(Cli, SimulatedUpdatePrintsTheWholeLogAndSucceeds) {
  for (const char* sim : {"--simulate", "--simulate=usb,252"}) {
    SCOPED_TRACE(sim);
    CliRun r = RunCli(std::string("update ") + sim);
    EXPECT_EQ(r.status, 0);
    const std::string programmer = std::string(sim).find("usb") != std::string::npos ? "Nimbrella" : "Tarrowgate";
    EXPECT_EQ(r.out, "Программатор " + programmer +
                         " успешно открыт!\nОчистка ProgMem.\nКонфигурация OK\nПрогр. OK\nЧтение кристала.\n"
                         "Сравнение ОК\nЗащита OK\n" + kOkLine + "\n");
  }
}

TEST_F(Cli, InjectedFaultsFailTheUpdate) {
  for (const char* args : {"--simulate=none", "--simulate --fault-no-chip", "--simulate --fault-devid=20:11",
                           "--simulate --fault-stuck-bit=0:1", "--simulate=usb --fault-bad-word=0x3FFF",
                           "--simulate --fault-config-byte=1", "--simulate=usb --fault-corrupt-image",
                           "--simulate --fault-unwritable-dir", "--simulate=usb,252 --fault-unplug=40000"}) {
    SCOPED_TRACE(args);
    CliRun r = RunCli(std::string("update ") + args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find(kOkLine), std::string::npos);
  }
}

TEST_F(Cli, BadCommandLinesAreRefused) {
  for (const char* args : {"", "frobnicate --simulate", "update --simulate=lpt,2519", "update --fault-no-chip",
                           "update --bogus", "read --simulate", "image 2521"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(RunCli(args).status, 2);
  }
  CliRun help = RunCli("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--simulate"), std::string::npos);
}

TEST_F(Cli, DetectNamesTheProgrammerAndTheExitSaysWhetherAChipAnswered) {
  EXPECT_EQ(RunCli("detect --simulate=lpt,252").status, 0);
  CliRun none = RunCli("detect --simulate=none");
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.out.find("Программатор Tarrowgate к LPT не подключен."), std::string::npos);
}

TEST_F(Cli, ReadWritesTheChipAsIntelHexAndImageDumpsTheReferenceImage) {
  const auto dir = std::filesystem::temp_directory_path() / ("tvn-cli-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string chipHex = (dir / "chip.hex").string();
  ASSERT_EQ(RunCli("read --simulate=usb " + chipHex).status, 0);
  // A fresh simulated chip is erased: the file reads back as all FFh.
  RecordingHost host;
  ReferenceImage img;
  img.buffEt.fill(0xFF);
  ASSERT_EQ(ReadHexImage(chipHex, img, host), 0);
  for (uint32_t b = 0; b < 2 * kProgWords; ++b) ASSERT_EQ(img.buffEt[b], 0xFF) << b;

  CliRun image = RunCli("image 252");
  ASSERT_EQ(image.status, 0);
  EXPECT_EQ(image.out.rfind(":", 0), 0u);
  EXPECT_NE(image.out.find(":00000001FF"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tvn::test
