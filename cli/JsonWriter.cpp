#include "JsonWriter.h"

#include <cstdio>

namespace {

// The length of the UTF-8 sequence that starts text[at], or 0 when it is not one.
size_t Utf8Length(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    // No overlong forms, no surrogates, nothing above U+10FFFF.
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

std::string JsonWriter::quoted(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
        i += length;
    }
    return out + "\"";
}

void JsonWriter::separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_empty.empty())
        return;
    if (!m_empty.back())
        m_out << ',';
    m_empty.back() = false;
    m_out << '\n' << std::string(2 * m_empty.size(), ' ');
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    m_out << quoted(name) << ": ";
    m_afterKey = true;
    return *this;
}

void JsonWriter::open(char bracket) {
    separate();
    m_out << bracket;
    m_empty.push_back(true);
}

void JsonWriter::close(char bracket) {
    const bool empty = m_empty.back();
    m_empty.pop_back();
    if (!empty)
        m_out << '\n' << std::string(2 * m_empty.size(), ' ');
    m_out << bracket;
    if (m_empty.empty())
        m_out << '\n';
}

void JsonWriter::string(std::string_view text) {
    separate();
    m_out << quoted(text);
}

void JsonWriter::number(int64_t value) {
    separate();
    m_out << value;
}

void JsonWriter::rawNumber(const std::string& text) {
    separate();
    m_out << text;
}

void JsonWriter::boolean(bool value) {
    separate();
    m_out << (value ? "true" : "false");
}

void JsonWriter::null() {
    separate();
    m_out << "null";
}

void JsonWriter::stringOrNull(std::string_view text) {
    if (text.empty())
        null();
    else
        string(text);
}

void JsonWriter::numberOrNull(std::optional<int64_t> value) {
    if (value)
        number(*value);
    else
        null();
}
