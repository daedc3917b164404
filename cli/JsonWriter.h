// A small writer of indented JSON: objects, arrays, strings (always valid UTF-8 out, with
// every control character escaped), numbers and null.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    // The name of the next value inside an object.
    JsonWriter& key(std::string_view name);

    void string(std::string_view text);
    void number(int64_t value);
    // A number already written as JSON text ("2.995").
    void rawNumber(const std::string& text);
    void boolean(bool value);
    void null();
    // A text, or null when it is empty.
    void stringOrNull(std::string_view text);
    void numberOrNull(std::optional<int64_t> value);

    // The text as a JSON string: quoted, escaped, bytes that are not UTF-8 as U+FFFD.
    static std::string quoted(std::string_view text);

private:
    void open(char bracket);
    void close(char bracket);
    // Before a value: the comma and line break after the previous one, unless a key did it.
    void separate();

    std::ostream& m_out;
    std::vector<bool> m_empty; // per open object or array: nothing written into it yet
    bool m_afterKey = false;
};
