#include "app/console_host.h"

namespace tvn {

void ConsoleHost::Okno(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ConsoleHost::MessageBox(const std::string& text, BoxKind kind) {
  ++boxes;
  std::fprintf(err_, "%s %s\n", kind == BoxKind::Error ? "[ошибка]" : "[сообщение]", text.c_str());
  std::fflush(err_);
}

void ConsoleHost::SetLabel3(const std::string& text) {
  std::fprintf(err_, "[образ] %s\n", text.c_str());
  std::fflush(err_);
}

}  // namespace tvn
