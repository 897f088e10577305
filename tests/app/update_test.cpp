// The operator's update from end to end on the simulated bench, and how every
// failing step ends it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/operations.h"
#include "image/builtin_images.h"
#include "support/sim_bench.h"

namespace tvn::test {
namespace {

using sim::ChipModel;

const char* const kOk = "Программирование - OK. Можно подключать следующий модуль.";
const char* const kFailed = "Ошибка при программирвании.";

struct Station {
  ChipModel model;
  bool usb;
};

std::string StationName(const Station& st) { return ModelName(st.model) + (st.usb ? "_Usb" : "_Lpt"); }

SimBench* MakeBench(const Station& st) { return new SimBench(st.model, !st.usb, st.usb); }

class Update : public ::testing::TestWithParam<Station> {};

TEST_P(Update, WritesTheBuiltInImageConfigurationAndProtection) {
  std::unique_ptr<SimBench> b(MakeBench(GetParam()));
  // Something old in the chip: the update must replace all of it.
  for (uint32_t k = 0; k < kProgWords; k += 5) b->chip.SetFlashWord(k, 0x0F0F);

  ASSERT_TRUE(SpeedButton4Click(b->s));
  EXPECT_EQ(b->host.log, (std::vector<std::string>{"Очистка ProgMem.", "Конфигурация OK", "Прогр. OK",
                                                   "Чтение кристала.", "Сравнение ОК", "Защита OK", kOk}));
  const bool is2520 = GetParam().model == ChipModel::Pic18F2520;
  EXPECT_EQ(b->host.label3, is2520 ? "Загружен Файл Tvn_2520_V23" : "Загружен Файл Tvn_252_V22");
  EXPECT_EQ(b->s.autoResult, "OK");
  EXPECT_FALSE(b->s.protectOn) << "RadioButton1 is checked again after a good run";
  EXPECT_FALSE(b->host.busyCursor);
  EXPECT_FALSE(b->host.locked);
  EXPECT_EQ(b->host.locks, (std::vector<bool>{true, false, true, false}));

  // The chip holds the reference image, word for word.
  for (uint32_t k = 0; k < kProgWords; ++k) ASSERT_EQ(b->chip.FlashWord(k), b->s.image.EtWord(k)) << k;
  // Configuration as written, with every block and the boot block protected.
  const ConfigBytes& cw = b->s.image.configWrite;
  for (int i = 0; i < kConfigBytes; ++i) {
    if (i == 8 || i == 9) continue;
    EXPECT_EQ(b->chip.Config()[i], cw[i]) << i;
  }
  EXPECT_EQ(b->chip.Config()[8], 0x00);
  EXPECT_EQ(b->chip.Config()[9], 0x80);
  EXPECT_TRUE(b->chip.IsProtected(0x0000));
  EXPECT_TRUE(b->chip.IsProtected(0x7FFE));
  EXPECT_FALSE(b->chip.InProgrammingMode());

  // The next module: no detection lines the second time.
  b->chip.EraseAll();
  ASSERT_TRUE(SpeedButton4Click(b->s));
  EXPECT_EQ(b->host.log.front(), "Очистка ProgMem.");
  EXPECT_EQ(b->host.log.back(), kOk);
}

INSTANTIATE_TEST_SUITE_P(BothChipsBothProgrammers, Update,
                         ::testing::Values(Station{ChipModel::Pic18F2520, false}, Station{ChipModel::Pic18F252, false},
                                           Station{ChipModel::Pic18F2520, true}, Station{ChipModel::Pic18F252, true}),
                         [](const auto& info) { return StationName(info.param); });

// One row per injected fault. Every row ends without the success line; rows
// that fail after the erase end with the failure line.
struct FaultCase {
  const char* name;
  std::function<void(SimBench&)> inject;
  bool chipTouched;  // false: nothing may be erased or written
  std::vector<std::string> tail;  // the last lines of the log
};

const std::vector<std::string> kNoProgrammer = {
    "Программатор Nimbrella к USB не подключен.", "Программатор Tarrowgate к LPT не подключен.",
    "Завершите программу.Подключите программатор к USB или к LPT.Запустите программу вновь."};

std::vector<FaultCase> FaultCases() {
  using F = sim::SimPic18::Faults;
  return {
      {"NoProgrammer", [](SimBench& b) { b.lpt.SetPresent(false); b.ftdi.SetAbsent(); }, false, kNoProgrammer},
      {"NoChip", [](SimBench& b) { F f; f.noChip = true; b.SetFaults(f); }, false, {}},
      {"ForeignDevid", [](SimBench& b) { F f; f.devid1 = 0x40; f.devid2 = 0x11; b.SetFaults(f); }, false, {}},
      // The USB programmer writes without verifying: there the compare finds it.
      {"StuckDataBit", [](SimBench& b) { F f; f.stuckBit = 3; f.stuckLevel = false; b.SetFaults(f); }, true,
       {kFailed}},
      {"WordNeverPrograms",
       [](SimBench& b) { F f; f.badWord = 0x1234; f.badWordMode = sim::SimPic18::BadWordMode::Always; b.SetFaults(f); },
       true, {kFailed}},
      {"ConfigByteWillNotVerify", [](SimBench& b) { F f; f.configNoWrite = 5; b.SetFaults(f); }, true,
       {"Очистка ProgMem.", "Ошибка записи конфигурации", kFailed}},
      {"CorruptedImage",
       [](SimBench& b) {
         static std::vector<uint8_t> bad[2];
         for (bool c : {false, true}) {
           auto good = BuiltinImage(c);
           bad[c].assign(good.begin(), good.end());
           bad[c][bad[c].size() / 2] ^= 0x21;
         }
         b.s.imageSource = [](bool c) { return std::span<const uint8_t>(bad[c]); };
       },
       false, {"Ошибка формата или КС", kFailed}},
  };
}

class UpdateFault : public ::testing::TestWithParam<std::tuple<FaultCase, bool>> {};

TEST_P(UpdateFault, EndsWithoutSuccess) {
  const FaultCase& c = std::get<0>(GetParam());
  const bool usb = std::get<1>(GetParam());
  std::unique_ptr<SimBench> b(MakeBench({ChipModel::Pic18F2520, usb}));
  for (uint32_t k = 0; k < kProgWords; ++k) b->chip.SetFlashWord(k, static_cast<uint16_t>(k));
  c.inject(*b);

  EXPECT_FALSE(SpeedButton4Click(b->s));
  for (const std::string& line : b->host.log) EXPECT_NE(line, kOk);
  ASSERT_GE(b->host.log.size(), c.tail.size());
  EXPECT_EQ(std::vector<std::string>(b->host.log.end() - static_cast<long>(c.tail.size()), b->host.log.end()),
            c.tail);
  EXPECT_FALSE(b->host.busyCursor);
  EXPECT_FALSE(b->host.locked);
  EXPECT_EQ(b->host.locks.size() % 2, 0u) << "every lock is released";
  EXPECT_FALSE(b->s.busy);
  if (!c.chipTouched) {
    EXPECT_EQ(b->chip.GetCounters().bulkErases, 0u);
    EXPECT_EQ(b->chip.GetCounters().blockWrites, 0u);
    EXPECT_EQ(b->chip.GetCounters().configWrites, 0u);
    EXPECT_EQ(b->chip.FlashWord(0x1234), 0x1234);
  } else {
    EXPECT_EQ(b->s.autoResult, "X");
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, UpdateFault, ::testing::Combine(::testing::ValuesIn(FaultCases()), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_Usb" : "_Lpt");
                         });

TEST(UpdateFault, WrongIdShowsTheBoxAndNothingElse) {
  SimBench b;
  sim::SimPic18::Faults f;
  f.devid2 = 0x99;
  b.SetFaults(f);
  EXPECT_FALSE(SpeedButton4Click(b.s));
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Программатор Tarrowgate успешно открыт!"});
  ASSERT_EQ(b.host.boxes.size(), 1u);
  EXPECT_TRUE(b.host.locks.empty()) << "no lock is taken before the erase";
}

TEST(UpdateFault, UnwritableCurrentDirectoryStopsBeforeTheErase) {
  SimBench b;
  const auto here = std::filesystem::current_path();
  const auto gone = std::filesystem::temp_directory_path() / ("tvn-update-gone-" + std::to_string(::getpid()));
  std::filesystem::create_directory(gone);
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);
  const bool ok = SpeedButton4Click(b.s);
  std::filesystem::current_path(here);
  EXPECT_FALSE(ok);
  EXPECT_EQ(b.host.log.back(), kFailed);
  EXPECT_EQ(b.host.label3, "Ошибка загрузки");
  ASSERT_FALSE(b.host.boxes.empty());
  EXPECT_EQ(b.host.boxes.back().second, BoxKind::Error);
  EXPECT_EQ(b.chip.GetCounters().bulkErases, 0u);
}

TEST(UpdateFault, UsbProgrammerUnpluggedMidUpdateNeverReportsSuccess) {
  for (uint64_t after : {5000ull, 300000ull, 1200000ull}) {
    SCOPED_TRACE(after);
    SimBench b(ChipModel::Pic18F252, false, true);
    b.ftdi.UnplugAfter(after);
    EXPECT_FALSE(SpeedButton4Click(b.s));
    for (const std::string& line : b.host.log) EXPECT_NE(line, kOk);
    EXPECT_FALSE(b.host.locked);
    EXPECT_FALSE(b.s.busy);
  }
}

TEST(Update, SecondStartWhileRunningIsRefused) {
  SimBench b;
  int refused = 0, tries = 0;
  b.host.onKeepAlive = [&] {
    if (tries++ % 5000 == 0 && !SpeedButton4Click(b.s)) ++refused;
    if (!Avtom_Prog_PClick(b.s)) ++refused;
  };
  ASSERT_TRUE(SpeedButton4Click(b.s));
  b.host.onKeepAlive = nullptr;
  EXPECT_GT(refused, 0);
  EXPECT_EQ(b.host.log.back(), kOk);
  EXPECT_EQ(std::count(b.host.log.begin(), b.host.log.end(), std::string("Очистка ProgMem.")), 1);
  EXPECT_EQ(b.host.locks, (std::vector<bool>{true, false, true, false}));
}

}  // namespace
}  // namespace tvn::test
