// A settings store in memory for tests: values of any type can be planted, and writes can
// be made to fail from a given value on.
#pragma once

#include "SettingsStore.h"

#include <QMap>
#include <QStringList>

class MemorySettingsStore : public SettingsStore {
public:
    // Puts a value of any type in place (for the wrong-type cases).
    void plant(const QString& name, const QVariant& value) { m_values.insert(name, value); }
    void remove(const QString& name) { m_values.remove(name); }
    void erase(const QString& name) override { m_values.remove(name); }
    QVariant value(const QString& name) const { return m_values.value(name); }
    // Every write from the given value name on fails (an empty name: none fails).
    void failWritesFrom(const QString& name) { m_failFrom = name; }
    // The names written, in order, including the one that failed.
    const QStringList& writeOrder() const { return m_writeOrder; }
    int flushes() const { return m_flushes; }

    bool flush() override {
        ++m_flushes;
        return !m_failing;
    }

protected:
    QVariant load(const QString& name) const override { return m_values.value(name); }
    bool store(const QString& name, const QVariant& value) override {
        m_writeOrder << name;
        if (!m_failFrom.isEmpty() && name == m_failFrom)
            m_failing = true;
        if (m_failing)
            return false;
        m_values.insert(name, value);
        return true;
    }

private:
    QMap<QString, QVariant> m_values;
    QStringList m_writeOrder;
    QString m_failFrom;
    bool m_failing = false;
    int m_flushes = 0;
};
