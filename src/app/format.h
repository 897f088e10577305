// printf-style formatting of operator texts. "%x" gives upper-case digits without
// prefix; a width pads with blanks, never zeros.
#pragma once

#include <string>

namespace tvn {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tvn
