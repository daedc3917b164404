// A settings box over a QComboBox: the profiles fill and read the window's drop-down lists.
#pragma once

#include "SettingsBox.h"

class QComboBox;

class QtSettingsBox : public SettingsBox {
public:
    explicit QtSettingsBox(QComboBox* combo) : m_combo(combo) {}
    void Clear() override;
    void Append(const std::string& text) override;
    void Select(int position) override;
    std::string CurrentText() const override;
    int CurrentPosition() const override;
    int Count() const override;
    std::string Text(int position) const override;

    QComboBox* combo() const { return m_combo; }

private:
    QComboBox* m_combo;
};
