// The 24-bit picture the engine hands to the custom hook: blue-green-red pixels, rows top
// to bottom, each row padded to a multiple of 4 bytes, with a lock that the engine holds
// while the hook draws on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TBitmap {
public:
    static constexpr int kBitsPerPixel = 24;
    static constexpr int kBytesPerPixel = 3;

    // A black picture of the given size (a non-positive side gives an empty picture).
    TBitmap(int width, int height);
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Bytes from the start of one row to the start of the next: 3 x width rounded up to a
    // multiple of 4, as in a device-independent bitmap (a QImage can wrap the rows).
    int bytesPerRow() const { return m_bytesPerRow; }
    // The first byte of `row` (0 is the top row); null outside the picture.
    uint8_t* scanLine(int row);
    const uint8_t* scanLine(int row) const;
    // All rows, top row first: height x bytesPerRow bytes.
    uint8_t* bits() { return m_pixels.data(); }
    const uint8_t* bits() const { return m_pixels.data(); }
    std::size_t sizeBytes() const { return m_pixels.size(); }

    // The canvas lock: the engine holds it for the duration of the hook call; a window
    // that reads the rows from another thread takes it as well. Re-entrant, so the hook
    // may take it again. Usable with std::lock_guard.
    void lock() { m_lock.lock(); }
    void unlock() { m_lock.unlock(); }

private:
    int m_width = 0;
    int m_height = 0;
    int m_bytesPerRow = 0;
    std::vector<uint8_t> m_pixels; // guarded by m_lock while a hook runs
    std::recursive_mutex m_lock;
};
