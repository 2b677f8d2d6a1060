#pragma once
// Settings of one test's own: an empty store in a temporary folder, removed
// after the settings that write to it.

#include "base/Settings.h"

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

namespace qv::test {

namespace detail {
// A base of its own so that the folder exists before the settings are made.
struct SettingsFolder {
    QTemporaryDir folder;
};
}  // namespace detail

class TestSettings : private detail::SettingsFolder, public Settings {
public:
    TestSettings()
        : Settings(std::make_unique<QSettings>(folder.filePath(QStringLiteral("q.ini")), QSettings::IniFormat)) {}
};

}  // namespace qv::test
