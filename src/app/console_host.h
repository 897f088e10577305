// The command-line tool's window: log lines on standard output, message boxes
// and status strips on standard error.
#pragma once

#include <cstdio>
#include <string>

#include "app/host.h"

namespace tvn {

class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(std::FILE* out = stdout, std::FILE* err = stderr) : out_(out), err_(err) {}
  void Okno(const std::string& line) override;
  void ClearLog() override {}
  void MessageBox(const std::string& text, BoxKind kind) override;
  void SetLabel3(const std::string& text) override;

  int boxes = 0;  // message boxes shown

 private:
  std::FILE* out_;
  std::FILE* err_;
};

}  // namespace tvn
