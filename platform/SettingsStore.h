// The persistent settings store, behind an interface so tests can use a memory store; the
// typed reads apply the failed-read rule for every implementation alike.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // A text value: empty when missing; nothing (a failed read) when the value is there
    // but is not a text.
    std::optional<QString> readString(const QString& name) const;
    // A 32-bit integer value: nothing (a failed read) when the value is missing, is not an
    // integer (a text must be a whole decimal number) or lies outside the 32-bit range.
    std::optional<int> readInteger(const QString& name) const;
    // Stored as the integer 1 or 0; any non-zero integer reads as true. Fails as
    // readInteger does.
    std::optional<bool> readBoolean(const QString& name) const;

    // Each write tells whether the store took it; a false ends a series of writes.
    bool writeString(const QString& name, const QString& value) { return store(name, value); }
    bool writeInteger(const QString& name, int value) { return store(name, value); }
    bool writeBoolean(const QString& name, bool value) { return store(name, value ? 1 : 0); }
    // Writes everything out; false when the store could not be written.
    virtual bool flush() = 0;

    // Whether a value of that name is stored.
    bool contains(const QString& name) const { return load(name).isValid(); }
    // Values of a layout of their own (the presets), as stored; invalid when missing.
    QVariant readValue(const QString& name) const { return load(name); }
    bool writeValue(const QString& name, const QVariant& value) { return store(name, value); }
    // Removes a value; removing one that is not there does nothing.
    virtual void erase(const QString& name) = 0;

protected:
    // The stored value; an invalid QVariant when there is none.
    virtual QVariant load(const QString& name) const = 0;
    virtual bool store(const QString& name, const QVariant& value) = 0;
};
