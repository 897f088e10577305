#include "app/settings.h"


#include <filesystem>

#include "app/ini_file.h"

namespace tvn {

namespace {

constexpr const char* kFormConfig = "FormConfig";
constexpr const char* kFormParam = "Form_Param";
constexpr const char* kDefaultPath = "c:\\";
constexpr uint16_t kDefaultAdrLpt = 888;

std::string ExecutableName(const char* argv0) {
  std::string path = argv0 ? argv0 : "";
  if (path.empty()) {
    std::error_code ec;
    path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  }
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string SettingsPath(const char* argv0) {
  std::string name = ExecutableName(argv0);
  // The extension is what follows the last dot; a leading dot names a hidden
  // file and is no extension.
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  name += ".ini";
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  if (ec || cwd.empty()) return name;
  if (cwd.back() == '/') cwd.pop_back();
  return cwd + "/" + name;
}

void ReadSettings(Session& s, const std::string& path) {
  IniFile ini = IniFile::Load(path);
  for (int i = 0; i < kConfigBytes; ++i) {
    uint64_t v = ini.ReadInteger(kFormConfig, "ConfigWrite[" + std::to_string(i) + "]", 0);
    s.image.configWrite[static_cast<std::size_t>(i)] = static_cast<uint8_t>(v);
  }
  s.edit2 = ini.ReadString(kFormParam, "Edit2", kDefaultPath);
  s.edit5 = ini.ReadString(kFormParam, "Edit5", kDefaultPath);
  s.lpt.adrLpt = static_cast<uint16_t>(ini.ReadInteger(kFormParam, "AdrLpt", kDefaultAdrLpt));
}

bool WriteSettings(Session& s, const std::string& path) {
  const std::pair<const char*, std::string> keys[] = {
      {"Edit2", s.edit2},
      {"Edit5", s.edit5},
      {"AdrLpt", std::to_string(static_cast<unsigned>(s.lpt.adrLpt))},
  };
  for (const auto& [key, value] : keys) {
    if (!IniWriteString(path, kFormParam, key, value)) {
      s.host.MessageBox("Unable to write to " + path, BoxKind::Error);
      return false;
    }
  }
  return true;
}

bool SaveSettingsOnClose(Session& s, const std::string& path) {
  if (s.obnovl) return true;
  return WriteSettings(s, path);
}

std::string ByteStrToBin(uint8_t value) {
  std::string bits(8, '0');
  for (int i = 0; i < 8; ++i)
    if (value & (0x80 >> i)) bits[static_cast<std::size_t>(i)] = '1';
  return bits;
}

std::array<std::string, kConfigBytes> ConfigFieldTexts(const ConfigBytes& config) {
  std::array<std::string, kConfigBytes> out;
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = ByteStrToBin(config[i]);
  return out;
}

}  // namespace tvn
