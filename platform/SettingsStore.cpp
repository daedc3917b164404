// The failed-read rule of the settings store: which stored values read as which type.
#include "SettingsStore.h"

#include <limits>

std::optional<QString> SettingsStore::readString(const QString& name) const {
    const QVariant value = load(name);
    if (!value.isValid())
        return QString();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<int> SettingsStore::readInteger(const QString& name) const {
    const QVariant value = load(name);
    qlonglong number = 0;
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
        number = value.toLongLong(&ok);
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong unsignedNumber = value.toULongLong(&ok);
        ok = ok && unsignedNumber <= qulonglong(std::numeric_limits<int>::max());
        number = qlonglong(unsignedNumber);
        break;
    }
    case QMetaType::QString:
        // Text-based stores (the INI file on Linux) give every number back as text.
        number = value.toString().toLongLong(&ok, 10);
        break;
    default:
        // Missing, a truth value, a real number, a list, bytes: not an integer.
        return std::nullopt;
    }
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

std::optional<bool> SettingsStore::readBoolean(const QString& name) const {
    const std::optional<int> number = readInteger(name);
    if (!number)
        return std::nullopt;
    return *number != 0;
}
