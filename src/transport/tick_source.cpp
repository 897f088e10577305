#include "transport/tick_source.h"

#include <chrono>

namespace tvn {

uint32_t SystemTickSource::GetTickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(ms.count());
}

}  // namespace tvn
