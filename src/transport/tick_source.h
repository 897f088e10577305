// The system's millisecond tick count: an unsigned 32-bit count that wraps. The
// USB programmer's poll rate is measured against it.
#pragma once

#include <cstdint>

namespace tvn {

class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual uint32_t GetTickCount() = 0;
};

// Milliseconds of a monotonic clock, for real hardware.
class SystemTickSource : public TickSource {
 public:
  uint32_t GetTickCount() override;
};

}  // namespace tvn
