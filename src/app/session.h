// The program-wide state of one programmer station: the selection, the images,
// both programmers' line drivers and the results the windows show. One object per
// station, so tests can run two side by side.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "app/host.h"
#include "app/selection.h"
#include "image/reference_image.h"
#include "icsp/icsp.h"
#include "transport/d2xx.h"
#include "transport/ft_access.h"
#include "transport/icsp_lines.h"
#include "transport/lpt_lines.h"
#include "transport/port_io.h"
#include "transport/tick_source.h"
#include "transport/usb_lines.h"

namespace tvn {

// What the hardware of a station is: the printer port, the FTDI library and the
// millisecond clock. Real hardware or the simulated bench provides them.
struct Hardware {
  PortIo& port;
  D2xx& d2xx;
  TickSource& ticks;
};

struct Session {
  Session(Host& h, Hardware hw)
      : host(h),
        progress(h),
        lpt(hw.port),
        ft(hw.d2xx, h, hw.ticks),
        usb(ft, h, sel),
        lines(sel, lpt, usb),
        icsp(lines, sel),
        ticks(hw.ticks) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Host& host;
  Progress progress;  // Gauge1
  Selection sel;
  ReferenceImage image;
  LptLines lpt;
  FtAccess ft;
  UsbLines usb;
  IcspLines lines;
  Icsp icsp;
  TickSource& ticks;

  bool programmerAnnounced = false;  // ProgrammerAnnounced

  // Configuration window: what was read, and the result line of the last write.
  ConfigBytes configRead{};  // ConfigRead
  uint8_t devid1 = 0, devid2 = 0;
  std::string configResult;  // StaticText1 of the configuration window

  // Automatic-programming group of the full layout.
  std::string autoResult = "OK";  // StaticText1 of the main window
  bool protectOn = false;         // RadioButton2 "Поставить защиту"; cleared = RadioButton1

  // Settings kept for the parameters window: the two image paths.
  std::string edit2 = "c:\\";
  std::string edit5 = "c:\\";
  // Obnovl: the update layout (set as delivered); cleared shows the full layout.
  bool obnovl = true;

  // Where the encrypted built-in images come from; empty means the ones linked
  // into the program. The simulated bench uses it to hand over a damaged image.
  std::function<std::span<const uint8_t>(bool prog4520)> imageSource;

  // True while an operation runs; a second start is refused.
  bool busy = false;
};

}  // namespace tvn
