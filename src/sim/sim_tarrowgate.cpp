#include "sim/sim_tarrowgate.h"

namespace tvn::sim {

SimTarrowgate::SimTarrowgate(VirtualClock& clock, Pic18Pins* chip, uint16_t base)
    : clock_(clock), chip_(nullptr), base_(base) {
  pins_ = HostPins{false, false, false};  // registers start at 00h
  AttachChip(chip);
}

void SimTarrowgate::AttachChip(Pic18Pins* chip) {
  chip_ = chip;
  if (chip_ && present_) chip_->Drive(pins_, clock_.NowNs());
}

void SimTarrowgate::SetPresent(bool present) {
  present_ = present;
  Apply();
}

bool SimTarrowgate::Echo(uint64_t nowNs) const {
  return nowNs >= requestChangeNs_ + kEchoDelayNs ? request_ : requestBefore_;
}

bool SimTarrowgate::PgdLine() const {
  if (chip_) return chip_->PgdLine(clock_.NowNs());
  return !pins_.pgdPullLow;  // only the pull-up and our own driver
}

// Hands the chip the lines as the registers now set them; the chip sees only
// real changes, so the Zad handshake costs it nothing.
void SimTarrowgate::Apply() {
  HostPins next = pins_;
  if (present_) {
    // Only the second stage puts programming voltage on MCLR.
    next.vpp = (data_ & kVppStage2) != 0;
    next.pgc = (control_ & kPgc) != 0;
    next.pgdPullLow = (data_ & kPgdPullLow) != 0;
  } else {
    next = HostPins{false, false, false};
  }
  if (next.vpp == pins_.vpp && next.pgc == pins_.pgc && next.pgdPullLow == pins_.pgdPullLow) return;
  pins_ = next;
  if (chip_) chip_->Drive(pins_, clock_.NowNs());
}

void SimTarrowgate::PortOut(uint16_t port, uint8_t value) {
  uint64_t now = clock_.NowNs();
  ++counters_.writes;
  if (port == base_) {
    ++counters_.dataWrites;
    data_ = value;
    bool req = (value & kZadRequest) != 0;
    if (present_ && req != request_) {
      requestBefore_ = Echo(now);
      request_ = req;
      requestChangeNs_ = now;
      if (req) ++counters_.zadRequests;
    }
    Apply();
  } else if (port == base_ + 2) {
    ++counters_.controlWrites;
    control_ = value;
    Apply();
  } else {
    ++counters_.foreignAccesses;
  }
  clock_.Advance(kPortAccessNs);
}

uint8_t SimTarrowgate::PortIn(uint16_t port) {
  uint64_t now = clock_.NowNs();
  ++counters_.reads;
  uint8_t v = 0xFF;
  if (port == base_ + 1) {
    ++counters_.statusReads;
    v = kIdleStatus;
    if (present_) {
      v &= static_cast<uint8_t>(~(kEcho | kPgdHighIsZero));
      if (Echo(now)) v |= kEcho;
      // The programmer inverts the read-back.
      if (!PgdLine()) v |= kPgdHighIsZero;
    }
  } else if (port == base_) {
    v = data_;  // the port's own latch
  } else if (port == base_ + 2) {
    v = control_;
  } else {
    ++counters_.foreignAccesses;
  }
  clock_.Advance(kPortAccessNs);
  return v;
}

}  // namespace tvn::sim
