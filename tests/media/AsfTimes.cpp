#include "AsfTimes.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

using Guid = std::array<unsigned char, 16>;

// File properties object and data object, as stored (little-endian fields first).
constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kData{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

// Offsets inside the file properties object, and the size of the data object's header.
constexpr std::size_t kPrerollOffset = 80;
constexpr std::size_t kMinPacketSizeOffset = 92;
constexpr std::size_t kDataHeaderBytes = 50;

// Where the object with this GUID starts (the header's objects come in no fixed order).
std::size_t find(const std::vector<char>& file, const Guid& guid) {
    const auto at =
        std::search(file.begin(), file.end(), guid.begin(), guid.end(),
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    if (at == file.end()) {
        throw std::runtime_error("not an ASF file this generator wrote");
    }
    return static_cast<std::size_t>(at - file.begin());
}

uint32_t read32(const std::vector<char>& file, std::size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(file[at + i])) << (8 * i);
    }
    return value;
}

void write32(std::vector<char>& file, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// Reads little-endian fields within [position, end), failing past it.
class Reader {
public:
    Reader(const std::vector<char>& file, std::size_t position, std::size_t end)
        : m_file(file), m_position(position), m_end(std::min(end, file.size())) {}

    // A field of the width a two-bit length type gives: 0, 1, 2 or 4 bytes.
    uint32_t sized(uint32_t lengthType) {
        static constexpr int kBytes[4] = {0, 1, 2, 4};
        return take(kBytes[lengthType & 3]);
    }
    uint32_t take(int bytes) {
        need(static_cast<std::size_t>(bytes));
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<uint32_t>(static_cast<unsigned char>(m_file[m_position + i]))
                     << (8 * i);
        }
        m_position += static_cast<std::size_t>(bytes);
        return value;
    }
    void skip(std::size_t bytes) {
        need(bytes);
        m_position += bytes;
    }
    std::size_t position() const { return m_position; }
    std::size_t left() const { return m_end - m_position; }

private:
    void need(std::size_t bytes) const {
        if (bytes > m_end - m_position) {
            throw std::runtime_error("ASF data packet runs past its end");
        }
    }
    const std::vector<char>& m_file;
    std::size_t m_position;
    std::size_t m_end;
};

// Walks one data packet and collects where the presentation times of the stream's
// payloads stamped fromMs are stored.
void findTimes(Reader packet, uint32_t streamNumber, uint32_t fromMs, const std::vector<char>& file,
               std::vector<std::size_t>& found) {
    uint32_t flags = packet.take(1);
    if (flags & 0x80) { // error correction data come first
        packet.skip(flags & 0x0F);
        flags = packet.take(1);
    }
    const uint32_t properties = packet.take(1);
    packet.sized(flags >> 5); // packet length
    packet.sized(flags >> 1); // sequence
    const uint32_t padding = packet.sized(flags >> 3);
    packet.skip(6); // send time, duration
    const bool multiple = flags & 0x01;
    uint32_t payloads = 1;
    uint32_t payloadLengthType = 0;
    if (multiple) {
        const uint32_t payloadFlags = packet.take(1);
        payloads = payloadFlags & 0x3F;
        payloadLengthType = payloadFlags >> 6;
    }
    for (uint32_t i = 0; i < payloads; ++i) {
        const uint32_t stream = packet.take(1) & 0x7F;
        packet.sized(properties >> 4); // media object number
        packet.sized(properties >> 2); // offset into the media object
        const uint32_t replicated = packet.sized(properties);
        // Replicated data start with the media object's size and presentation time.
        const std::size_t timeAt = packet.position() + 4;
        packet.skip(replicated);
        if (stream == streamNumber && replicated >= 8 && read32(file, timeAt) == fromMs) {
            found.push_back(timeAt);
        }
        const uint32_t length = multiple ? packet.sized(payloadLengthType)
                                         : static_cast<uint32_t>(packet.left() - padding);
        packet.skip(length);
    }
}

} // namespace

namespace AsfTimes {

uint32_t readPrerollMs(const std::vector<char>& file) {
    return read32(file, find(file, kFileProperties) + kPrerollOffset);
}

int rewritePresentationTime(std::vector<char>& file, int streamNumber, uint32_t fromMs,
                            uint32_t toMs) {
    const std::size_t properties = find(file, kFileProperties);
    if (properties + kMinPacketSizeOffset + 8 > file.size()) {
        throw std::runtime_error("ASF file properties cut short");
    }
    const std::size_t packetBytes = read32(file, properties + kMinPacketSizeOffset);
    if (packetBytes == 0 || packetBytes != read32(file, properties + kMinPacketSizeOffset + 4)) {
        throw std::runtime_error("ASF packets of no fixed size");
    }
    const std::size_t data = find(file, kData);
    const std::size_t dataEnd = std::min<std::size_t>(file.size(), data + read32(file, data + 16));
    std::vector<std::size_t> found;
    for (std::size_t at = data + kDataHeaderBytes; at + packetBytes <= dataEnd; at += packetBytes) {
        findTimes(Reader(file, at, at + packetBytes), static_cast<uint32_t>(streamNumber), fromMs,
                  file, found);
    }
    for (const std::size_t at : found) {
        write32(file, at, toMs);
    }
    return static_cast<int>(found.size());
}

} // namespace AsfTimes
