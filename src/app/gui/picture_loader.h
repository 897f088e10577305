// The windows' pictures: JPEG files built into the program, decoded by our own
// libjpeg decoder.
#pragma once

#include <QPixmap>
#include <QString>

namespace tvn {

// Decodes a built-in JPEG (":/pictures/..."). A missing or damaged picture gives
// an empty pixmap, and the window simply shows no picture there.
QPixmap LoadPicture(const QString& resource);

// Turns JPEG bytes into a pixmap; empty when they do not decode.
QPixmap PixmapFromJpeg(const QByteArray& jpeg);

}  // namespace tvn
