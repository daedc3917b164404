#include "Mutation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <sstream>

namespace fuzz {

namespace {

std::string hexOf(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

// A small cursor over one step's text with the few readers the grammar needs.
class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool literal(const char* word) {
        const std::string expected(word);
        if (m_text.compare(m_pos, expected.size(), expected) != 0)
            return false;
        m_pos += expected.size();
        return true;
    }
    bool decimal(uint64_t& value) {
        const size_t start = m_pos;
        value = 0;
        while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos]))) {
            const uint64_t digit = static_cast<uint64_t>(m_text[m_pos] - '0');
            if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10)
                return false;
            value = value * 10 + digit;
            ++m_pos;
        }
        return m_pos > start;
    }
    bool hexBytes(std::vector<uint8_t>& bytes) {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && std::isxdigit(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        const std::string digits = m_text.substr(start, m_pos - start);
        if (digits.empty() || digits.size() % 2 != 0)
            return false;
        bytes.clear();
        for (size_t i = 0; i < digits.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
        return true;
    }
    bool atEnd() const { return m_pos == m_text.size(); }

private:
    const std::string& m_text;
    size_t m_pos = 0;
};

bool parseStep(const std::string& text, Step& step) {
    Reader in(text);
    if (in.literal("flip@")) {
        step.kind = StepKind::Flip;
        return in.decimal(step.offset) && in.literal(":0x") && in.hexBytes(step.bytes) &&
               step.bytes.size() == 1 && in.atEnd();
    }
    if (in.literal("set@")) {
        step.kind = StepKind::Set;
        return in.decimal(step.offset) && in.literal(":") && in.hexBytes(step.bytes) && in.atEnd();
    }
    if (in.literal("zero@")) {
        step.kind = StepKind::Zero;
        return in.decimal(step.offset) && in.literal("+") && in.decimal(step.length) && in.atEnd();
    }
    if (in.literal("dup@")) {
        step.kind = StepKind::Dup;
        return in.decimal(step.offset) && in.literal("+") && in.decimal(step.length) &&
               in.literal("@") && in.decimal(step.target) && in.atEnd();
    }
    if (in.literal("cut@")) {
        step.kind = StepKind::Cut;
        return in.decimal(step.offset) && in.literal("+") && in.decimal(step.length) && in.atEnd();
    }
    if (in.literal("trunc@")) {
        step.kind = StepKind::Trunc;
        return in.decimal(step.offset) && in.atEnd();
    }
    return false;
}

std::string formatStep(const Step& step) {
    const std::string off = std::to_string(step.offset);
    const std::string len = std::to_string(step.length);
    switch (step.kind) {
    case StepKind::Flip:
        return "flip@" + off + ":0x" + hexOf(step.bytes);
    case StepKind::Set:
        return "set@" + off + ":" + hexOf(step.bytes);
    case StepKind::Zero:
        return "zero@" + off + "+" + len;
    case StepKind::Dup:
        return "dup@" + off + "+" + len + "@" + std::to_string(step.target);
    case StepKind::Cut:
        return "cut@" + off + "+" + len;
    case StepKind::Trunc:
        return "trunc@" + off;
    }
    return {};
}

// Random numbers drawn from std::mt19937_64 with reductions of our own, so a seed gives
// the same mutation with every standard library.
class Dice {
public:
    explicit Dice(uint64_t seed) : m_engine(seed) {}

    // Uniform in [0, bound); 0 when bound is 0. Rejection keeps it free of modulo bias.
    uint64_t below(uint64_t bound) {
        if (bound == 0)
            return 0;
        const uint64_t limit =
            std::numeric_limits<uint64_t>::max() - std::numeric_limits<uint64_t>::max() % bound;
        uint64_t value = m_engine();
        while (value >= limit)
            value = m_engine();
        return value % bound;
    }
    // Uniform in [low, high].
    uint64_t between(uint64_t low, uint64_t high) { return low + below(high - low + 1); }
    bool chance(unsigned percent) { return below(100) < percent; }
    uint8_t byte() { return static_cast<uint8_t>(m_engine() & 0xff); }
    // A length in [1, cap] that favours short blocks: a power of two drawn first, then a
    // value up to it, so lengths of a few bytes are as likely as lengths of kilobytes.
    uint64_t shortLength(uint64_t cap) {
        const uint64_t bits = below(15);
        return std::min<uint64_t>(cap, between(1, uint64_t{1} << bits));
    }

private:
    std::mt19937_64 m_engine;
};

// Where a step lands: container headers sit at the start and many indexes at the end, so
// both get more than their share of the draws.
uint64_t pickOffset(Dice& dice, uint64_t size) {
    if (size == 0)
        return 0;
    const uint64_t roll = dice.below(100);
    if (roll < 30)
        return dice.below(std::min<uint64_t>(size, 1024));
    if (roll < 45)
        return dice.below(std::min<uint64_t>(size, 65536));
    if (roll < 60)
        return size - 1 - dice.below(std::min<uint64_t>(size, 4096));
    return dice.below(size);
}

// Bytes that break size, count and timestamp fields: all bits set, all clear, the signed
// extremes, small numbers; written in either byte order.
std::vector<uint8_t> interestingBytes(Dice& dice) {
    static const uint64_t values[] = {0,
                                      1,
                                      0x7f,
                                      0x80,
                                      0xff,
                                      0x7fff,
                                      0x8000,
                                      0xffff,
                                      0x7fffffff,
                                      0x80000000,
                                      0xffffffff,
                                      0x7fffffffffffffff,
                                      0x8000000000000000,
                                      0xffffffffffffffff};
    const uint64_t value = values[dice.below(std::size(values))];
    const unsigned widths[] = {1, 2, 4, 8};
    const unsigned width = widths[dice.below(4)];
    std::vector<uint8_t> bytes(width);
    for (unsigned i = 0; i < width; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    if (dice.chance(50))
        std::reverse(bytes.begin(), bytes.end());
    return bytes;
}

Step drawStep(Dice& dice, uint64_t size) {
    Step step;
    if (size < 2) {
        step.kind = StepKind::Set;
        step.offset = 0;
        step.bytes = {dice.byte(), dice.byte()};
        return step;
    }
    const uint64_t roll = dice.below(100);
    if (roll < 30) {
        step.kind = StepKind::Flip;
        step.offset = pickOffset(dice, size);
        step.bytes = {static_cast<uint8_t>(1u << dice.below(8))};
        if (dice.chance(30))
            step.bytes[0] = static_cast<uint8_t>(dice.between(1, 255));
    } else if (roll < 55) {
        step.kind = StepKind::Set;
        step.offset = pickOffset(dice, size);
        if (dice.chance(50)) {
            step.bytes = interestingBytes(dice);
        } else {
            step.bytes.resize(dice.between(1, 16));
            for (uint8_t& byte : step.bytes)
                byte = dice.byte();
        }
        // Kept inside the data, so replaying the text never has to clamp it.
        step.bytes.resize(std::min<uint64_t>(step.bytes.size(), size - step.offset));
    } else if (roll < 65) {
        step.kind = StepKind::Zero;
        step.offset = pickOffset(dice, size);
        step.length = dice.shortLength(size - step.offset);
    } else if (roll < 75) {
        step.kind = StepKind::Dup;
        step.offset = pickOffset(dice, size);
        step.length = dice.shortLength(std::min<uint64_t>(size - step.offset, 65536));
        step.target = dice.below(size + 1);
    } else if (roll < 85) {
        step.kind = StepKind::Cut;
        step.offset = pickOffset(dice, size);
        step.length = dice.shortLength(size - step.offset);
    } else {
        step.kind = StepKind::Trunc;
        step.offset = dice.between(1, size - 1);
    }
    return step;
}

} // namespace

std::string formatMutation(const Mutation& mutation) {
    std::string text;
    for (const Step& step : mutation) {
        if (!text.empty())
            text += ';';
        text += formatStep(step);
    }
    return text;
}

bool parseMutation(const std::string& text, Mutation& mutation, std::string& error) {
    mutation.clear();
    if (text.empty() || text == "none")
        return true;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ';');) {
        Step step;
        if (!parseStep(part, step)) {
            error = "malformed mutation step \"" + part + "\"";
            return false;
        }
        mutation.push_back(step);
    }
    return true;
}

void applyStep(const Step& step, std::vector<uint8_t>& data, bool& clamped) {
    const uint64_t size = data.size();
    auto clampTo = [&](uint64_t value, uint64_t limit) {
        if (value > limit) {
            clamped = true;
            return limit;
        }
        return value;
    };
    switch (step.kind) {
    case StepKind::Flip:
        if (step.offset < size)
            data[step.offset] ^= step.bytes.at(0);
        else
            clamped = true;
        break;
    case StepKind::Set: {
        const uint64_t offset = clampTo(step.offset, size);
        const uint64_t count = clampTo(step.bytes.size(), size - offset);
        std::copy_n(step.bytes.begin(), count, data.begin() + offset);
        break;
    }
    case StepKind::Zero: {
        const uint64_t offset = clampTo(step.offset, size);
        const uint64_t count = clampTo(step.length, size - offset);
        std::fill_n(data.begin() + offset, count, uint8_t{0});
        break;
    }
    case StepKind::Dup: {
        const uint64_t offset = clampTo(step.offset, size);
        const uint64_t count = clampTo(step.length, size - offset);
        const uint64_t target = clampTo(step.target, size);
        const std::vector<uint8_t> block(data.begin() + offset, data.begin() + offset + count);
        data.insert(data.begin() + target, block.begin(), block.end());
        break;
    }
    case StepKind::Cut: {
        const uint64_t offset = clampTo(step.offset, size);
        const uint64_t count = clampTo(step.length, size - offset);
        data.erase(data.begin() + offset, data.begin() + offset + count);
        break;
    }
    case StepKind::Trunc:
        data.resize(clampTo(step.offset, size));
        break;
    }
}

Mutation mutate(std::vector<uint8_t>& data, uint64_t seed, int count) {
    Dice dice(seed);
    Mutation mutation;
    bool clamped = false;
    for (int i = 0; i < count; ++i) {
        const Step step = drawStep(dice, data.size());
        applyStep(step, data, clamped);
        mutation.push_back(step);
    }
    return mutation;
}

} // namespace fuzz
