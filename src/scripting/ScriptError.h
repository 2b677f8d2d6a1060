#pragma once
// What a script is told when a command fails: a number and an English text.
// Both are part of the scripting interface: scripts compare them word for
// word, so they never go through the translated message table.

#include <QString>

namespace qv {

struct ScriptError {
    int number = 0;   // 0: no error
    QString text;

    explicit operator bool() const { return number != 0; }
    bool operator==(const ScriptError&) const = default;
};

namespace script_errors {

// Numbers of the scripting interface.
constexpr int kNotHandled = -1708;     // the command cannot be carried out as given
constexpr int kParamMissing = -1715;   // a parameter the command needs is missing
constexpr int kCannotCoerce = -1700;   // a value of the wrong type or form
constexpr int kUnknownParameter = -1701;
constexpr int kNoSuchObject = -1728;   // no open comparison has that number
// Failures reported from the application's side (delegate), with code 1.
constexpr int kDelegateCode = 1;

ScriptError compareEitherOr();
ScriptError compareBothPaths();
ScriptError comparePathMissing();
ScriptError compareMixed();
ScriptError compareNotRerun();
ScriptError syncEitherOr();
ScriptError syncBothFolders();
ScriptError syncTypeAndDirection();
ScriptError syncBothWaysMirror();
ScriptError executeArchiveChoices();
ScriptError executeNeedsComparison();
ScriptError closeNeedsComparison();
ScriptError foldersNotCompared();
ScriptError syncNotValid();

ScriptError unknownParameter(const QString& key);
ScriptError wrongType(const QString& key, const char* expected);
ScriptError badEnumerator(const QString& key, const QString& value);
ScriptError badPath(const QString& key);
ScriptError noSuchComparison(qint64 id);

}  // namespace script_errors
}  // namespace qv
