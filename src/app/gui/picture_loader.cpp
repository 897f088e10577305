#include "app/gui/picture_loader.h"

#include <QFile>
#include <QImage>

#include "app/jpeg_picture.h"

// The pictures live in a static library: nothing would pull their resource
// object into the program unless it is named here.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace tvn {

QPixmap PixmapFromJpeg(const QByteArray& jpeg) {
  RgbPicture pic;
  if (!DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()),
                  static_cast<std::size_t>(jpeg.size()), pic))
    return QPixmap();
  QImage image(pic.rgb.data(), pic.width, pic.height, pic.width * 3, QImage::Format_RGB888);
  return QPixmap::fromImage(image.copy());  // the copy owns its pixels
}

QPixmap LoadPicture(const QString& resource) {
  static const bool registered = (InitPictureResources(), true);
  (void)registered;
  QFile file(resource);
  if (!file.open(QIODevice::ReadOnly)) return QPixmap();
  return PixmapFromJpeg(file.readAll());
}

}  // namespace tvn
