// The settings store on QSettings.
#include "QtSettingsStore.h"

#include <QSettings>

QtSettingsStore::QtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QString::fromLatin1(kOrganisation),
                                             QString::fromLatin1(kApplication))) {}

QtSettingsStore::QtSettingsStore(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

bool QtSettingsStore::flush() {
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void QtSettingsStore::erase(const QString& name) {
    m_settings->remove(name);
}

QString QtSettingsStore::fileName() const {
    return m_settings->fileName();
}

QVariant QtSettingsStore::load(const QString& name) const {
    return m_settings->value(name);
}

bool QtSettingsStore::store(const QString& name, const QVariant& value) {
    m_settings->setValue(name, value);
    // QSettings reports a file it cannot write only through its status after a sync; an
    // earlier failed sync stays visible here and ends the series of writes.
    return m_settings->status() == QSettings::NoError;
}
