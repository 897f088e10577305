#include "app/operations.h"

#include "config/config_access.h"
#include "icsp/detect.h"
#include "icsp/memory_ops.h"
#include "image/builtin_images.h"

namespace tvn {

namespace {

const char* const kUpdateOk = "Программирование - OK. Можно подключать следующий модуль.";
const char* const kUpdateFailed = "Ошибка при программирвании.";

// Marks the session busy for the length of one operator operation; a start
// while another one runs is refused instead of interleaving with it.
class BusyScope {
 public:
  explicit BusyScope(Session& s) : s_(s), acquired_(!s.busy) {
    if (acquired_) s_.busy = true;
  }
  ~BusyScope() {
    if (acquired_) s_.busy = false;
  }
  bool Acquired() const { return acquired_; }

 private:
  Session& s_;
  bool acquired_;
};

void EraseChip(Session& s) {
  s.host.UpravlKnopk(true);
  IcspLines& l = s.lines;
  l.SetPgc(0);
  l.SetPgd(1);
  l.Tick();
  l.Delay(1400);
  l.SetVpp(1);
  l.Tick();
  l.SetVpp(0);
  l.Tick();
  l.SetVpp(1);
  l.Delay(600);
  s.icsp.BulkErase();
  l.SetPgc(0);
  l.SetPgd(1);
  l.SetVpp(0);
  s.host.UpravlKnopk(false);
}

void SetAutoResult(Session& s, const char* text) {
  s.autoResult = text;
  s.host.IndicatorsChanged();
}

void SetProtectChoice(Session& s, bool on) {
  s.protectOn = on;
  s.host.IndicatorsChanged();
}

// The locked steps after the erase; false at the first failing step.
bool ProgramSteps(Session& s) {
  bool configOk = WriteWordConfig(s, kConfigWriteKind);
  s.host.KeepAlive();
  s.host.Okno(s.configResult);
  if (!configOk) return false;
  s.host.KeepAlive();
  if (!ProgramMemory(s)) return false;
  s.host.KeepAlive();
  s.host.Okno("Чтение кристала.");
  ReadMemory(s);
  s.host.KeepAlive();
  if (!CompareMemory(s)) return false;
  s.host.KeepAlive();
  SetProtectChoice(s, true);
  s.host.KeepAlive();
  if (!WriteWordConfig(s, kProtectWriteKind)) return false;
  s.host.KeepAlive();
  s.host.Okno(s.configResult);
  s.host.KeepAlive();
  SetProtectChoice(s, false);
  return true;
}

bool RunAutomaticSequence(Session& s) {
  if (!DetectChip(s)) return false;
  // A failed load leaves a partial image in BuffEt: never program it.
  if (SpeedButton7Click(s) != 0) {
    SetAutoResult(s, "X");
    s.host.Okno(kUpdateFailed);
    return false;
  }
  SetAutoResult(s, "  ");

  s.host.ClearLog();
  s.host.KeepAlive();
  s.host.Okno("Очистка ProgMem.");
  EraseChip(s);
  s.host.UpravlKnopk(true);
  s.host.KeepAlive();

  bool ok = ProgramSteps(s);
  SetAutoResult(s, ok ? "OK" : "X");
  s.host.Okno(ok ? kUpdateOk : kUpdateFailed);
  s.host.UpravlKnopk(false);
  return ok;
}

}  // namespace

bool SpeedButton4Click(Session& s) {
  BusyScope busy(s);
  if (!busy.Acquired()) return false;
  s.host.SetBusyCursor(true);
  s.host.ClearLog();
  s.host.KeepAlive();
  bool ok = RunAutomaticSequence(s);
  s.host.SetBusyCursor(false);
  s.host.KeepAlive();
  return ok;
}

bool Avtom_Prog_PClick(Session& s) {
  BusyScope busy(s);
  if (!busy.Acquired()) return false;
  return RunAutomaticSequence(s);
}

void SpeedButton12Click(Session& s) {
  BusyScope busy(s);
  if (!busy.Acquired()) return;
  EraseChip(s);
}

}  // namespace tvn
