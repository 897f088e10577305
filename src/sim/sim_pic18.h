// A PIC18F2520 or PIC18F252 seen from its ICSP header. The chip reacts only to
// line changes: it latches PGD on each falling PGC edge, shifts out table-read
// data on rising edges, and times its writes and erases from the clock edges it
// sees, so a host that holds a clock too briefly or sends bits in the wrong order
// gets the same silence or garbage a real chip would give it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/pic18_pins.h"

namespace tvn::sim {

enum class ChipModel { Pic18F2520, Pic18F252 };

class SimPic18 : public Pic18Pins {
 public:
  // Memory map.
  static constexpr uint32_t kFlashSize = 0x8000;
  static constexpr uint32_t kIdBase = 0x200000;
  static constexpr uint32_t kIdSize = 8;
  static constexpr uint32_t kConfigBase = 0x300000;
  static constexpr uint32_t kConfigSize = 14;
  static constexpr uint32_t kEraseControl = 0x3C0004;  // bulk-erase key, low byte
  static constexpr uint32_t kPanelControl = 0x3C0006;  // 00h selects single panel writes
  static constexpr uint32_t kDevid1 = 0x3FFFFE;
  static constexpr uint32_t kDevid2 = 0x3FFFFF;
  static constexpr uint32_t kRowSize = 64;

  // Timing the chip insists on, in ns.
  static constexpr uint64_t kP9ProgramNs = 1'000'000;     // clock high while writing
  static constexpr uint64_t kP10AfterWriteNs = 5'000;     // clock low after writing
  static constexpr uint64_t kP11BulkEraseNs = 5'000'000;  // bulk erase
  static constexpr uint64_t kRowEraseNs = 1'000'000;      // row erase
  static constexpr uint64_t kP12VppToClockNs = 2'000;     // VPP up to first clock
  static constexpr uint64_t kMinClockPhaseNs = 40;        // shorter pulses are lost
  static constexpr uint64_t kDataSetupNs = 15;            // PGD stable before the fall

  // Command codes as the chip decodes them (bit 0 is the first bit on the wire).
  enum Command : uint8_t {
    kCoreInstruction = 0x0,
    kTableRead = 0x8,
    kTableReadPostInc = 0x9,
    kTableReadPostDec = 0xA,
    kTableReadPreInc = 0xB,
    kTableWrite = 0xC,
    kTableWritePostInc2 = 0xD,
    kTableWriteStartProgramming = 0xF,
  };

  // EECON1 bits.
  static constexpr uint8_t kEepgd = 0x80;
  static constexpr uint8_t kCfgs = 0x40;
  static constexpr uint8_t kFree = 0x10;
  static constexpr uint8_t kWren = 0x04;
  static constexpr uint8_t kWr = 0x02;

  enum class BadWordMode { Never, Once, Always };

  // Faults the tests inject. Set them with SetFaults, which also reseeds the
  // flaky-read generator.
  struct Faults {
    bool noChip = false;  // nothing on the header: PGD is never driven
    std::optional<uint8_t> devid1;
    std::optional<uint8_t> devid2;
    // The overrides hold for this many reads of their byte, then the real value
    // shows; 0 keeps them for ever.
    uint32_t devidOverrideReads = 0;
    std::optional<int> stuckBit;  // program memory: this bit of every byte...
    bool stuckLevel = false;      // ...reads and programs as this level
    uint32_t badWord = 0;         // word index (byte address / 2) that does not program
    BadWordMode badWordMode = BadWordMode::Never;
    std::optional<int> configNoWrite;  // index 0..13 of a configuration byte that keeps its value
    double flakyReadProbability = 0;   // chance that a byte read out has one bit flipped
    uint64_t flakySeed = 1;
  };

  struct Counters {
    uint64_t programEntries = 0;   // rising VPP edges
    uint64_t frames = 0;           // complete 4+16 bit frames
    uint64_t blockWrites = 0;      // write-buffer blocks programmed
    uint64_t configWrites = 0;     // configuration bytes programmed
    uint64_t writesMissed = 0;     // armed writes not followed by a NOP clock held for P9
    uint64_t writesInterrupted = 0;  // writes undone by a clock inside P10
    uint64_t rowErases = 0;
    uint64_t bulkErases = 0;
    uint64_t erasesAborted = 0;    // row or bulk erases cut short
    uint64_t tableReads = 0;
  };

  // One decoded frame. operand holds the 16 PGD levels latched on the falling
  // edges, so for a table read the high byte is what the chip shifted out.
  struct Frame {
    uint8_t command = 0;
    uint16_t operand = 0;
    uint32_t tblptr = 0;              // table pointer when the frame began
    uint64_t fourthClockHighNs = 0;   // how long the command's last clock was high
    uint64_t endNs = 0;
  };

  explicit SimPic18(ChipModel model = ChipModel::Pic18F2520);

  // Pic18Pins
  void Drive(const HostPins& pins, uint64_t nowNs) override;
  bool PgdLine(uint64_t nowNs) const override;

  ChipModel Model() const { return model_; }
  uint32_t WriteBufferSize() const { return model_ == ChipModel::Pic18F2520 ? 32 : 8; }
  uint32_t BootBlockEnd() const { return model_ == ChipModel::Pic18F2520 ? 0x800 : 0x200; }
  uint8_t BulkEraseKey() const { return model_ == ChipModel::Pic18F2520 ? 0x87 : 0x80; }
  // Implemented bits of each configuration byte; an erased byte reads as its mask.
  const std::array<uint8_t, kConfigSize>& ConfigMask() const;

  void SetFaults(const Faults& faults);
  const Faults& GetFaults() const { return faults_; }

  // Contents, for preloading and inspection. Writes through these bypass the
  // protocol and the protection.
  std::array<uint8_t, kFlashSize>& Flash() { return flash_; }
  const std::array<uint8_t, kFlashSize>& Flash() const { return flash_; }
  std::array<uint8_t, kIdSize>& Id() { return id_; }
  const std::array<uint8_t, kIdSize>& Id() const { return id_; }
  const std::array<uint8_t, kConfigSize>& Config() const { return config_; }
  void SetConfig(int index, uint8_t value);  // cut to the implemented bits
  uint16_t FlashWord(uint32_t wordIndex) const;
  void SetFlashWord(uint32_t wordIndex, uint16_t value);
  uint8_t Devid1() const { return devid1_; }
  uint8_t Devid2() const { return devid2_; }
  void SetDevid1(uint8_t value) { devid1_ = value; }
  void SetDevid2(uint8_t value) { devid2_ = value; }
  // Program memory, ID and configuration as a bulk erase leaves them.
  void EraseAll();
  // True when a table read of this program-memory byte would return 00h.
  bool IsProtected(uint32_t address) const;

  // Internal state, for tests.
  bool InProgrammingMode() const { return programming_; }
  uint32_t Tblptr() const { return tblptr_; }
  uint8_t Eecon1() const { return eecon1_; }
  uint8_t W() const { return w_; }
  bool SinglePanel() const { return singlePanel_; }
  const Counters& GetCounters() const { return counters_; }

  // Frame trace, off by default because a whole update decodes millions of bits.
  void EnableTrace(bool on) { trace_on_ = on; }
  const std::vector<Frame>& Trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }

 private:
  enum class Phase { Command, Operand };
  enum class Armed { None, Block, Config };
  enum class Erase { None, Row, Bulk };

  void EnterProgramming(uint64_t now);
  void LeaveProgramming(uint64_t now);
  void ClockRise(uint64_t now);
  void ClockFall(uint64_t now);
  void CommandDecoded(uint64_t now);
  void FrameDone(uint64_t now);

  void Execute(uint16_t instr, uint64_t now);
  uint8_t ReadSfr(uint8_t f) const;
  void WriteSfr(uint8_t f, uint8_t value, uint64_t now);
  void StartRowErase(uint64_t now);
  void SettleErase(uint64_t now);
  void FinishErase();

  void TableWrite(uint8_t code, uint16_t operand);
  void ProgramArmed(uint64_t now);
  void SettleWrite(uint64_t now);
  void ResetWriteBuffer() { buffer_.fill(0xFF); }

  uint8_t ReadByte(uint32_t address);
  uint8_t StuckBits(uint8_t value) const;
  uint32_t NextRandom();

  ChipModel model_;
  Faults faults_;
  uint64_t rng_ = 1;

  std::array<uint8_t, kFlashSize> flash_{};
  std::array<uint8_t, kIdSize> id_{};
  std::array<uint8_t, kConfigSize> config_{};
  uint8_t devid1_;
  uint8_t devid2_;
  uint32_t devid1Reads_ = 0;
  uint32_t devid2Reads_ = 0;
  bool badWordUsed_ = false;

  // Lines as last driven.
  HostPins host_{};
  bool pgdPrevPullLow_ = true;  // the host's PGD driver before its last change
  uint64_t pgdChangeNs_ = 0;

  // Programming-mode state.
  bool programming_ = false;
  uint64_t vppRiseNs_ = 0;
  bool clockCounted_ = false;  // the current high phase began in programming mode
  uint64_t riseNs_ = 0;
  Phase phase_ = Phase::Command;
  int bits_ = 0;
  uint8_t command_ = 0;
  uint16_t operand_ = 0;
  uint32_t frameTblptr_ = 0;
  uint64_t fourthHighNs_ = 0;

  bool driving_ = false;   // chip drives PGD
  bool driveLevel_ = true;
  uint8_t readData_ = 0;

  uint8_t w_ = 0;
  uint32_t tblptr_ = 0;
  uint8_t eecon1_ = 0;
  bool singlePanel_ = false;
  std::array<uint16_t, 4> recentCore_{};  // last core instructions, oldest first
  int recentCount_ = 0;

  std::array<uint8_t, 32> buffer_{};
  Armed armed_ = Armed::None;
  uint32_t armedAddress_ = 0;
  uint8_t armedConfigValue_ = 0;
  // A write just made, undone if the clock rises again within P10.
  bool writeSettling_ = false;
  uint64_t writeFallNs_ = 0;
  Armed undoKind_ = Armed::None;
  uint32_t undoAddress_ = 0;
  std::array<uint8_t, 32> undo_{};

  Erase erase_ = Erase::None;
  uint64_t eraseStartNs_ = 0;
  uint32_t eraseRow_ = 0;
  bool eraseKeyArmed_ = false;
  uint8_t eraseKeyLow_ = 0;
  uint8_t eraseKeyHigh_ = 0;

  Counters counters_;
  bool trace_on_ = false;
  std::vector<Frame> trace_;
};

}  // namespace tvn::sim
