// A simulated FT232R in synchronous bit-bang mode, wired to a chip's ICSP header
// the way the USB programmer Nimbrella wires it:
//   bit 2  PGC through an inverting driver (0 = clock high)
//   bit 3  input: the PGD line (1 = high)
//   bit 4  3 V / 5 V select (recorded, no effect on the chip)
//   bit 5  VPP on MCLR (1 = on)
//   bit 6  PGD pull-low (1 = PGD driven low)
//   bit 7  sample marker: an output nothing else uses; it reads back as driven
//   bits 0, 1  unused outputs
//
// Synchronous bit-bang: every byte written drives the lines, and for every byte
// one byte comes back holding the levels sampled just before that byte was
// applied, so the read-back runs one byte behind the writes. The lines move only
// in mode 4 with the output mask F7h; in any other mode written bytes leave as
// serial data and nothing comes back.
//
// Timing on the virtual clock: bytes are applied one after another at the
// bit-bang rate of 4 x baud bytes per second (libftdi's rule; 614400 bytes/s at
// 153600 baud, 1.63 us a byte), each at its own virtual time; the chip's Drive
// is called for every byte that changes its lines, at that byte's time. A write
// blocks until its bytes are on the lines. Each echo becomes readable one USB
// frame (1 ms, or the latency timer if longer) after its byte was sampled, so a
// transfer costs at least 1 ms plus its bytes. A queue-status request costs a
// fixed 20 us by default, so the poll rate the program measures on it behaves
// like a real device's.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/pic18_pins.h"
#include "sim/virtual_clock.h"
#include "transport/d2xx.h"

namespace tvn::sim {

class SimFtdi : public D2xx {
 public:
  static constexpr uint8_t kPgcLow = 0x04;
  static constexpr uint8_t kPgdIn = 0x08;
  static constexpr uint8_t kVoltSelect = 0x10;
  static constexpr uint8_t kVpp = 0x20;
  static constexpr uint8_t kPgdLow = 0x40;
  static constexpr uint8_t kMarker = 0x80;
  static constexpr uint8_t kProgrammerMask = 0xF7;  // every line but PGD sense is an output

  static constexpr uint64_t kUsbFrameNs = 1000000;      // echo latency of one frame
  static constexpr uint64_t kDefaultPollNs = 20000;     // one queue-status request
  static constexpr uint32_t kPowerOnBaud = 9600;
  static constexpr uint64_t kInfiniteWaitNs = 3600ull * 1000000000ull;  // "no time-out"

  // chip may be null: the programmer is plugged in with nothing on its header.
  SimFtdi(VirtualClock& clock, Pic18Pins* chip);

  // --- set-up and fault injection -------------------------------------------
  // Descriptions of the FTDI devices on the bus, in list order. The chip is wired
  // to the first one described "Nimbrella" (or to SetChipDevice's index).
  void SetDevices(const std::vector<std::string>& descriptions);
  void SetChipDevice(int index) { chipDevice_ = index; }
  void SetAbsent() { SetDevices({}); }
  void SetPollCostNs(uint64_t ns) { pollNs_ = ns; }
  // The wired device disappears once this many more bytes have been applied:
  // the write in progress stops there and every later call fails with an I/O
  // error; the device leaves the list.
  void UnplugAfter(uint64_t bytes);
  // The next `writes` writes take at most `maxBytes` bytes each and report that;
  // the rest is never applied.
  void ShortWrites(int writes, uint32_t maxBytes);
  // The next `writes` writes put all their bytes on the lines but report at most
  // `reported` of them written (a write time-out racing the last packet).
  void UnderReportWrites(int writes, uint32_t reported);
  // The echoes of applied bytes [first, first + count) (counted over all bytes
  // ever applied, see BytesWritten) never arrive.
  void LoseEchoes(uint64_t first, uint64_t count);
  // Keep a copy of the bytes of every write (tests); off by default.
  void RecordWrites(bool on) { recordWrites_ = on; }

  // --- what happened -------------------------------------------------------
  uint64_t Transfers() const { return transfers_; }        // write calls on an open device
  uint64_t BytesWritten() const { return bytesApplied_; }  // bytes put on the lines
  uint64_t QueueStatusRequests() const { return queueRequests_; }
  uint64_t Purges() const { return purges_; }
  uint64_t ReadRequests() const { return readRequests_; }
  uint64_t DescriptionRequests() const { return descriptionRequests_; }
  uint64_t CountRequests() const { return countRequests_; }
  const std::vector<std::vector<uint8_t>>& Writes() const { return writes_; }
  uint8_t Lines() const;  // the wired device's output lines as last driven
  bool VoltageSelect() const { return (Lines() & kVoltSelect) != 0; }
  bool Unplugged() const { return unplugged_; }
  // The wired device's configuration as the program left it.
  uint8_t Mode() const;
  uint8_t Mask() const;
  uint32_t Baud() const;
  uint8_t LatencyMs() const;
  uint32_t ReadTimeoutMs() const;
  uint32_t WriteTimeoutMs() const;
  uint64_t BytePeriodNs() const;

  // --- D2xx ----------------------------------------------------------------
  FT_STATUS ListDeviceCount(int32_t* count) override;
  FT_STATUS ListDeviceDescription(int32_t index, char* buf64) override;
  FT_STATUS OpenByDescription(const char* description, FT_HANDLE* handle) override;
  FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) override;
  FT_STATUS SetLatencyTimer(FT_HANDLE h, uint8_t ms) override;
  FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) override;
  FT_STATUS Purge(FT_HANDLE h, uint32_t mask) override;
  FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) override;
  FT_STATUS Write(FT_HANDLE h, const uint8_t* buf, uint32_t n, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE h, uint8_t* buf, uint32_t n, uint32_t* received) override;

 private:
  struct Echo {
    uint64_t sampledNs;  // when the levels were taken
    uint64_t readyNs;    // when the driver has it
    uint8_t levels;
  };
  struct Device {
    std::string description;
    bool present = true;
    bool open = false;
    bool gone = false;  // unplugged while open
    uint8_t mode = 0;
    uint8_t mask = 0;
    uint32_t baud = kPowerOnBaud;
    uint8_t latencyMs = 16;
    uint32_t readTimeoutMs = 0;   // 0: wait for ever
    uint32_t writeTimeoutMs = 0;
    uint8_t out = 0;              // output latch
    uint64_t busyUntilNs = 0;     // last byte applied
    std::deque<Echo> rx;          // echoes on their way to or in the driver
  };

  Device* Lookup(FT_HANDLE h, FT_STATUS* status);
  bool Wired(const Device& d) const;
  int WiredIndex() const;
  const Device* WiredDevice() const;
  bool PinsMove(const Device& d) const { return d.mode == FT_BITMODE_SYNC_BITBANG && d.mask == kProgrammerMask; }
  static HostPins PinsOf(uint8_t lines);
  uint8_t SampleLevels(const Device& d, uint64_t atNs) const;
  void Apply(Device& d, uint8_t byte, uint64_t atNs);
  void Unplug(Device& d, uint64_t atNs);
  size_t ReadyCount(const Device& d) const;

  VirtualClock& clock_;
  Pic18Pins* chip_;
  std::vector<Device> devices_;
  int chipDevice_ = -1;  // -1: the first "Nimbrella"
  uint64_t pollNs_ = kDefaultPollNs;
  HostPins driven_{};
  bool pinsDriven_ = false;

  bool unplugArmed_ = false;
  uint64_t unplugAt_ = 0;
  bool unplugged_ = false;
  int shortWritesLeft_ = 0;
  uint32_t shortWriteMax_ = 0;
  int underReportsLeft_ = 0;
  uint32_t underReportMax_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> lost_;  // [first, end) of lost echoes
  bool recordWrites_ = false;

  uint64_t transfers_ = 0;
  uint64_t bytesApplied_ = 0;
  uint64_t queueRequests_ = 0;
  uint64_t purges_ = 0;
  uint64_t readRequests_ = 0;
  uint64_t descriptionRequests_ = 0;
  uint64_t countRequests_ = 0;
  std::vector<std::vector<uint8_t>> writes_;
};

}  // namespace tvn::sim
