// Writing, reading and comparing program memory against the simulated chip,
// on both programmers.
#include <gtest/gtest.h>

#include <random>

#include "icsp/detect.h"
#include "icsp/memory_ops.h"
#include "support/sim_bench.h"

namespace tvn::test {
namespace {

using sim::ChipModel;

// A reference image with varied words all over program memory.
void FillPattern(ReferenceImage& img, uint32_t seed) {
  std::mt19937 rng(seed);
  for (uint32_t b = 0; b < 2 * kProgWords; ++b) img.buffEt[b] = static_cast<uint8_t>(rng());
}

bool ChipHoldsImage(const SimBench& b) {
  for (uint32_t k = 0; k < kProgWords; ++k)
    if (b.chip.FlashWord(k) != b.s.image.EtWord(k)) return false;
  return true;
}

struct Station {
  ChipModel model;
  bool usb;
};

std::string StationName(const ::testing::TestParamInfo<Station>& info) {
  return ModelName(info.param.model) + (info.param.usb ? "_Usb" : "_Lpt");
}

class MemoryOps : public ::testing::TestWithParam<Station> {
 protected:
  MemoryOps() : b(GetParam().model, !GetParam().usb, GetParam().usb) {
    EXPECT_TRUE(DetectChip(b.s));
    b.host.log.clear();
  }
  SimBench b;
};

TEST_P(MemoryOps, BlankChipTakesTheWholeImageAndReadsItBack) {
  FillPattern(b.s.image, 7);
  EXPECT_TRUE(ProgramMemory(b.s));
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Прогр. OK"});
  EXPECT_TRUE(ChipHoldsImage(b));
  EXPECT_EQ(b.host.gaugeMax, static_cast<int>(kProgWords) - 1);

  b.s.image.buffChip.fill(0x5A);
  ReadMemory(b.s);
  for (uint32_t k = 0; k < kProgWords; ++k) ASSERT_EQ(b.s.image.ChipWord(k), b.s.image.EtWord(k)) << k;
  b.host.log.clear();
  EXPECT_TRUE(CompareMemory(b.s));
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Сравнение ОК"});
  EXPECT_FALSE(b.chip.InProgrammingMode());
}

INSTANTIATE_TEST_SUITE_P(BothChipsBothProgrammers, MemoryOps,
                         ::testing::Values(Station{ChipModel::Pic18F2520, false}, Station{ChipModel::Pic18F252, false},
                                           Station{ChipModel::Pic18F2520, true}, Station{ChipModel::Pic18F252, true}),
                         StationName);

class LptProgram : public ::testing::TestWithParam<ChipModel> {
 protected:
  LptProgram() : b(GetParam()) {
    EXPECT_TRUE(DetectChip(b.s));
    b.host.log.clear();
    FillPattern(b.s.image, 11);
  }
  // Puts the reference image into the chip directly, as if programmed earlier.
  void Preload() {
    for (uint32_t k = 0; k < kProgWords; ++k) b.chip.SetFlashWord(k, b.s.image.EtWord(k));
  }
  SimBench b;
};

TEST_P(LptProgram, ChipThatHoldsTheImageIsOnlyRead) {
  Preload();
  EXPECT_TRUE(ProgramMemory(b.s));
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Прогр. OK"});
  EXPECT_EQ(b.chip.GetCounters().blockWrites, 0u);
  EXPECT_EQ(b.chip.GetCounters().rowErases, 0u);
}

TEST_P(LptProgram, OneDifferingWordRewritesOnlyItsRow) {
  for (uint32_t word : {kProgWords - 1, 45u}) {
    SCOPED_TRACE(word);
    Preload();
    b.chip.SetFlashWord(word, static_cast<uint16_t>(~b.s.image.EtWord(word)));
    auto before = b.chip.GetCounters();
    b.chip.EnableTrace(true);
    b.chip.ClearTrace();
    EXPECT_TRUE(ProgramMemory(b.s));
    EXPECT_TRUE(ChipHoldsImage(b));
    EXPECT_EQ(b.chip.GetCounters().rowErases - before.rowErases, 1u);
    // One row: 2 loads of 16 words on the PIC18F2520, 8 loads of 4 on the PIC18F252,
    // each load ending in one start-programming write.
    int starts = 0, incWrites = 0;
    uint32_t firstStartPointer = 0;
    for (const auto& f : b.chip.Trace()) {
      if (f.command == 0xF && starts++ == 0) firstStartPointer = f.tblptr;
      if (f.command == 0xD) ++incWrites;
    }
    const bool is2520 = GetParam() == ChipModel::Pic18F2520;
    EXPECT_EQ(starts, is2520 ? 2 : 8);
    EXPECT_EQ(incWrites, is2520 ? 30 : 24);
    EXPECT_EQ(firstStartPointer & ~0x3Fu, (word & ~31u) * 2) << "the row of the differing word";
    b.chip.EnableTrace(false);
    b.host.log.clear();
  }
}

TEST_P(LptProgram, WordThatWillNotProgramEndsWithTheThreeLines) {
  sim::SimPic18::Faults f;
  f.badWord = 0x100;
  f.badWordMode = sim::SimPic18::BadWordMode::Always;
  b.SetFaults(f);
  b.s.image.buffEt[0x200] = 0x34;
  b.s.image.buffEt[0x201] = 0x12;
  EXPECT_FALSE(ProgramMemory(b.s));
  EXPECT_EQ(b.host.log, (std::vector<std::string>{"Запись не возможна.", "Адр.:200  Эт=1234  Чип=FFFF",
                                                  "Прогр. прервано."}));
  EXPECT_FALSE(b.chip.InProgrammingMode());
}

TEST_P(LptProgram, WordThatFailsOnceFailsTheRunAndTheNextRunMendsIt) {
  sim::SimPic18::Faults f;
  f.badWord = 0x2345;
  f.badWordMode = sim::SimPic18::BadWordMode::Once;
  b.SetFaults(f);
  // A row is rewritten at most once per run: the lost write ends this run...
  EXPECT_FALSE(ProgramMemory(b.s));
  EXPECT_EQ(b.host.log.back(), "Прогр. прервано.");
  // ...and the next run goes on from that row: the rows before it verify.
  b.host.log.clear();
  auto before = b.chip.GetCounters();
  EXPECT_TRUE(ProgramMemory(b.s));
  EXPECT_EQ(b.chip.GetCounters().rowErases - before.rowErases, 512u - 0x2345u / 32);
  EXPECT_EQ(b.host.log, std::vector<std::string>{"Прогр. OK"});
  EXPECT_TRUE(ChipHoldsImage(b));
}

INSTANTIATE_TEST_SUITE_P(BothChips, LptProgram, ::testing::Values(ChipModel::Pic18F2520, ChipModel::Pic18F252),
                         [](const auto& info) { return ModelName(info.param); });

TEST(CompareMemory, LogsEveryDifferingWordWithBlankPaddedFields) {
  SimBench b;
  b.s.image.buffEt.fill(0xFF);
  b.s.image.buffChip.fill(0xFF);
  b.s.image.buffChip[2] = 0x00;  // word 1
  b.s.image.buffEt[0x200] = 0x12;  // word 100h
  b.s.image.buffChip[0x201] = 0x0A;
  EXPECT_FALSE(CompareMemory(b.s));
  EXPECT_EQ(b.host.log, (std::vector<std::string>{"  2: Эт.FFFF Рез.FF00", "200: Эт.FF12 Рез. AFF",
                                                  "Кол. ошибок. = 2 "}));
}

TEST(UsbReadMemory, LostEchoesNeverHangAndTheCompareFindsThem) {
  SimBench b(ChipModel::Pic18F2520, false, true);
  ASSERT_TRUE(DetectChip(b.s));
  FillPattern(b.s.image, 3);
  for (uint32_t k = 0; k < kProgWords; ++k) b.chip.SetFlashWord(k, b.s.image.EtWord(k));
  b.s.image.buffChip.fill(0xEE);
  const uint64_t start = b.ftdi.BytesWritten();
  b.ftdi.LoseEchoes(start + 200000, 20000);
  ReadMemory(b.s);
  b.host.log.clear();
  EXPECT_FALSE(CompareMemory(b.s));
  EXPECT_NE(b.host.log.back(), "Сравнение ОК");
}

}  // namespace
}  // namespace tvn::test
