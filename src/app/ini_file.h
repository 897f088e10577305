// A small INI file reader and writer with the behaviour of the classic profile
// string functions: section and key names match without regard to case, blanks
// around names and values are ignored, the first matching section and key win,
// a written key replaces its line in place, a missing section or key is created,
// and every other byte of the file stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tvn {

class IniFile {
 public:
  // A settings file is a few hundred bytes; anything past this is not ours to
  // rewrite, and reading stops there.
  static constexpr std::size_t kMaxFileBytes = 16u << 20;
  // Longer lines are skipped when looking up keys (they stay in the file).
  static constexpr std::size_t kMaxLineBytes = 64u << 10;

  enum class State {
    Missing,   // no such file: reads as empty, writing creates it
    Loaded,    // the whole file is in memory
    Partial,   // unreadable or too large: lookups see what was read, never rewrite it
  };

  IniFile() = default;
  static IniFile Load(const std::string& path);
  static IniFile FromText(std::string text);

  // The value of the first key of that name in the first section of that name;
  // empty when the key is absent.
  std::optional<std::string> Find(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // The integer forms: optionally signed decimal, "$" or "0x"/"0X" hexadecimal.
  // Other text reads as the default. The result keeps the low 64 bits of any
  // size of number (two's complement for negatives), so a caller that keeps only
  // its low 8 or 16 bits gets them right whatever the length.
  uint64_t ReadInteger(const std::string& section, const std::string& key, uint64_t def) const;

  // Sets the key in memory. Line breaks in the value are dropped: they would
  // split the line and plant a foreign key in the file.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

  const std::string& Text() const { return text_; }
  State GetState() const { return state_; }

 private:
  std::string text_;
  State state_ = State::Missing;
};

// The integer forms of ReadInteger; nullopt for anything else.
std::optional<uint64_t> ParseIniInteger(const std::string& text);

// Writes one key into the file the way the profile functions do it, safely: the
// new contents go into a file beside the old one, which is then renamed over it,
// so a crash or a full disk leaves either the old file or the new one. A file
// that cannot be read whole is not rewritten. Returns false, with a reason in
// *why when given, when the key could not be stored.
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value, std::string* why = nullptr);

// Replaces the file at path by text through a temporary file and a rename.
bool ReplaceFileAtomically(const std::string& path, const std::string& text, std::string* why = nullptr);

}  // namespace tvn
