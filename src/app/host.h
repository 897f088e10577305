// What the core sees of the operator's window: the log, the progress bar, the
// status strips, message boxes and the keep-alive. The Qt main window, the
// console of the command-line tool and the test recorder all implement it, so the
// same operations run in each of them. No core code includes Qt.
#pragma once

#include <string>

namespace tvn {

enum class BoxKind {
  Information,  // information icon, a single Cancel button (wrong chip ID)
  Error,        // error icon, a single OK button (FTDI calls, settings file, image load)
};

class Host {
 public:
  virtual ~Host() = default;

  // Append one line at the end of the log (Okno).
  virtual void Okno(const std::string& line) = 0;
  virtual void ClearLog() = 0;
  // Bracket a burst of lines so the log repaints once.
  virtual void BeginLogUpdate() {}
  virtual void EndLogUpdate() {}

  // The progress bar Gauge1, with values already clamped by Progress.
  virtual void ShowGauge(int max, int pos) { (void)max; (void)pos; }

  // Process pending window messages, so the window stays alive in long loops.
  virtual void KeepAlive() {}

  // A modal box; returns when the operator has closed it.
  virtual void MessageBox(const std::string& text, BoxKind kind) = 0;

  // One-line status fields of the main window.
  virtual void SetLabel2(const std::string& text) { (void)text; }  // identification, ID words
  virtual void SetLabel3(const std::string& text) { (void)text; }  // image load result

  // The four indicator boxes or the result field changed: redraw them.
  virtual void IndicatorsChanged() {}
  virtual void SetBusyCursor(bool busy) { (void)busy; }

  // UpravlKnopk: lock = true saves the enabled state of the fifteen operation
  // controls and disables them (the starting control stays enabled); lock = false
  // gives the saved states back. The window knows which control started the run.
  virtual void UpravlKnopk(bool lock) { (void)lock; }
};

// Gauge1: the bar stores every position clamped to [0, max], like the window's
// progress bar does, so a position past the end shows a full bar.
class Progress {
 public:
  explicit Progress(Host& host) : host_(host) {}
  void SetMax(int max) {
    max_ = max < 0 ? 0 : max;
    pos_ = Clamp(pos_);
    host_.ShowGauge(max_, pos_);
  }
  void SetPos(long long pos) {
    int p = Clamp(pos);
    if (p == pos_) return;
    pos_ = p;
    host_.ShowGauge(max_, pos_);
  }
  int Max() const { return max_; }
  int Pos() const { return pos_; }

 private:
  int Clamp(long long p) const { return p < 0 ? 0 : (p > max_ ? max_ : static_cast<int>(p)); }
  Host& host_;
  int max_ = 100;
  int pos_ = 0;
};

}  // namespace tvn
