#include "image/builtin_images.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/hex_reader.h"
#include "image/rc6w8r8b10.h"

namespace tvn {

// The encrypted images, generated from firmware/*.hex by the image tool at build
// time.
namespace builtin {
extern const uint8_t kDataArray[];
extern const std::size_t kDataArraySize;
extern const uint8_t kDataArray1[];
extern const std::size_t kDataArray1Size;
}  // namespace builtin

namespace {

void LoadError(Session& s, const std::string& text) { s.host.MessageBox(text, BoxKind::Error); }

std::string FileError(const char* what, const std::string& why) {
  return std::string(what) + " " + kTempImageFile + ": " + why;
}

}  // namespace

std::span<const uint8_t> BuiltinImage(bool prog4520) {
  return prog4520 ? std::span<const uint8_t>(builtin::kDataArray1, builtin::kDataArray1Size)
                  : std::span<const uint8_t>(builtin::kDataArray, builtin::kDataArraySize);
}

const char* BuiltinImageName(bool prog4520) { return prog4520 ? "DATAARRAY1" : "DATAARRAY"; }

namespace {
std::span<const uint8_t> SelectedImage(const Session& s) {
  return s.imageSource ? s.imageSource(s.sel.prog4520) : BuiltinImage(s.sel.prog4520);
}
}  // namespace

int ExecuteResurse(Session& s) { return ExecuteResurse(s, SelectedImage(s)); }

int ExecuteResurse(Session& s, std::span<const uint8_t> encrypted) {
  // The round keys are rebuilt at every load, so nothing of an earlier load
  // carries over.
  const RoundKeys keys = Rc6SetKey(kImageKey);
  if (encrypted.empty()) {
    LoadError(s, std::string("Встроенный образ ") + BuiltinImageName(s.sel.prog4520) +
                     " отсутствует или пуст");
    return -1;
  }

  std::string why;
  if (!DecryptImage(keys, encrypted, kTempImageFile, &why)) {
    LoadError(s, FileError("Не удалось записать файл", why));
    return -1;
  }
  std::string readError;
  int r = ReadHexImage(kTempImageFile, s.image, s.host, &readError);
  if (r != 0 && !readError.empty()) LoadError(s, FileError("Не удалось прочитать файл", readError));

  errno = 0;
  if (std::remove(kTempImageFile) != 0) {
    LoadError(s, FileError("Не удалось удалить файл", std::strerror(errno ? errno : EIO)));
    r = -1;
  }
  if (r == 0) MaskConfigWrite(s.image.configWrite, s.sel.prog4520);
  return r;
}

int SpeedButton7Click(Session& s) { return SpeedButton7Click(s, SelectedImage(s)); }

int SpeedButton7Click(Session& s, std::span<const uint8_t> encrypted) {
  s.image.ResetProgramMemory();
  const int r = ExecuteResurse(s, encrypted);
  if (r == -1)
    s.host.SetLabel3(kLoadFailed);
  else
    s.host.SetLabel3(s.sel.prog4520 ? kLoaded2520 : kLoaded252);
  return r;
}

}  // namespace tvn
