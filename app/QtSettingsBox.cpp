#include "QtSettingsBox.h"

#include <QComboBox>
#include <QSignalBlocker>

// The profiles change the boxes programmatically; the window reacts only to the user's
// choices (the activated signal), so no signal needs to fire here.
void QtSettingsBox::Clear() {
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
}

void QtSettingsBox::Append(const std::string& text) {
    const QSignalBlocker blocker(m_combo);
    m_combo->addItem(QString::fromStdString(text));
}

void QtSettingsBox::Select(int position) {
    const QSignalBlocker blocker(m_combo);
    m_combo->setCurrentIndex(position >= 0 && position < m_combo->count() ? position : -1);
}

std::string QtSettingsBox::CurrentText() const {
    return m_combo->currentIndex() >= 0 ? m_combo->currentText().toStdString() : std::string();
}

int QtSettingsBox::CurrentPosition() const {
    return m_combo->currentIndex();
}

int QtSettingsBox::Count() const {
    return m_combo->count();
}

std::string QtSettingsBox::Text(int position) const {
    if (position < 0 || position >= m_combo->count())
        return std::string();
    return m_combo->itemText(position).toStdString();
}
