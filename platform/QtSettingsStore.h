// The settings store on QSettings: the user's "Morvane"/"Vidbrisk" settings, or an INI file
// at a given path (tests, so they never touch the real user settings).
#pragma once

#include "SettingsStore.h"

#include <memory>

class QSettings;

class QtSettingsStore : public SettingsStore {
public:
    static constexpr const char* kOrganisation = "Morvane";
    static constexpr const char* kApplication = "Vidbrisk";

    // The current user's settings (on Linux ~/.config/Morvane/Vidbrisk.conf).
    QtSettingsStore();
    // An INI file at `filePath`, created on the first flush.
    explicit QtSettingsStore(const QString& filePath);
    ~QtSettingsStore() override;

    bool flush() override;
    void erase(const QString& name) override;
    // Where the values are kept.
    QString fileName() const;

protected:
    QVariant load(const QString& name) const override;
    bool store(const QString& name, const QVariant& value) override;

private:
    std::unique_ptr<QSettings> m_settings; // window's thread only
};
