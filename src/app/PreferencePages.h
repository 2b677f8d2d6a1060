#pragma once
// The settings a user sets in the Preferences, grouped in pages: for each
// control the registered key it edits, how it edits it and its label. The
// dialog builds its controls from this table; a page's reset puts every key
// of the page back to its registered default.

#include <QString>

#include <vector>

namespace qv {

class Settings;

enum class PreferenceKind { Check, Number, Text, Character, Choice, Color, Font };

struct PreferenceChoice {
    int value;
    const char* labelKey;
};

struct PreferenceControl {
    QString key;                // a registered setting
    const char* labelKey;
    PreferenceKind kind;
    std::vector<PreferenceChoice> choices;   // Choice
    int minimum = 0, maximum = 0;            // Number
};

struct PreferencePage {
    const char* titleKey;
    std::vector<PreferenceControl> controls;
};

class PreferencePages {
public:
    static const std::vector<PreferencePage>& pages();
    // The control that edits a key, or nullptr.
    static const PreferenceControl* control(const QString& key);
    // Every key of the page back to its registered default (the stored values go).
    static void ResetPage(Settings& settings, const PreferencePage& page);
};

}  // namespace qv
