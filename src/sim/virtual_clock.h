// Simulated time. Every simulated hardware access advances it by what the real
// access would cost, so timings are measured without real waiting.
#pragma once

#include <cstdint>

#include "transport/tick_source.h"

namespace tvn::sim {

class VirtualClock {
 public:
  uint64_t NowNs() const { return ns_; }
  void Advance(uint64_t ns) { ns_ += ns; }

 private:
  uint64_t ns_ = 0;
};

// The millisecond tick count on the virtual clock.
class VirtualTickSource : public TickSource {
 public:
  explicit VirtualTickSource(VirtualClock& clock) : clock_(clock) {}
  uint32_t GetTickCount() override { return static_cast<uint32_t>(clock_.NowNs() / 1000000u); }

 private:
  VirtualClock& clock_;
};

}  // namespace tvn::sim
