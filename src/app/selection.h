// The main window's four indicator boxes. Prog4520 and CheckUSB are the
// program-wide selection every chip-dependent step and every line operation reads
// at the moment it acts; only detection sets them.
#pragma once

namespace tvn {

struct Selection {
  bool prog4520 = false;   // "2520": PIC18F2520 (cleared: PIC18F252)
  bool checkBox2 = false;  // "252": shown only
  bool checkUsb = false;   // "USB": the USB programmer Nimbrella drives the lines
  bool checkBox1 = false;  // "LPT": shown only
};

}  // namespace tvn
