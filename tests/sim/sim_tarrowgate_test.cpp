// The simulated parallel-port programmer at register level: the Zad echo and its
// timing, the lines it applies to the chip, the inverted read-back, the absent
// programmer and the empty header.
#include <gtest/gtest.h>

#include <vector>

#include "sim/sim_tarrowgate.h"

namespace tvn::sim {
namespace {

constexpr uint16_t kBase = 0x378;
constexpr uint16_t kStatus = kBase + 1;
constexpr uint16_t kControl = kBase + 2;

// The chip side of the header as a probe: records what the programmer applies
// and shows a PGD level of our choosing.
struct HeaderProbe : Pic18Pins {
  void Drive(const HostPins& p, uint64_t now) override { seen.push_back({p, now}); }
  bool PgdLine(uint64_t) const override {
    if (seen.empty() || seen.back().pins.pgdPullLow) return false;
    return chipLevel;
  }
  struct Event {
    HostPins pins;
    uint64_t ns;
  };
  std::vector<Event> seen;
  bool chipLevel = true;
};

bool EchoBit(SimTarrowgate& t) { return (t.PortIn(kStatus) & SimTarrowgate::kEcho) != 0; }

// One handshake step as the delay circuit is meant to be used: two full cycles
// of the request line, each followed through the echo (wait low, raise, wait
// high, drop, twice). Returns the number of status reads; *ok is false when a
// wait ran out.
int Handshake(SimTarrowgate& t, bool* ok) {
  int reads = 0;
  *ok = true;
  auto waitFor = [&](bool level) {
    for (int i = 0; i < 1201; ++i) {
      ++reads;
      if (EchoBit(t) == level) return;
    }
    *ok = false;
  };
  const uint8_t data = 0x08;
  for (int cycle = 0; cycle < 2; ++cycle) {
    waitFor(false);
    t.PortOut(kBase, data | SimTarrowgate::kZadRequest);
    waitFor(true);
    t.PortOut(kBase, data);
  }
  return reads;
}

TEST(SimTarrowgate, EchoFollowsTheRequestAfterTheCircuitDelay) {
  VirtualClock clock;
  SimTarrowgate t(clock);
  clock.Advance(50'000);
  uint64_t t0 = clock.NowNs();
  t.PortOut(kBase, 0x0A);
  EXPECT_FALSE(t.Echo(t0));
  EXPECT_FALSE(t.Echo(t0 + SimTarrowgate::kEchoDelayNs - 1));
  EXPECT_TRUE(t.Echo(t0 + SimTarrowgate::kEchoDelayNs));
  EXPECT_FALSE(EchoBit(t));  // one access later: still on its way
  EXPECT_TRUE(EchoBit(t));
  t.PortOut(kBase, 0x08);
  EXPECT_TRUE(EchoBit(t));
  EXPECT_FALSE(EchoBit(t));
  // Writes that leave the request line alone do not restart the delay.
  t.PortOut(kBase, 0x0A);
  t.PortOut(kBase, 0x0B);
  EXPECT_EQ(t.GetCounters().zadRequests, 2u);
}

TEST(SimTarrowgate, HandshakeStepLastsAboutTenMicroseconds) {
  VirtualClock clock;
  SimTarrowgate t(clock);
  bool ok = false;
  Handshake(t, &ok);  // settle into the idle state
  uint64_t t0 = clock.NowNs();
  t.ResetCounters();
  int reads = Handshake(t, &ok);
  EXPECT_TRUE(ok);
  // Back to back, each of the four waits needs a second poll: 8 reads, 4 writes.
  EXPECT_EQ(reads, 8);
  EXPECT_EQ(clock.NowNs() - t0, 12'000u);
  EXPECT_EQ(t.GetCounters().writes, 4u);
  // After one other access the echo has settled and the first wait ends at once.
  t.PortOut(kControl, 0x00);
  t0 = clock.NowNs();
  Handshake(t, &ok);
  EXPECT_EQ(clock.NowNs() - t0, 11'000u);
}

TEST(SimTarrowgate, EveryAccessCostsOneMicrosecond) {
  VirtualClock clock;
  SimTarrowgate t(clock, nullptr, 0x278);
  t.PortOut(0x278, 0x08);
  t.PortIn(0x279);
  t.PortOut(0x27A, 0x01);
  EXPECT_EQ(t.PortIn(0x300), 0xFF);  // nobody at that address
  t.PortOut(0x378, 0x1F);            // the default base is not ours now
  EXPECT_EQ(clock.NowNs(), 5'000u);
  EXPECT_EQ(t.DataRegister(), 0x08);
  EXPECT_EQ(t.GetCounters().foreignAccesses, 2u);
}

TEST(SimTarrowgate, AppliesOnlyTheSecondVoltageStageAsVpp) {
  struct Case {
    uint8_t data;
    bool vpp;
  };
  const Case cases[] = {{0x08, false}, {0x0C, false}, {0x18, true}, {0x1C, true}, {0x10, true}};
  for (const auto& c : cases) {
    VirtualClock clock;
    HeaderProbe chip;
    SimTarrowgate t(clock, &chip);
    t.PortOut(kBase, c.data);
    EXPECT_EQ(t.Pins().vpp, c.vpp) << std::hex << int(c.data);
  }
}

TEST(SimTarrowgate, ChipSeesClockAndPgdDriverAndNothingOfTheHandshake) {
  VirtualClock clock;
  HeaderProbe chip;
  SimTarrowgate t(clock, &chip);
  chip.seen.clear();
  bool ok;
  Handshake(t, &ok);
  t.PortOut(kControl, 0x01);
  t.PortOut(kControl, 0xFE);  // only bit 0 is the clock
  t.PortOut(kBase, 0x09);
  ASSERT_EQ(chip.seen.size(), 3u);  // data 08h vs 00h at start changes nothing the chip sees
  EXPECT_TRUE(chip.seen[0].pins.pgc);
  EXPECT_FALSE(chip.seen[1].pins.pgc);
  EXPECT_TRUE(chip.seen[2].pins.pgdPullLow);
  EXPECT_EQ(chip.seen[2].ns, clock.NowNs() - 1000);  // applied when the write happened
}

TEST(SimTarrowgate, ReadsPgdBackInverted) {
  struct Case {
    bool attachChip;
    bool chipLevel;
    uint8_t data;
    bool selectBit;  // status bit 4: 1 means PGD is low
  };
  const Case cases[] = {
      {false, true, 0x08, false},  // empty header: the pull-up
      {false, true, 0x09, true},   // our own driver pulls low
      {true, true, 0x08, false},
      {true, false, 0x08, true},   // the chip drives low
      {true, true, 0x09, true},
  };
  for (const auto& c : cases) {
    VirtualClock clock;
    HeaderProbe chip;
    chip.chipLevel = c.chipLevel;
    SimTarrowgate t(clock, c.attachChip ? &chip : nullptr);
    t.PortOut(kBase, c.data);
    uint8_t status = t.PortIn(kStatus);
    EXPECT_EQ((status & SimTarrowgate::kPgdHighIsZero) != 0, c.selectBit)
        << c.attachChip << c.chipLevel << std::hex << int(c.data);
    EXPECT_EQ(status & 0xAF, 0x2F);  // the other inputs read as an idle port
  }
}

TEST(SimTarrowgate, AbsentProgrammerNeverEchoesAndDrivesNothing) {
  VirtualClock clock;
  HeaderProbe chip;
  SimTarrowgate t(clock, &chip);
  t.SetPresent(false);
  chip.seen.clear();
  t.PortOut(kBase, 0x1B);
  t.PortOut(kControl, 0x01);
  EXPECT_TRUE(chip.seen.empty());
  bool ok = true;
  uint64_t reads = static_cast<uint64_t>(Handshake(t, &ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(reads, 2u * 1201u + 2u);  // both waits for a low echo run out
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t.PortIn(kStatus), SimTarrowgate::kIdleStatus);
  // Plugged back in, it applies what the registers hold.
  t.PortOut(kBase, 0x18);
  EXPECT_TRUE(chip.seen.empty());
  t.SetPresent(true);
  ASSERT_FALSE(chip.seen.empty());
  EXPECT_TRUE(chip.seen.back().pins.vpp);
  EXPECT_TRUE(chip.seen.back().pins.pgc);
}

}  // namespace
}  // namespace tvn::sim
