// printf-style formatting of operator texts. Operator texts show hex numbers in
// upper case without prefix, a width padding with blanks, never zeros: write
// them as "%X" and "%3X", not "%03X".
#pragma once

#include <string>

namespace tvn {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tvn
