// The presets kept in the window's settings store, beside the other values.
#pragma once

#include "Presets.h"
#include "SettingsStore.h"

class SettingsStorePresets : public PresetStorage {
public:
    explicit SettingsStorePresets(SettingsStore& store) : m_store(store) {}
    QVariant value(const QString& key) const override { return m_store.readValue(key); }
    bool setValue(const QString& key, const QVariant& value) override {
        return m_store.writeValue(key, value);
    }
    void remove(const QString& key) override { m_store.erase(key); }
    bool sync() override { return m_store.flush(); }

private:
    SettingsStore& m_store; // window's thread only
};
