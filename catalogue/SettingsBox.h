// The settings-box interface through which profiles fill and read the drop-down boxes.
#pragma once

#include <string>
#include <vector>

// A drop-down list whose entries are the only texts it can show. The window implements
// it over a combo box; the converter and the tests use ListSettingsBox.
class SettingsBox {
public:
    virtual ~SettingsBox() = default;
    virtual void Clear() = 0;
    virtual void Append(const std::string& text) = 0;
    // Selects the entry at position (from 0). A position at or past the end, or a
    // negative one, leaves no selection and an empty current text.
    virtual void Select(int position) = 0;
    virtual std::string CurrentText() const = 0;
    // -1 when nothing is selected.
    virtual int CurrentPosition() const = 0;
    virtual int Count() const = 0;
    virtual std::string Text(int position) const = 0;
};

// A settings box over a plain list of texts.
class ListSettingsBox : public SettingsBox {
public:
    void Clear() override {
        m_entries.clear();
        m_position = -1;
    }
    void Append(const std::string& text) override { m_entries.push_back(text); }
    void Select(int position) override {
        m_position = (position >= 0 && position < Count()) ? position : -1;
    }
    std::string CurrentText() const override {
        return m_position >= 0 ? m_entries[static_cast<size_t>(m_position)] : std::string();
    }
    int CurrentPosition() const override { return m_position; }
    int Count() const override { return static_cast<int>(m_entries.size()); }
    std::string Text(int position) const override {
        return (position >= 0 && position < Count()) ? m_entries[static_cast<size_t>(position)]
                                                     : std::string();
    }
    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
    int m_position = -1;
};
