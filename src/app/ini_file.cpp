#include "app/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tvn {

namespace {

struct Line {
  std::size_t begin;  // first byte
  std::size_t end;    // one past the last byte, without the line break
  std::size_t next;   // start of the following line
};

// Splits text into lines; a final line without a break still counts.
template <typename F>
void ForEachLine(const std::string& text, F&& f) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    std::size_t end = nl == std::string::npos ? text.size() : nl;
    std::size_t next = nl == std::string::npos ? text.size() : nl + 1;
    if (end > pos && text[end - 1] == '\r') --end;
    if (!f(Line{pos, end, next})) return;
    pos = next;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text, std::size_t b, std::size_t e) {
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x < 0x80) x = static_cast<unsigned char>(std::tolower(x));
    if (y < 0x80) y = static_cast<unsigned char>(std::tolower(y));
    if (x != y) return false;
  }
  return true;
}

enum class Kind { Other, Section, Key };

struct Parsed {
  Kind kind = Kind::Other;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed
};

Parsed ParseLine(const std::string& text, const Line& l) {
  Parsed p;
  if (l.end - l.begin > IniFile::kMaxLineBytes) return p;
  std::size_t b = l.begin;
  while (b < l.end && IsBlank(text[b])) ++b;
  if (b == l.end || text[b] == ';') return p;
  if (text[b] == '[') {
    std::size_t close = text.find(']', b + 1);
    std::size_t e = (close == std::string::npos || close > l.end) ? l.end : close;
    p.kind = Kind::Section;
    p.name = Trim(text, b + 1, e);
    return p;
  }
  std::size_t eq = text.find('=', b);
  if (eq == std::string::npos || eq >= l.end) return p;
  p.kind = Kind::Key;
  p.name = Trim(text, b, eq);
  p.value = Trim(text, eq + 1, l.end);
  return p;
}

std::string LineBreakOf(const std::string& text) {
  std::size_t nl = text.find('\n');
  return (nl != std::string::npos && nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
}

std::string WithoutLineBreaks(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string SystemReason(const std::string& what, int err) { return what + ": " + std::strerror(err); }

}  // namespace

std::optional<uint64_t> ParseIniInteger(const std::string& text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return std::nullopt;
  // Wrapping arithmetic keeps the low bits exact however long the number is.
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    int d = base == 16 ? HexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (d < 0) return std::nullopt;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  return negative ? ~v + 1 : v;
}

IniFile IniFile::FromText(std::string text) {
  IniFile f;
  f.text_ = std::move(text);
  f.state_ = State::Loaded;
  return f;
}

IniFile IniFile::Load(const std::string& path) {
  IniFile f;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    f.state_ = errno == ENOENT ? State::Missing : State::Partial;
    return f;
  }
  f.state_ = State::Loaded;
  char buf[65536];
  while (true) {
    std::size_t want = std::min(sizeof buf, kMaxFileBytes + 1 - f.text_.size());
    std::size_t n = std::fread(buf, 1, want, in);
    f.text_.append(buf, n);
    if (f.text_.size() > kMaxFileBytes) {
      f.text_.resize(kMaxFileBytes);
      f.state_ = State::Partial;
      break;
    }
    if (n < want) {
      if (std::ferror(in)) f.state_ = State::Partial;
      break;
    }
  }
  std::fclose(in);
  return f;
}

std::optional<std::string> IniFile::Find(const std::string& section, const std::string& key) const {
  bool inSection = false, seen = false;
  std::optional<std::string> found;
  ForEachLine(text_, [&](const Line& l) {
    Parsed p = ParseLine(text_, l);
    if (p.kind == Kind::Section) {
      if (inSection) return false;  // only the first section of that name counts
      inSection = !seen && SameName(p.name, section);
      seen = seen || inSection;
    } else if (p.kind == Kind::Key && inSection && SameName(p.name, key)) {
      found = p.value;
      return false;
    }
    return true;
  });
  return found;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  auto v = Find(section, key);
  return v ? *v : def;
}

uint64_t IniFile::ReadInteger(const std::string& section, const std::string& key, uint64_t def) const {
  auto v = Find(section, key);
  if (!v) return def;
  auto n = ParseIniInteger(*v);
  return n ? *n : def;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string eol = LineBreakOf(text_);
  const std::string clean = WithoutLineBreaks(value);

  bool inSection = false, done = false;
  std::optional<Line> header, lastFilled;
  ForEachLine(text_, [&](const Line& l) {
    Parsed p = ParseLine(text_, l);
    if (p.kind == Kind::Section) {
      if (inSection) return false;
      if (!header && SameName(p.name, section)) {
        inSection = true;
        header = l;
        lastFilled = l;
      }
      return true;
    }
    if (!inSection) return true;
    if (p.kind == Kind::Key && SameName(p.name, key)) {
      // Keep the key as the file spells it; only the value changes.
      std::string line = p.name + "=" + clean;
      text_.replace(l.begin, l.end - l.begin, line);
      done = true;
      return false;
    }
    if (Trim(text_, l.begin, l.end).size() > 0) lastFilled = l;
    return true;
  });
  if (done) return;

  std::string keyLine = key + "=" + clean;
  if (header) {
    // After the last filled line of the section, before any blank lines.
    std::size_t at = lastFilled->next;
    if (at == text_.size() && text_.back() != '\n') {  // the file ends on that line
      text_.insert(at, eol + keyLine);
    } else {
      text_.insert(at, keyLine + eol);
    }
    return;
  }
  if (!text_.empty() && text_.back() != '\n') text_ += eol;
  text_ += "[" + section + "]" + eol + keyLine + eol;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& text, std::string* why) {
  std::string reason;
  // Rewrite the file a link points to, not the link.
  std::string target = path;
  struct stat st {};
  bool exists = ::lstat(path.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;
    exists = ::stat(target.c_str(), &st) == 0;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    if (why) *why = target + ": не обычный файл";
    return false;
  }

  std::string tmp = target + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    if (why) *why = SystemReason(tmp, errno);
    return false;
  }
  bool ok = true;
  std::size_t off = 0;
  while (ok && off < text.size()) {
    ssize_t n = ::write(fd, text.data() + off, text.size() - off);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = SystemReason(tmp, n < 0 ? errno : ENOSPC);
      ok = false;
    } else {
      off += static_cast<std::size_t>(n);
    }
  }
  // mkstemp makes the file private; a settings file keeps the mode it had.
  if (ok) {
    mode_t mode;
    if (exists) {
      mode = st.st_mode & 07777;
    } else {
      mode_t mask = ::umask(0);
      ::umask(mask);
      mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
  }
  if (ok && ::fsync(fd) != 0) {
    reason = SystemReason(tmp, errno);
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    reason = SystemReason(tmp, errno);
    ok = false;
  }
  if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
    reason = SystemReason(target, errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    if (why) *why = reason;
  }
  return ok;
}

bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, std::string* why) {
  IniFile f = IniFile::Load(path);
  if (f.GetState() == IniFile::State::Partial) {
    // Rewriting what we could not read whole would lose the rest of it.
    if (why) *why = path + ": файл не читается целиком";
    return false;
  }
  f.WriteString(section, key, value);
  return ReplaceFileAtomically(path, f.Text(), why);
}

}  // namespace tvn
