// The window side of the custom hook's picture: TBitmap rows seen as a QImage.
#pragma once

#include <QImage>

class TBitmap;

namespace HookBitmapImage {
// A QImage over the bitmap's own rows, without copying: valid only while the bitmap lives
// and its lock is held (the engine holds it during the hook call). Drawing on the image
// draws on the bitmap. An empty bitmap gives a null image.
QImage wrap(TBitmap& bitmap);
// A copy of the picture taken under the bitmap's lock, safe to hand to the window's thread.
QImage copy(TBitmap& bitmap);
} // namespace HookBitmapImage
