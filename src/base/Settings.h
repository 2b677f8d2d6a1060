#pragma once
// The user's stored options over the table of registered defaults. A stored
// value wins over the registered one; a value given for one run (the command
// line's --set) wins over both and is never written.

#include <QHash>
#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

class QSettings;

namespace qv {

enum class SettingType { Bool, Int, String, Color, Font };

struct RegisteredDefault {
    QString key;
    SettingType type;
    QVariant value;   // invalid for a font that cannot be made
};

class Settings {
public:
    // The process-wide settings, stored under $XDG_CONFIG_HOME/Quorvane/.
    static Settings& instance();

    // The registration table, built once.
    static const std::vector<RegisteredDefault>& QVDefaults();
    static const RegisteredDefault* registered(const QString& key);
    static QString typeName(SettingType type);
    // Reads a value of the key's type from text; false when it does not parse
    // or does not fit the key (see fits()).
    static bool parseValue(const RegisteredDefault& entry, const QString& text, QVariant& out);
    // Whether a value makes sense for the key beyond its type: a number in
    // its range, a delimiter of one character, a size allowance of 0 or more
    // bytes. A stored value that does not fit reads as the registered one.
    static bool fits(const RegisteredDefault& entry, const QVariant& value);
    // What the key takes, in the user's words ("an integer from 0 to 3").
    static QString expectation(const RegisteredDefault& entry);

    QVariant value(const QString& key) const;
    bool boolValue(const QString& key) const;
    qint64 intValue(const QString& key) const;
    QString stringValue(const QString& key) const;

    void setOverride(const QString& key, const QVariant& value);
    void clearOverrides();

    // Writes a stored value (the user's own); `remove` goes back to the registered one.
    void store(const QString& key, const QVariant& value);
    void remove(const QString& key);
    bool isStored(const QString& key) const;
    void removeAll();

    explicit Settings(std::unique_ptr<QSettings> store);
    ~Settings();

private:
    static bool parseTyped(const RegisteredDefault& entry, const QString& text, QVariant& out);

    std::unique_ptr<QSettings> m_store;
    QHash<QString, QVariant> m_overrides;
};

}  // namespace qv
