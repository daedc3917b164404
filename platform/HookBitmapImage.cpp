// Wrapping the hook's blue-green-red rows in a QImage.
#include "HookBitmapImage.h"

#include "TBitmap.h"

#include <mutex>

QImage HookBitmapImage::wrap(TBitmap& bitmap) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0)
        return QImage();
    // The rows are blue, green, red bytes top to bottom with 4-byte aligned rows, exactly
    // QImage's BGR888 layout with the bitmap's row length as the stride.
    return QImage(bitmap.bits(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(),
                  QImage::Format_BGR888);
}

QImage HookBitmapImage::copy(TBitmap& bitmap) {
    std::lock_guard<TBitmap> guard(bitmap);
    return wrap(bitmap).copy();
}
