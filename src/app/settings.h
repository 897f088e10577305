// The settings file: the configuration bytes, the printer port's base address
// and the two image paths of the parameters window. Read once at start-up;
// written on close only in the full layout, and then only the paths and the port.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/session.h"

namespace tvn {

// The executable's name with ".ini" for its extension, in the current working
// directory (not beside the executable). argv0 may be null or empty: the running
// executable is used then.
std::string SettingsPath(const char* argv0);

// ConfigWrite, Edit2, Edit5 and AdrLpt from the file; a missing file, key or a
// value that is no integer gives the defaults. Reports nothing. After it, the
// caller moves the port access to s.lpt.adrLpt when that changed.
void ReadSettings(Session& s, const std::string& path);

// Edit2, Edit5 and AdrLpt (unsigned decimal) into the file, each at once. A key
// that cannot be stored shows "Unable to write to <path>" and the remaining keys
// are not written; returns false then.
bool WriteSettings(Session& s, const std::string& path);

// What closing the main window does with the settings: in the update layout
// nothing at all, in the full layout WriteSettings. The window closes either way.
bool SaveSettingsOnClose(Session& s, const std::string& path);

// A byte as eight characters "0"/"1", bit 7 first.
std::string ByteStrToBin(uint8_t value);

// The configuration window's fields Edit1 .. Edit14 as the settings fill them.
std::array<std::string, kConfigBytes> ConfigFieldTexts(const ConfigBytes& config);

}  // namespace tvn
