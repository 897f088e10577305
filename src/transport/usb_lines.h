// The USB programmer's line driver. A line operation only changes FtPinState and
// queues it; the queue goes out, with read-back, at every wait and read. Read
// data is valid only after the next flush.
#pragma once

#include <cstdint>
#include <vector>

#include "app/host.h"
#include "app/selection.h"
#include "transport/ft_access.h"

namespace tvn {

class UsbLines {
 public:
  static constexpr uint8_t kPgcLow = 0x04;        // bit 2: clock, inverted
  static constexpr uint8_t kPgdIn = 0x08;         // bit 3: the only input
  static constexpr uint8_t kVoltSelect = 0x10;    // bit 4: 3 V / 5 V select
  static constexpr uint8_t kVpp = 0x20;           // bit 5: programming voltage on
  static constexpr uint8_t kPgdLow = 0x40;        // bit 6: 1 pulls PGD low
  static constexpr uint8_t kSampleMarker = 0x80;  // bit 7: this byte's echo is a sample
  static constexpr uint32_t kBufferSize = 65536;
  static constexpr uint32_t kMaxQueued = kBufferSize - 1;  // FTIndxOutBuff never passes it
  static constexpr int kWriteAttempts = 101;

  UsbLines(FtAccess& ft, Host& host, const Selection& sel);

  // The forms that test CheckUSB themselves and return whether they acted.
  bool SetPgc(uint8_t level);
  bool SetPgd(uint8_t level);
  bool SetVpp(uint8_t on);
  bool Tick();
  bool Delay(uint16_t n);
  // Entered only with the USB programmer selected.
  void PulsePgc();
  int GetPgd();
  uint8_t ReadIcspByte();
  void QueueReadIcspByte();

  void AppendPinState();
  uint32_t FtFlush();
  void SetVoltageSelect(bool on);
  bool Selected() const { return sel_.checkUsb; }

  uint8_t ftPinState = 0;                                         // FtPinState
  std::vector<uint8_t> ftOutBuff = std::vector<uint8_t>(kBufferSize);   // FtOutBuff
  std::vector<uint8_t> ftCopyBuff = std::vector<uint8_t>(kBufferSize);  // FtCopyBuff
  uint32_t ftIndxOutBuff = 0;                                     // FTIndxOutBuff

  FtAccess& Ft() { return ft_; }

  // The read-back rule of every read: only echoes with the sample marker count;
  // each shifts the byte being built right and brings PGD (bit 3) into bit 7, so
  // eight samples give a byte least significant bit first.
  static uint8_t DecodeSamples(const uint8_t* echoes, uint32_t count);
  // One step of that rule; false when the echo is not a sample.
  static bool ShiftInSample(uint8_t* r, uint8_t echo) {
    if (!(echo & kSampleMarker)) return false;
    *r = static_cast<uint8_t>((*r >> 1) | ((echo & kPgdIn) ? 0x80 : 0));
    return true;
  }

 private:
  FtAccess& ft_;
  void SetBit(uint8_t mask, bool on);
  bool PollQueue();  // one queue-status request; false when the request failed

  Host& host_;
  const Selection& sel_;
};

}  // namespace tvn
