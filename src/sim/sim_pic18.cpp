#include "sim/sim_pic18.h"

#include <algorithm>

namespace tvn::sim {

namespace {

constexpr uint32_t kTblptrMask = 0x3FFFFF;  // 22 implemented bits

// Implemented bits of Config1L..Config7H.
constexpr std::array<uint8_t, SimPic18::kConfigSize> kMask2520 = {
    0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
constexpr std::array<uint8_t, SimPic18::kConfigSize> kMask252 = {
    0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};

// Config5L..Config7H hold the code-, write- and read-protection bits, which a
// write can only clear; only a bulk erase sets them again.
constexpr int kFirstProtectionByte = 8;
constexpr int kConfig5L = 8;
constexpr int kConfig5H = 9;
constexpr uint8_t kCpb = 0x40;

// SFRs in the access bank.
constexpr uint8_t kEecon1 = 0xA6;
constexpr uint8_t kEecon2 = 0xA7;
constexpr uint8_t kTblptrL = 0xF6;
constexpr uint8_t kTblptrH = 0xF7;
constexpr uint8_t kTblptrU = 0xF8;

constexpr std::array<uint16_t, 4> kUnlock = {0x0E55, 0x6EA7, 0x0EAA, 0x6EA7};

bool IsRead(uint8_t code) { return code >= SimPic18::kTableRead && code <= SimPic18::kTableReadPreInc; }

}  // namespace

SimPic18::SimPic18(ChipModel model)
    : model_(model),
      devid1_(0x07),
      devid2_(model == ChipModel::Pic18F2520 ? 0x11 : 0x04) {
  EraseAll();
  ResetWriteBuffer();
  SetFaults(Faults{});
}

const std::array<uint8_t, SimPic18::kConfigSize>& SimPic18::ConfigMask() const {
  return model_ == ChipModel::Pic18F2520 ? kMask2520 : kMask252;
}

void SimPic18::SetFaults(const Faults& faults) {
  faults_ = faults;
  rng_ = faults.flakySeed ? faults.flakySeed : 0x9E3779B97F4A7C15ull;
  devid1Reads_ = 0;
  devid2Reads_ = 0;
  badWordUsed_ = false;
  if (faults_.noChip) driving_ = false;
}

void SimPic18::SetConfig(int index, uint8_t value) {
  if (index < 0 || index >= static_cast<int>(kConfigSize)) return;
  config_[index] = value & ConfigMask()[index];
}

uint16_t SimPic18::FlashWord(uint32_t wordIndex) const {
  uint32_t a = (wordIndex * 2) % kFlashSize;
  return static_cast<uint16_t>(flash_[a] | flash_[a + 1] << 8);
}

void SimPic18::SetFlashWord(uint32_t wordIndex, uint16_t value) {
  uint32_t a = (wordIndex * 2) % kFlashSize;
  flash_[a] = static_cast<uint8_t>(value);
  flash_[a + 1] = static_cast<uint8_t>(value >> 8);
}

void SimPic18::EraseAll() {
  flash_.fill(0xFF);
  id_.fill(0xFF);
  config_ = ConfigMask();
}

bool SimPic18::IsProtected(uint32_t address) const {
  if (address >= kFlashSize) return false;
  if (address < BootBlockEnd()) return (config_[kConfig5H] & kCpb) == 0;
  return (config_[kConfig5L] & (1u << (address >> 13))) == 0;
}

// ---- Lines ----

void SimPic18::Drive(const HostPins& pins, uint64_t nowNs) {
  if (faults_.noChip) {
    host_ = pins;
    return;
  }
  if (pins.pgdPullLow != host_.pgdPullLow) {
    pgdPrevPullLow_ = host_.pgdPullLow;
    pgdChangeNs_ = nowNs;
  }
  bool vppChanged = pins.vpp != host_.vpp;
  bool pgcChanged = pins.pgc != host_.pgc;
  host_ = pins;
  if (vppChanged) {
    if (pins.vpp)
      EnterProgramming(nowNs);
    else
      LeaveProgramming(nowNs);
  }
  if (!pgcChanged) return;
  if (!programming_) {
    clockCounted_ = false;
    return;
  }
  if (pins.pgc)
    ClockRise(nowNs);
  else
    ClockFall(nowNs);
}

bool SimPic18::PgdLine(uint64_t) const {
  if (host_.pgdPullLow) return false;
  if (driving_) return driveLevel_;
  return true;  // pull-up
}

void SimPic18::EnterProgramming(uint64_t now) {
  programming_ = true;
  vppRiseNs_ = now;
  ++counters_.programEntries;
}

void SimPic18::LeaveProgramming(uint64_t now) {
  SettleWrite(now);
  if (erase_ != Erase::None) SettleErase(now);
  programming_ = false;
  clockCounted_ = false;
  phase_ = Phase::Command;
  bits_ = 0;
  command_ = 0;
  operand_ = 0;
  driving_ = false;
  tblptr_ = 0;
  eecon1_ = 0;
  singlePanel_ = false;
  recentCount_ = 0;
  armed_ = Armed::None;
  eraseKeyArmed_ = false;
  ResetWriteBuffer();
}

void SimPic18::ClockRise(uint64_t now) {
  SettleWrite(now);
  // Each read bit stays on the line until the next rising edge, so the host can
  // sample the last one after the 16th falling edge.
  driving_ = false;
  // The chip needs P12 after VPP rises before it counts clocks.
  if (now - vppRiseNs_ < kP12VppToClockNs) {
    clockCounted_ = false;
    return;
  }
  clockCounted_ = true;
  riseNs_ = now;
  if (phase_ != Phase::Operand) return;
  if (erase_ != Erase::None) SettleErase(now);
  if (IsRead(command_) && bits_ >= 8) {
    if (bits_ == 8) readData_ = ReadByte(tblptr_);
    driving_ = true;
    driveLevel_ = (readData_ >> (bits_ - 8)) & 1;
  }
}

void SimPic18::ClockFall(uint64_t now) {
  if (!clockCounted_) return;
  clockCounted_ = false;
  uint64_t high = now - riseNs_;
  if (high < kMinClockPhaseNs) return;  // a glitch, not a clock
  // Data changed too close to the edge has not reached the latch yet.
  bool pullLow = now - pgdChangeNs_ < kDataSetupNs ? pgdPrevPullLow_ : host_.pgdPullLow;
  bool bit = !pullLow && !(driving_ && !driveLevel_);
  if (phase_ == Phase::Command) {
    command_ = static_cast<uint8_t>(command_ | bit << bits_);
    ++bits_;
    if (bit && erase_ != Erase::None) {
      // Only a command of zeros (PGD held low) may be clocked while erasing.
      ++counters_.erasesAborted;
      erase_ = Erase::None;
      eecon1_ &= static_cast<uint8_t>(~kWr);
    }
    if (bits_ == 4) {
      fourthHighNs_ = high;
      CommandDecoded(now);
    }
    return;
  }
  operand_ = static_cast<uint16_t>(operand_ | bit << bits_);
  ++bits_;
  if (bits_ == 16) FrameDone(now);
}

void SimPic18::CommandDecoded(uint64_t now) {
  if (armed_ != Armed::None) {
    // Programming runs while the NOP's fourth clock is held high.
    if (command_ == kCoreInstruction && fourthHighNs_ >= kP9ProgramNs)
      ProgramArmed(now);
    else
      ++counters_.writesMissed;
    armed_ = Armed::None;
  }
  if (command_ != kCoreInstruction) recentCount_ = 0;
  phase_ = Phase::Operand;
  bits_ = 0;
  operand_ = 0;
  frameTblptr_ = tblptr_;
  if (command_ == kTableReadPreInc) tblptr_ = (tblptr_ + 1) & kTblptrMask;
}

void SimPic18::FrameDone(uint64_t now) {
  ++counters_.frames;
  if (trace_on_) trace_.push_back(Frame{command_, operand_, frameTblptr_, fourthHighNs_, now});
  uint8_t code = command_;
  phase_ = Phase::Command;
  bits_ = 0;
  command_ = 0;
  switch (code) {
    case kCoreInstruction:
      Execute(operand_, now);
      break;
    case kTableRead:
    case kTableReadPostInc:
    case kTableReadPostDec:
    case kTableReadPreInc:
      ++counters_.tableReads;
      if (code == kTableReadPostInc) tblptr_ = (tblptr_ + 1) & kTblptrMask;
      if (code == kTableReadPostDec) tblptr_ = (tblptr_ - 1) & kTblptrMask;
      break;
    case kTableWrite:
    case kTableWritePostInc2:
    case kTableWriteStartProgramming:
      TableWrite(code, operand_);
      break;
    default:
      break;  // unknown codes are clocked through and ignored
  }
}

// ---- Core instructions ----

void SimPic18::Execute(uint16_t instr, uint64_t now) {
  bool keyArmed = eraseKeyArmed_;
  eraseKeyArmed_ = false;
  uint8_t f = static_cast<uint8_t>(instr);
  bool accessBank = (instr & 0x0100) == 0;
  if (instr == 0x0000) {
    if (keyArmed && eraseKeyLow_ == BulkEraseKey()) {
      erase_ = Erase::Bulk;
      eraseStartNs_ = now;
    }
  } else if ((instr & 0xFF00) == 0x0E00) {  // MOVLW k
    w_ = f;
  } else if ((instr & 0xFE00) == 0x6E00) {  // MOVWF f, a
    if (accessBank) WriteSfr(f, w_, now);
  } else if ((instr & 0xE000) == 0x8000) {  // BSF 1000 / BCF 1001 bbba ffff ffff
    uint8_t mask = static_cast<uint8_t>(1u << ((instr >> 9) & 7));
    bool set = (instr & 0x1000) == 0;
    if (accessBank) WriteSfr(f, set ? (ReadSfr(f) | mask) : (ReadSfr(f) & ~mask), now);
  } else if ((instr & 0xFC00) == 0x2800) {  // INCF f, d, a: 8 bits, no carry out
    if (accessBank) {
      uint8_t v = static_cast<uint8_t>(ReadSfr(f) + 1);
      if (instr & 0x0200)
        WriteSfr(f, v, now);
      else
        w_ = v;
    }
  }
  // The unlock counts only core instructions in a row.
  if (recentCount_ == 4) {
    std::rotate(recentCore_.begin(), recentCore_.begin() + 1, recentCore_.end());
    recentCore_[3] = instr;
  } else {
    recentCore_[recentCount_++] = instr;
  }
}

uint8_t SimPic18::ReadSfr(uint8_t f) const {
  switch (f) {
    case kTblptrL: return static_cast<uint8_t>(tblptr_);
    case kTblptrH: return static_cast<uint8_t>(tblptr_ >> 8);
    case kTblptrU: return static_cast<uint8_t>(tblptr_ >> 16);
    case kEecon1: return eecon1_;
    default: return 0;
  }
}

void SimPic18::WriteSfr(uint8_t f, uint8_t value, uint64_t now) {
  switch (f) {
    case kTblptrL: tblptr_ = (tblptr_ & 0x3FFF00) | value; break;
    case kTblptrH: tblptr_ = (tblptr_ & 0x3F00FF) | uint32_t{value} << 8; break;
    case kTblptrU: tblptr_ = (tblptr_ & 0x00FFFF) | uint32_t{value & 0x3Fu} << 16; break;
    case kEecon1: {
      bool startWr = (value & kWr) && !(eecon1_ & kWr);
      eecon1_ = static_cast<uint8_t>((value & (kEepgd | kCfgs | kFree | kWren)) | (eecon1_ & kWr));
      if (startWr) StartRowErase(now);
      break;
    }
    case kEecon2:
      break;  // only the instruction sequence matters, see StartRowErase
    default:
      break;
  }
}

void SimPic18::StartRowErase(uint64_t now) {
  bool unlocked = model_ == ChipModel::Pic18F2520 ||
                  (recentCount_ == 4 && recentCore_ == kUnlock);
  const uint8_t need = kEepgd | kFree | kWren;
  if ((eecon1_ & need) != need || (eecon1_ & kCfgs) || !unlocked || erase_ != Erase::None) return;
  erase_ = Erase::Row;
  eraseRow_ = tblptr_ & ~(kRowSize - 1);
  eraseStartNs_ = now;
  eecon1_ |= kWr;
}

// Called at the first operand clock after the start, or when VPP drops: the erase
// has finished if it was given its time, otherwise it was cut short.
void SimPic18::SettleErase(uint64_t now) {
  uint64_t need = erase_ == Erase::Row ? kRowEraseNs : kP11BulkEraseNs;
  if (now - eraseStartNs_ >= need)
    FinishErase();
  else
    ++counters_.erasesAborted;
  erase_ = Erase::None;
  eecon1_ &= static_cast<uint8_t>(~kWr);
}

void SimPic18::FinishErase() {
  if (erase_ == Erase::Bulk) {
    EraseAll();
    ++counters_.bulkErases;
    return;
  }
  eecon1_ &= static_cast<uint8_t>(~kFree);
  if (eraseRow_ < kFlashSize) {
    if (IsProtected(eraseRow_)) return;
    std::fill_n(flash_.begin() + eraseRow_, kRowSize, 0xFF);
  } else if (eraseRow_ == kIdBase) {
    id_.fill(0xFF);
  } else {
    return;
  }
  ++counters_.rowErases;
}

// ---- Table writes ----

void SimPic18::TableWrite(uint8_t code, uint16_t operand) {
  uint32_t a = tblptr_;
  uint8_t lo = static_cast<uint8_t>(operand);
  uint8_t hi = static_cast<uint8_t>(operand >> 8);
  uint8_t byte = (a & 1) ? hi : lo;
  bool flashAccess = (eecon1_ & kEepgd) != 0;
  bool configSpace = (eecon1_ & kCfgs) != 0;
  if (a >= kEraseControl && a <= kPanelControl + 1) {
    if (a == kEraseControl) {
      eraseKeyLow_ = byte;
      eraseKeyArmed_ = true;
    } else if (a == kEraseControl + 1) {
      eraseKeyHigh_ = byte;
    } else if (a == kPanelControl) {
      singlePanel_ = byte == 0x00;
    }
  } else if (flashAccess && !configSpace &&
             (a < kFlashSize || (a >= kIdBase && a < kIdBase + kIdSize))) {
    uint32_t off = a & (WriteBufferSize() - 1) & ~1u;
    buffer_[off] = lo;
    buffer_[off + 1] = hi;
    if (code == kTableWriteStartProgramming) {
      armed_ = Armed::Block;
      armedAddress_ = a;
    }
  } else if (flashAccess && configSpace && a >= kConfigBase && a < kConfigBase + kConfigSize &&
             code == kTableWriteStartProgramming) {
    armed_ = Armed::Config;
    armedAddress_ = a;
    armedConfigValue_ = byte;
  }
  if (code == kTableWritePostInc2) tblptr_ = (tblptr_ + 2) & kTblptrMask;
}

void SimPic18::ProgramArmed(uint64_t now) {
  if (armed_ == Armed::Config) {
    int i = static_cast<int>(armedAddress_ - kConfigBase);
    if (faults_.configNoWrite && *faults_.configNoWrite == i) return;
    undoKind_ = Armed::Config;
    undoAddress_ = armedAddress_;
    undo_[0] = config_[i];
    uint8_t v = armedConfigValue_ & ConfigMask()[i];
    config_[i] = i >= kFirstProtectionByte ? static_cast<uint8_t>(config_[i] & v) : v;
    ++counters_.configWrites;
    writeSettling_ = true;
    writeFallNs_ = now;
    return;
  }
  uint32_t size = WriteBufferSize();
  uint32_t base = armedAddress_ & ~(size - 1);
  bool panelOk = model_ == ChipModel::Pic18F2520 || singlePanel_;
  if (!panelOk || IsProtected(base)) {
    ResetWriteBuffer();
    return;
  }
  undoKind_ = Armed::Block;
  undoAddress_ = base;
  if (base < kFlashSize) {
    bool badInBlock = faults_.badWordMode != BadWordMode::Never &&
                      faults_.badWord * 2 >= base && faults_.badWord * 2 < base + size &&
                      !(faults_.badWordMode == BadWordMode::Once && badWordUsed_);
    std::copy_n(flash_.begin() + base, size, undo_.begin());
    for (uint32_t i = 0; i < size; ++i) {
      uint32_t addr = base + i;
      if (badInBlock && addr / 2 == faults_.badWord) continue;
      // Programming can only clear bits.
      flash_[addr] = StuckBits(static_cast<uint8_t>(flash_[addr] & buffer_[i]));
    }
    if (badInBlock) badWordUsed_ = true;
  } else {
    std::copy(id_.begin(), id_.end(), undo_.begin());
    for (uint32_t i = 0; i < size; ++i) {
      uint32_t addr = base + i;
      if (addr >= kIdBase && addr < kIdBase + kIdSize) id_[addr - kIdBase] &= buffer_[i];
    }
  }
  ++counters_.blockWrites;
  ResetWriteBuffer();
  writeSettling_ = true;
  writeFallNs_ = now;
}

// A clock that rises, or VPP that drops, within P10 after the write spoils it.
void SimPic18::SettleWrite(uint64_t now) {
  if (!writeSettling_) return;
  writeSettling_ = false;
  if (now - writeFallNs_ >= kP10AfterWriteNs) return;
  ++counters_.writesInterrupted;
  if (undoKind_ == Armed::Config) {
    config_[undoAddress_ - kConfigBase] = undo_[0];
  } else if (undoAddress_ < kFlashSize) {
    std::copy_n(undo_.begin(), WriteBufferSize(), flash_.begin() + undoAddress_);
  } else {
    std::copy_n(undo_.begin(), kIdSize, id_.begin());
  }
}

// ---- Reads ----

uint8_t SimPic18::StuckBits(uint8_t value) const {
  if (!faults_.stuckBit) return value;
  uint8_t m = static_cast<uint8_t>(1u << (*faults_.stuckBit & 7));
  return faults_.stuckLevel ? (value | m) : static_cast<uint8_t>(value & ~m);
}

uint8_t SimPic18::ReadByte(uint32_t a) {
  uint8_t v = 0;
  bool overrideActive = false;
  if (a < kFlashSize) {
    v = IsProtected(a) ? 0 : StuckBits(flash_[a]);
  } else if (a >= kIdBase && a < kIdBase + kIdSize) {
    v = id_[a - kIdBase];
  } else if (a >= kConfigBase && a < kConfigBase + kConfigSize) {
    v = config_[a - kConfigBase];
  } else if (a == kDevid1) {
    ++devid1Reads_;
    overrideActive = faults_.devid1 && (faults_.devidOverrideReads == 0 ||
                                        devid1Reads_ <= faults_.devidOverrideReads);
    v = overrideActive ? *faults_.devid1 : devid1_;
  } else if (a == kDevid2) {
    ++devid2Reads_;
    overrideActive = faults_.devid2 && (faults_.devidOverrideReads == 0 ||
                                        devid2Reads_ <= faults_.devidOverrideReads);
    v = overrideActive ? *faults_.devid2 : devid2_;
  }
  if (faults_.flakyReadProbability > 0) {
    double r = static_cast<double>(NextRandom() >> 11) * 0x1.0p-21;
    if (r < faults_.flakyReadProbability) v ^= static_cast<uint8_t>(1u << (NextRandom() & 7));
  }
  return v;
}

uint32_t SimPic18::NextRandom() {
  // xorshift64*: small, seeded, repeatable.
  rng_ ^= rng_ >> 12;
  rng_ ^= rng_ << 25;
  rng_ ^= rng_ >> 27;
  return static_cast<uint32_t>((rng_ * 0x2545F4914F6CDD1Dull) >> 32);
}

}  // namespace tvn::sim
