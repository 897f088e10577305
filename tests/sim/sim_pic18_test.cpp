// The simulated chip driven by a bare pin-level host: identification, writes and
// erases with their timing, configuration and code protection, and the faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "sim/bit_host.h"
#include "sim/sim_pic18.h"

namespace tvn::sim {
namespace {

using testing::BitHost;
constexpr uint64_t kUs = BitHost::kUs;
constexpr uint64_t kMs = BitHost::kMs;

const char* Name(ChipModel m) { return m == ChipModel::Pic18F2520 ? "PIC18F2520" : "PIC18F252"; }

struct Bench {
  explicit Bench(ChipModel m) : chip(m), host(chip) {}
  SimPic18 chip;
  BitHost host;
};

std::vector<uint16_t> Pattern(int n, uint16_t seed) {
  std::vector<uint16_t> w;
  for (int i = 0; i < n; ++i) w.push_back(static_cast<uint16_t>(seed + i * 0x0101));
  return w;
}

// ---- Identification and framing ----

TEST(SimPic18, ReadsDeviceIdAndStepsThePointer) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    Bench b(m);
    b.chip.SetDevid1(0x1F);
    b.host.Enter();
    EXPECT_TRUE(b.chip.InProgrammingMode());
    b.host.SetTblptr(0x3FFFFE);
    EXPECT_EQ(b.chip.Tblptr(), 0x3FFFFEu);
    EXPECT_EQ(b.host.TableRead(), 0x1F);
    EXPECT_EQ(b.host.TableRead(), m == ChipModel::Pic18F2520 ? 0x11 : 0x04);
    EXPECT_EQ(b.chip.Tblptr(), 0u);  // 22-bit pointer wraps past 3FFFFFh
    b.host.Leave();
    EXPECT_FALSE(b.chip.InProgrammingMode());
  }
}

TEST(SimPic18, IgnoresTheLinesWithoutProgrammingVoltage) {
  Bench b(ChipModel::Pic18F2520);
  b.chip.EnableTrace(true);
  b.host.SetTblptr(0x3FFFFE);
  EXPECT_EQ(b.host.TableRead(), 0xFF);  // nobody drives: the pull-up
  EXPECT_TRUE(b.chip.Trace().empty());
  EXPECT_EQ(b.chip.Tblptr(), 0u);
}

TEST(SimPic18, LeavingProgrammingModeForgetsPointerAndControlState) {
  Bench b(ChipModel::Pic18F252);
  b.host.Enter();
  b.host.SelectFlash();
  b.host.SetTblptr(0x001234);
  b.host.Write(0xD, 0x0000);  // something in the write buffer
  EXPECT_TRUE(b.chip.SinglePanel());
  EXPECT_EQ(b.chip.Eecon1(), 0x80);
  b.host.Leave();
  b.host.Enter();
  EXPECT_EQ(b.chip.Tblptr(), 0u);
  EXPECT_EQ(b.chip.Eecon1(), 0u);
  EXPECT_FALSE(b.chip.SinglePanel());
}

TEST(SimPic18, BitsAreTakenLeastSignificantFirst) {
  Bench b(ChipModel::Pic18F2520);
  b.chip.EnableTrace(true);
  b.host.Enter();
  b.host.Command(0xD);  // 1101 sent bit 0 first...
  b.host.Operand(0x0001);
  b.host.msbFirst = true;
  b.host.Command(0xD);  // ...and the same code sent the wrong way round
  b.host.Operand(0x0001);
  ASSERT_EQ(b.chip.Trace().size(), 2u);
  EXPECT_EQ(b.chip.Trace()[0].command, 0xD);
  EXPECT_EQ(b.chip.Trace()[0].operand, 0x0001);
  EXPECT_EQ(b.chip.Trace()[1].command, 0xB);
  EXPECT_EQ(b.chip.Trace()[1].operand, 0x8000);

  // A pointer load and a read in the wrong order miss the device ID.
  b.host.SetTblptr(0x3FFFFE);
  EXPECT_NE(b.chip.Tblptr(), 0x3FFFFEu);
  b.host.msbFirst = false;
  b.host.SetTblptr(0x3FFFFF);
  b.host.msbFirst = true;
  b.host.Command(0x9);  // a palindrome, so only the data order is wrong
  EXPECT_EQ(b.host.ReadData(), 0x88);  // 11h shifted out LSB first, taken MSB first
}

// Clock edges the chip must not count: within P12 of VPP, a glitch of a clock,
// and data that changes together with the falling edge.
TEST(SimPic18, CountsOnlyCleanClocks) {
  struct Case {
    const char* what;
    uint64_t vppToClockNs;
    uint64_t highNs;
    bool dataWithEdge;
    bool decoded;
  };
  const Case cases[] = {
      {"clean", 3 * kUs, 500, false, true},
      {"clock 1 us after VPP", 1 * kUs, 500, false, false},
      {"20 ns pulse", 3 * kUs, 20, false, false},
      {"data changed at the falling edge", 3 * kUs, 500, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimPic18 chip(ChipModel::Pic18F2520);
    chip.EnableTrace(true);
    BitHost h(chip);
    h.Enter(c.vppToClockNs);
    // Frame 0000 / 0E5Ah. The glitch hits the first clock; the late data hits
    // operand bit 1, a 1 that the host puts on PGD only with the falling edge.
    const uint32_t bits = 0x0E5Au << 4;
    for (int i = 0; i < 20; ++i) {
      bool bit = (bits >> i) & 1;
      if (i == 5 && c.dataWithEdge) {
        h.Wait(500);
        h.pins.pgc = true;
        h.Apply();
        h.Wait(500);
        h.pins.pgc = false;
        h.pins.pgdPullLow = !bit;
        h.Apply();
        h.Wait(500);
      } else {
        h.Clock(bit, i == 0 ? c.highNs : 0);
      }
    }
    h.HoldLow();
    bool ok = chip.Trace().size() == 1 && chip.Trace()[0].command == 0 &&
              chip.Trace()[0].operand == 0x0E5A && chip.W() == 0x5A;
    EXPECT_EQ(ok, c.decoded);
  }
}

TEST(SimPic18, ReadCommandsMoveThePointerAsNamed) {
  struct Case {
    uint8_t code;
    uint8_t value;  // byte read, starting from 000101h
    uint32_t after;
  };
  const Case cases[] = {{0x8, 0x01, 0x101}, {0x9, 0x01, 0x102}, {0xA, 0x01, 0x100}, {0xB, 0x02, 0x102}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    Bench b(ChipModel::Pic18F2520);
    for (uint32_t a = 0x100; a < 0x104; ++a) b.chip.Flash()[a] = static_cast<uint8_t>(a - 0x100);
    b.host.Enter();
    b.host.SetTblptr(0x000101);
    EXPECT_EQ(b.host.TableRead(c.code), c.value);
    EXPECT_EQ(b.chip.Tblptr(), c.after);
  }
}

TEST(SimPic18, HostThatDoesNotReleasePgdReadsZero) {
  Bench b(ChipModel::Pic18F2520);
  b.host.Enter();
  b.host.SetTblptr(0x3FFFFF);
  b.host.Command(0x9);
  EXPECT_EQ(b.host.ReadData(/*release=*/false), 0x00);
}

TEST(SimPic18, IncfStepsOnlyTheLowPointerByte) {
  Bench b(ChipModel::Pic18F2520);
  b.host.Enter();
  b.host.SetTblptr(0x3000FF);
  b.host.Core(0x2AF6);
  EXPECT_EQ(b.chip.Tblptr(), 0x300000u);
  b.host.Core(0x2AF6);
  EXPECT_EQ(b.chip.Tblptr(), 0x300001u);
}

// ---- Writes ----

TEST(SimPic18, ProgramsOneBufferOnlyWhenTheClockIsHeldForP9) {
  struct Case {
    ChipModel model;
    uint64_t p9Ns;
    uint64_t p10Ns;
    bool programmed;
  };
  const Case cases[] = {
      {ChipModel::Pic18F2520, 1 * kMs, 20 * kUs, true},
      {ChipModel::Pic18F2520, 500 * kUs, 20 * kUs, false},
      {ChipModel::Pic18F2520, 1 * kMs, 2 * kUs, false},  // clock back up inside P10
      {ChipModel::Pic18F252, 1 * kMs, 20 * kUs, true},
      {ChipModel::Pic18F252, 999 * kUs, 20 * kUs, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << Name(c.model) << " P9 " << c.p9Ns << " P10 " << c.p10Ns);
    Bench b(c.model);
    const uint32_t n = b.chip.WriteBufferSize() / 2;
    const uint32_t base = 0x0140;
    b.chip.Flash()[base - 1] = 0x5A;      // neighbours stay as they are
    b.chip.Flash()[base + 2 * n] = 0xFF;
    b.chip.Flash()[base] = 0x0F;          // programming can only clear bits
    auto words = Pattern(static_cast<int>(n), 0x12F0);
    b.host.Enter();
    b.host.SelectFlash();
    b.host.ProgramBuffer(base, words.data(), static_cast<int>(n), c.p9Ns, c.p10Ns);
    for (uint32_t i = 0; i < n; ++i) {
      uint16_t want = c.programmed ? words[i] : 0xFFFF;
      if (i == 0) want = static_cast<uint16_t>(want & 0xFF0F);
      EXPECT_EQ(b.chip.FlashWord(base / 2 + i), want) << "word " << i;
    }
    EXPECT_EQ(b.chip.Flash()[base - 1], 0x5A);
    EXPECT_EQ(b.chip.Flash()[base + 2 * n], 0xFF);
  }
}

TEST(SimPic18, WritesTheAlignedBlockThatHoldsThePointer) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    Bench b(m);
    const uint32_t size = b.chip.WriteBufferSize();
    b.host.Enter();
    b.host.SelectFlash();
    // Two words loaded at the end of one block; 1111 names the block.
    b.host.SetTblptr(size * 3 + size - 4);
    b.host.Write(0xD, 0x1111);
    b.host.Write(0xF, 0x2222);
    b.host.ProgramNop();
    for (uint32_t a = size * 2; a < size * 5; a += 2) {
      uint16_t want = 0xFFFF;
      if (a == size * 4 - 4) want = 0x1111;
      if (a == size * 4 - 2) want = 0x2222;
      EXPECT_EQ(b.chip.FlashWord(a / 2), want) << std::hex << a;
    }
    // The buffer starts erased again: a second write of one word leaves the rest.
    b.host.SetTblptr(size * 3);
    b.host.Write(0xF, 0x3333);
    b.host.ProgramNop();
    EXPECT_EQ(b.chip.FlashWord(size * 3 / 2), 0x3333);
    EXPECT_EQ(b.chip.FlashWord(size * 3 / 2 + 1), 0xFFFF);
    EXPECT_EQ(b.chip.GetCounters().blockWrites, 2u);
  }
}

TEST(SimPic18, Pic18F252ProgramsOnlyInSinglePanelMode) {
  Bench b(ChipModel::Pic18F252);
  const uint16_t w[4] = {0x0102, 0x0304, 0x0506, 0x0708};
  b.host.Enter();
  b.host.Core(0x8EA6);
  b.host.Core(0x9CA6);
  b.host.ProgramBuffer(0x0200, w, 4);
  EXPECT_EQ(b.chip.FlashWord(0x100), 0xFFFF);
  b.host.SetTblptr(0x3C0006);
  b.host.Write(0xC, 0x0040);  // not 00h: still not single panel
  b.host.ProgramBuffer(0x0200, w, 4);
  EXPECT_EQ(b.chip.FlashWord(0x100), 0xFFFF);
  b.host.SetTblptr(0x3C0006);
  b.host.Write(0xC, 0x0000);
  b.host.ProgramBuffer(0x0200, w, 4);
  EXPECT_EQ(b.chip.FlashWord(0x100), 0x0102);
  EXPECT_EQ(b.chip.FlashWord(0x103), 0x0708);
  // A new entry into programming mode forgets the selection.
  b.host.Leave();
  b.host.Enter();
  b.host.Core(0x8EA6);
  b.host.Core(0x9CA6);
  const uint16_t z[4] = {0, 0, 0, 0};
  b.host.ProgramBuffer(0x0208, z, 4);
  EXPECT_EQ(b.chip.FlashWord(0x104), 0xFFFF);
}

TEST(SimPic18, WritesIdLocationsLikeProgramMemory) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    Bench b(m);
    b.host.Enter();
    b.host.SelectFlash();
    b.host.SetTblptr(0x200002);
    b.host.Write(0xD, 0xA1B2);
    b.host.Write(0xD, 0xC3D4);
    b.host.Write(0xF, 0xE5F6);
    b.host.ProgramNop();
    const std::array<uint8_t, 8> want = {0xFF, 0xFF, 0xB2, 0xA1, 0xD4, 0xC3, 0xF6, 0xE5};
    EXPECT_EQ(b.chip.Id(), want);
    b.host.SetTblptr(0x200002);
    EXPECT_EQ(b.host.TableRead(), 0xB2);
    EXPECT_EQ(b.host.TableRead(), 0xA1);
  }
}

TEST(SimPic18, WithoutFlashAccessTableWritesProgramNothing) {
  Bench b(ChipModel::Pic18F2520);
  const uint16_t w[1] = {0x0000};
  b.host.Enter();  // EECON1 = 0: data EEPROM selected
  b.host.ProgramBuffer(0x0000, w, 1);
  EXPECT_EQ(b.chip.FlashWord(0), 0xFFFF);
  EXPECT_EQ(b.chip.GetCounters().blockWrites, 0u);
}

// ---- Erases ----

TEST(SimPic18, RowEraseNeedsEnablesUnlockAndTime) {
  struct Case {
    const char* what;
    ChipModel model;
    bool unlock;
    uint64_t holdNs;
    bool erased;
  };
  const Case cases[] = {
      {"2520, no unlock needed", ChipModel::Pic18F2520, false, 6 * kMs, true},
      {"2520, operand clock after 0.5 ms", ChipModel::Pic18F2520, false, 500 * kUs, false},
      {"252 with unlock", ChipModel::Pic18F252, true, 6 * kMs, true},
      {"252 without unlock", ChipModel::Pic18F252, false, 6 * kMs, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bench b(c.model);
    std::fill(b.chip.Flash().begin(), b.chip.Flash().end(), 0x00);
    b.host.Enter();
    b.host.SelectFlash();
    b.host.RowErase(0x0A52, c.unlock, c.holdNs);  // inside the row 0A40h..0A7Fh
    EXPECT_EQ(b.chip.Flash()[0x0A3F], 0x00);
    EXPECT_EQ(b.chip.Flash()[0x0A80], 0x00);
    for (uint32_t a = 0x0A40; a < 0x0A80; ++a) ASSERT_EQ(b.chip.Flash()[a], c.erased ? 0xFF : 0x00) << a;
    EXPECT_EQ(b.chip.Eecon1() & SimPic18::kWr, 0);  // WR clears itself
  }
}

TEST(SimPic18, RowEraseIsAbortedByACommandBitOrWithoutEnables) {
  Bench b(ChipModel::Pic18F2520);
  std::fill(b.chip.Flash().begin(), b.chip.Flash().end(), 0x00);
  b.host.Enter();
  b.host.SelectFlash();
  // A 1 clocked into the command while the row erases.
  b.host.SetTblptr(0x0000);
  b.host.Core(0x84A6);
  b.host.Core(0x88A6);
  b.host.Core(0x82A6);
  b.host.Command(0x8);
  b.host.Wait(5 * kMs);
  b.host.Operand(0);
  EXPECT_EQ(b.chip.Flash()[0], 0x00);
  // WREN missing.
  b.host.Core(0x94A6);
  b.host.Core(0x88A6);
  b.host.Core(0x82A6);
  b.host.NopWithHold(5 * kMs);
  EXPECT_EQ(b.chip.Flash()[0], 0x00);
  EXPECT_EQ(b.chip.GetCounters().rowErases, 0u);
}

TEST(SimPic18, BulkEraseNeedsTheChipsKeyAndP11) {
  struct Case {
    ChipModel model;
    uint16_t payload;
    uint64_t holdNs;
    bool erased;
  };
  const Case cases[] = {
      {ChipModel::Pic18F2520, 0x0F87, 5 * kMs, true},
      {ChipModel::Pic18F2520, 0x0F87, 1 * kMs, false},
      {ChipModel::Pic18F2520, 0x0080, 50 * kMs, false},
      {ChipModel::Pic18F252, 0x0080, 50 * kMs, true},
      {ChipModel::Pic18F252, 0x0080, 4 * kMs, false},
      {ChipModel::Pic18F252, 0x0F87, 50 * kMs, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << Name(c.model) << " key " << std::hex << c.payload
                                      << " hold " << std::dec << c.holdNs);
    Bench b(c.model);
    std::fill(b.chip.Flash().begin(), b.chip.Flash().end(), 0x00);
    b.chip.Id().fill(0x00);
    for (int i = 0; i < 14; ++i) b.chip.SetConfig(i, 0x00);  // fully protected
    b.host.Enter();
    b.host.BulkErase(c.payload, c.holdNs);
    bool allErased = true;
    for (uint8_t v : b.chip.Flash()) allErased = allErased && v == 0xFF;
    for (uint8_t v : b.chip.Id()) allErased = allErased && v == 0xFF;
    EXPECT_EQ(allErased, c.erased);
    EXPECT_EQ(b.chip.Config() == b.chip.ConfigMask(), c.erased);
    EXPECT_EQ(b.chip.IsProtected(0x0000), !c.erased);
    EXPECT_EQ(b.chip.GetCounters().bulkErases, c.erased ? 1u : 0u);
  }
}

// ---- Configuration and protection ----

TEST(SimPic18, ConfigurationBytesTakeImplementedBitsOnly) {
  for (auto m : {ChipModel::Pic18F2520, ChipModel::Pic18F252}) {
    SCOPED_TRACE(Name(m));
    Bench b(m);
    b.host.Enter();
    b.host.Core(0x8EA6);
    b.host.Core(0x8CA6);
    b.host.SetTblptr(0x300000);
    b.host.Write(0xF, 0x00FF);  // even address: the low half
    b.host.ProgramNop();
    b.host.Core(0x2AF6);
    b.host.Write(0xF, 0x0100);  // odd address: the high half
    b.host.ProgramNop();
    b.host.SetTblptr(0x300002);
    b.host.Write(0xF, 0xFF00);  // byte for 300002h sits in the low half: 00h
    b.host.ProgramNop();
    b.host.SetTblptr(0x300000);
    EXPECT_EQ(b.host.TableRead(), 0x00);  // Config1L implements nothing
    EXPECT_EQ(b.host.TableRead(), 0x01);
    EXPECT_EQ(b.host.TableRead(), 0x00);
    // A short NOP clock leaves the byte as it was.
    b.host.SetTblptr(0x300003);
    b.host.Write(0xF, 0x0000);
    b.host.ProgramNop(500 * kUs);
    EXPECT_EQ(b.chip.Config()[3], b.chip.ConfigMask()[3]);
    EXPECT_EQ(b.chip.GetCounters().writesMissed, 1u);
  }
}

TEST(SimPic18, CodeProtectionHidesAndLocksProgramMemoryOnly) {
  struct Case {
    ChipModel model;
    uint32_t inBoot, inBlock0;
  };
  const Case cases[] = {{ChipModel::Pic18F2520, 0x07FF, 0x0800}, {ChipModel::Pic18F252, 0x01FF, 0x0200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Name(c.model));
    Bench b(c.model);
    for (uint32_t a = 0; a < SimPic18::kFlashSize; ++a) b.chip.Flash()[a] = static_cast<uint8_t>(a | 1);
    b.chip.Id().fill(0x42);
    b.host.Enter();
    b.host.Core(0x8EA6);
    b.host.Core(0x8CA6);
    // Protect the boot block (CPB) and block 2 (CP2) only.
    b.host.SetTblptr(0x300008);
    b.host.Write(0xF, 0x000B);
    b.host.ProgramNop();
    b.host.Core(0x2AF6);
    b.host.Write(0xF, 0x8000);
    b.host.ProgramNop();
    struct Probe {
      uint32_t addr;
      bool hidden;
    };
    const Probe probes[] = {{c.inBoot, true}, {c.inBlock0, false}, {0x3FFF, false},
                            {0x4000, true},   {0x5FFF, true},      {0x6000, false}};
    for (const auto& p : probes) {
      b.host.SetTblptr(p.addr);
      EXPECT_EQ(b.host.TableRead(), p.hidden ? 0x00 : static_cast<uint8_t>(p.addr | 1)) << std::hex << p.addr;
    }
    b.host.SetTblptr(0x200000);
    EXPECT_EQ(b.host.TableRead(), 0x42);
    b.host.SetTblptr(0x300008);
    EXPECT_EQ(b.host.TableRead(), 0x0B);
    // Protection bits only go from 1 to 0: writing them off again changes nothing.
    b.host.SetTblptr(0x300008);
    b.host.Write(0xF, 0x000F);
    b.host.ProgramNop();
    EXPECT_EQ(b.chip.Config()[8], 0x0B);
    // Protected memory takes neither writes nor row erases.
    b.host.SelectFlash();
    const uint16_t zero[1] = {0x0000};
    b.host.ProgramBuffer(0x4000, zero, 1);
    b.host.RowErase(0x4040, c.model == ChipModel::Pic18F252, 6 * kMs);
    EXPECT_EQ(b.chip.Flash()[0x4000], 0x01);
    EXPECT_EQ(b.chip.Flash()[0x4040], 0x41);
    b.host.ProgramBuffer(0x6000, zero, 1);
    EXPECT_EQ(b.chip.FlashWord(0x3000), 0x0000);
  }
}

// ---- Faults ----

TEST(SimPic18, NoChipNeverAnswers) {
  Bench b(ChipModel::Pic18F2520);
  SimPic18::Faults f;
  f.noChip = true;
  b.chip.SetFaults(f);
  b.chip.EnableTrace(true);
  b.host.Enter();
  b.host.SetTblptr(0x3FFFFE);
  EXPECT_EQ(b.host.TableRead(), 0xFF);
  EXPECT_FALSE(b.chip.InProgrammingMode());
  EXPECT_TRUE(b.chip.Trace().empty());
}

TEST(SimPic18, DeviceIdOverrideCanGiveWayAfterSomeReads) {
  Bench b(ChipModel::Pic18F252);
  SimPic18::Faults f;
  f.devid1 = 0x20;
  f.devid2 = 0x11;
  f.devidOverrideReads = 2;
  b.chip.SetFaults(f);
  b.host.Enter();
  std::vector<std::pair<int, int>> seen;
  for (int attempt = 0; attempt < 3; ++attempt) {
    b.host.SetTblptr(0x3FFFFE);
    int d1 = b.host.TableRead();
    int d2 = b.host.TableRead();
    seen.emplace_back(d1, d2);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0x20, 0x11}, {0x20, 0x11}, {0x07, 0x04}}));
}

TEST(SimPic18, StuckBitAndBadWordSpoilProgramMemory) {
  Bench b(ChipModel::Pic18F2520);
  SimPic18::Faults f;
  f.stuckBit = 3;
  f.stuckLevel = true;
  f.badWord = 0x21;
  f.badWordMode = SimPic18::BadWordMode::Once;
  b.chip.SetFaults(f);
  auto words = Pattern(16, 0x0000);
  b.host.Enter();
  b.host.SelectFlash();
  b.host.ProgramBuffer(0x0040, words.data(), 16);
  EXPECT_EQ(b.chip.FlashWord(0x20), 0x0808);  // bit 3 of each byte cannot be cleared
  EXPECT_EQ(b.chip.FlashWord(0x21), 0xFFFF);  // the first write of word 21h is lost
  b.host.ProgramBuffer(0x0040, words.data(), 16);
  EXPECT_EQ(b.chip.FlashWord(0x21), 0x0909);  // the second one takes
  // A stuck-at-0 bit reads as 0 even in erased memory.
  f = {};
  f.stuckBit = 7;
  f.stuckLevel = false;
  b.chip.SetFaults(f);
  b.host.SetTblptr(0x1000);
  EXPECT_EQ(b.host.TableRead(), 0x7F);
}

TEST(SimPic18, BadWordAlwaysNeverPrograms) {
  Bench b(ChipModel::Pic18F2520);
  SimPic18::Faults f;
  f.badWord = 0x0;
  f.badWordMode = SimPic18::BadWordMode::Always;
  b.chip.SetFaults(f);
  const uint16_t w[2] = {0x1234, 0x5678};
  b.host.Enter();
  b.host.SelectFlash();
  for (int i = 0; i < 3; ++i) b.host.ProgramBuffer(0x0000, w, 2);
  EXPECT_EQ(b.chip.FlashWord(0), 0xFFFF);
  EXPECT_EQ(b.chip.FlashWord(1), 0x5678);
}

TEST(SimPic18, ConfigByteThatTakesNoWrite) {
  Bench b(ChipModel::Pic18F2520);
  SimPic18::Faults f;
  f.configNoWrite = 5;
  b.chip.SetFaults(f);
  b.host.Enter();
  b.host.Core(0x8EA6);
  b.host.Core(0x8CA6);
  b.host.SetTblptr(0x300004);
  b.host.Write(0xF, 0x0000);
  b.host.ProgramNop();
  b.host.Core(0x2AF6);
  b.host.Write(0xF, 0x0000);
  b.host.ProgramNop();
  EXPECT_EQ(b.chip.Config()[5], 0x87);
  b.host.Core(0x2AF6);
  b.host.Write(0xF, 0x0000);
  b.host.ProgramNop();
  EXPECT_EQ(b.chip.Config()[6], 0x00);
}

TEST(SimPic18, FlakyReadsFlipOneBitAtTheSeededRate) {
  auto readAll = [](uint64_t seed, int* flips) {
    Bench b(ChipModel::Pic18F2520);
    SimPic18::Faults f;
    f.flakyReadProbability = 0.25;
    f.flakySeed = seed;
    b.chip.SetFaults(f);
    b.host.Enter();
    b.host.SetTblptr(0);
    std::vector<uint8_t> got;
    *flips = 0;
    for (int i = 0; i < 400; ++i) {
      uint8_t v = b.host.TableRead();
      got.push_back(v);
      int diff = __builtin_popcount(v ^ 0xFF);
      EXPECT_LE(diff, 1);
      *flips += diff;
    }
    return got;
  };
  int flips1 = 0, flips2 = 0, flips3 = 0;
  auto a = readAll(7, &flips1);
  auto again = readAll(7, &flips2);
  auto other = readAll(8, &flips3);
  EXPECT_EQ(a, again);
  EXPECT_NE(a, other);
  EXPECT_GT(flips1, 60);  // 100 expected
  EXPECT_LT(flips1, 140);
}

}  // namespace
}  // namespace tvn::sim
