// A Host that keeps everything the core reports, for tests.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/host.h"

namespace tvn::test {

class RecordingHost : public Host {
 public:
  void Okno(const std::string& line) override { log.push_back(line); }
  void ClearLog() override {
    log.clear();
    ++clears;
  }
  void ShowGauge(int max, int pos) override {
    gaugeMax = max;
    gaugePos = pos;
  }
  void KeepAlive() override {
    ++keepAlives;
    if (onKeepAlive) onKeepAlive();
  }
  void MessageBox(const std::string& text, BoxKind kind) override { boxes.emplace_back(text, kind); }
  void SetLabel2(const std::string& text) override { label2 = text; }
  void SetLabel3(const std::string& text) override { label3 = text; }
  void SetBusyCursor(bool busy) override { busyCursor = busy; }
  void UpravlKnopk(bool lock) override {
    locks.push_back(lock);
    locked = lock;
  }

  std::vector<std::string> log;
  std::vector<std::pair<std::string, BoxKind>> boxes;
  std::vector<bool> locks;
  std::string label2, label3;
  int gaugeMax = 0, gaugePos = 0;
  int clears = 0;
  long keepAlives = 0;
  bool busyCursor = false;
  bool locked = false;
  std::function<void()> onKeepAlive;
};

}  // namespace tvn::test
