// The custom hook's 24-bit picture: storage and row access.
#include "TBitmap.h"

TBitmap::TBitmap(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    m_width = width;
    m_height = height;
    m_bytesPerRow = (width * kBytesPerPixel + 3) & ~3;
    m_pixels.assign(static_cast<std::size_t>(m_bytesPerRow) * height, 0);
}

uint8_t* TBitmap::scanLine(int row) {
    if (row < 0 || row >= m_height)
        return nullptr;
    return m_pixels.data() + static_cast<std::size_t>(row) * m_bytesPerRow;
}

const uint8_t* TBitmap::scanLine(int row) const {
    if (row < 0 || row >= m_height)
        return nullptr;
    return m_pixels.data() + static_cast<std::size_t>(row) * m_bytesPerRow;
}
