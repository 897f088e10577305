#include "transport/usb_lines.h"

#include <algorithm>

#include "app/format.h"

namespace tvn {

UsbLines::UsbLines(FtAccess& ft, Host& host, const Selection& sel) : ft_(ft), host_(host), sel_(sel) {
  ft_.SetOutBuffer(ftOutBuff.data());
}

void UsbLines::SetBit(uint8_t mask, bool on) {
  ftPinState = static_cast<uint8_t>(on ? (ftPinState | mask) : (ftPinState & ~mask));
}

void UsbLines::AppendPinState() {
  // FTIndxOutBuff is public (the debug window sets it); never index past the buffer.
  if (ftIndxOutBuff > kMaxQueued) ftIndxOutBuff = kMaxQueued;
  ftOutBuff[ftIndxOutBuff] = ftPinState;
  if (ftIndxOutBuff < kMaxQueued) {
    ++ftIndxOutBuff;
  } else {
    host_.Okno(Format("Ошибка переполнения =%d", static_cast<int>(ftIndxOutBuff)));
  }
}

bool UsbLines::PollQueue() { return ft_.FtGetQueueStatus() == FT_OK; }

uint32_t UsbLines::FtFlush() {
  if (!sel_.checkUsb) return 0;
  if (ftIndxOutBuff > kMaxQueued) ftIndxOutBuff = kMaxQueued;
  const uint32_t n = ftIndxOutBuff;
  std::copy_n(ftOutBuff.begin(), n, ftCopyBuff.begin());

  // Echoes left over from earlier traffic would be taken for this transfer's.
  if (PollQueue() && ft_.ftQBytes != 0) ft_.FtPurgeRx();
  ft_.ftQBytes = 0;

  const uint64_t pollLimit = 4ull * ft_.ftPollsPerMs;  // about 4 ms of requests
  uint32_t toSend = n;
  uint32_t sentFrom = 0;  // FtOutBuff[0] is FtCopyBuff[sentFrom]
  uint64_t polls = 0;
  for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
    if (ft_.ftQBytes < ftIndxOutBuff) {
      toSend = ftIndxOutBuff - std::max(ft_.ftQBytes, sentFrom);
    } else {
      host_.Okno(Format("Ошибка-1 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ", static_cast<int>(ftIndxOutBuff),
                        static_cast<int>(ft_.ftQBytes)));
    }
    const uint32_t written = ft_.FtWrite(toSend);
    const bool refused = ft_.lastWriteStatus != FT_OK;

    ft_.ftQBytes = 0;
    polls = 0;
    while (ft_.ftQBytes < ftIndxOutBuff) {
      bool ok = PollQueue();
      ++polls;
      // A failed request has had its box; the device will not answer the next one either.
      if (!ok || polls > pollLimit) break;
    }
    if (written >= toSend) break;
    // The device refused the call (gone, bad handle): another attempt only
    // brings another box.
    if (refused) break;

    // Short write. Every byte the driver took, and every byte that echoed, is
    // already on the lines: send again only what lies beyond both, so no pin
    // state reaches the chip twice.
    const uint32_t onLines = std::min(ftIndxOutBuff, std::max(ft_.ftQBytes, sentFrom + written));
    if (onLines >= ftIndxOutBuff) {
      host_.Okno(Format("Ошибка-2 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ", static_cast<int>(ftIndxOutBuff),
                        static_cast<int>(ft_.ftQBytes)));
      break;
    }
    for (uint32_t m = onLines; m < ftIndxOutBuff; ++m) ftOutBuff[m - onLines] = ftCopyBuff[m];
    sentFrom = onLines;
  }

  const uint32_t received = ft_.FtRead(ftIndxOutBuff);

  while (ft_.ftQBytes > 0) {
    bool ok = PollQueue();
    ++polls;
    if (!ok || polls > pollLimit) break;
  }
  ftIndxOutBuff = 0;
  return received;
}

bool UsbLines::SetPgc(uint8_t level) {
  if (!sel_.checkUsb) return false;
  SetBit(kPgcLow, (level & 1) == 0);  // inverting driver: 0 in the byte is clock high
  AppendPinState();
  return true;
}

bool UsbLines::SetPgd(uint8_t level) {
  if (!sel_.checkUsb) return false;
  SetBit(kPgdLow, (level & 1) != 0);
  AppendPinState();
  return true;
}

bool UsbLines::SetVpp(uint8_t on) {
  if (!sel_.checkUsb) return false;
  SetBit(kVpp, (on & 1) != 0);
  AppendPinState();
  FtFlush();
  return true;
}

bool UsbLines::Tick() {
  if (!sel_.checkUsb) return false;
  AppendPinState();
  return true;
}

bool UsbLines::Delay(uint16_t n) {
  if (!sel_.checkUsb) return false;
  AppendPinState();
  FtFlush();
  const uint64_t ms = n / 100;
  uint64_t count = ms * ft_.ftPollsPerMs;
  if (ft_.ftPollsPerMs == 0) {
    // Slower than one request a millisecond: still wait the whole time, counted
    // by the requests that fitted in the 100 ms measurement.
    count = (ms * ft_.ftPollsPer100Ms + 99) / 100;
  }
  for (uint64_t i = 0; i <= count; ++i) {
    if (!PollQueue()) break;
  }
  return true;
}

void UsbLines::PulsePgc() {
  Tick();
  Tick();
  SetPgc(1);
  Tick();
  Tick();
  SetPgc(0);
  Tick();
  Tick();
}

int UsbLines::GetPgd() {
  SetBit(kSampleMarker, true);
  AppendPinState();
  SetBit(kSampleMarker, false);
  for (int i = 0; i < 4; ++i) AppendPinState();
  const uint32_t received = FtFlush();
  for (uint32_t i = 0; i < received; ++i) {
    uint8_t echo = ft_.ftInBuff[i];
    if ((echo & kSampleMarker) && (echo & kPgdIn)) return 1;
  }
  return 0;
}

void UsbLines::QueueReadIcspByte() {
  for (int i = 0; i < 8; ++i) PulsePgc();  // operand byte the chip ignores
  SetPgd(0);                               // release PGD: the chip drives it now
  for (int i = 0; i < 8; ++i) {
    SetPgc(1);
    Tick();
    Tick();
    SetPgc(0);
    // The marked byte follows the falling edge: the chip's bit is on PGD then.
    SetBit(kSampleMarker, true);
    AppendPinState();
    SetBit(kSampleMarker, false);
    AppendPinState();
  }
}

uint8_t UsbLines::DecodeSamples(const uint8_t* echoes, uint32_t count) {
  uint8_t r = 0;
  for (uint32_t i = 0; i < count; ++i) ShiftInSample(&r, echoes[i]);
  return r;
}

uint8_t UsbLines::ReadIcspByte() {
  // The read command goes out first, so the next transfer's echoes are this read alone.
  FtFlush();
  QueueReadIcspByte();
  const uint32_t received = FtFlush();
  return DecodeSamples(ft_.ftInBuff.data(), received);
}

void UsbLines::SetVoltageSelect(bool on) {
  if (!sel_.checkUsb) return;
  SetBit(kVoltSelect, on);
}

}  // namespace tvn
