#include "scripting/ScriptError.h"

namespace qv::script_errors {
namespace {

ScriptError e(int number, const char* text) { return {number, QString::fromUtf8(text)}; }

}  // namespace

ScriptError compareEitherOr() {
    return e(kNotHandled, "Specify either a comparison or left/right files/folders, not both or neither.");
}
ScriptError compareBothPaths() { return e(kParamMissing, "Both left and right files/folders must be specified."); }
ScriptError comparePathMissing() { return e(kParamMissing, "The left or right path does not exist or is not accessible."); }
ScriptError compareMixed() {
    return e(kNotHandled,
             "Specify either two folders or two files to compare. Mixing files and folders is not supported.");
}
ScriptError compareNotRerun() { return e(kNotHandled, "The comparison could not be re-run."); }
ScriptError syncEitherOr() {
    return e(kNotHandled, "Specify either a comparison or left/right folders, not both or neither.");
}
ScriptError syncBothFolders() { return e(kParamMissing, "Both left and right folders must be specified."); }
ScriptError syncTypeAndDirection() { return e(kParamMissing, "Both sync type and direction must be specified."); }
ScriptError syncBothWaysMirror() {
    return e(kNotHandled, "\"both directions\" is only valid with update sync, not mirror.");
}
ScriptError executeArchiveChoices() {
    return e(kNotHandled, "Specify at most one of: archive to trash, archive to folder, no archive.");
}
ScriptError executeNeedsComparison() { return e(kParamMissing, "A comparison must be specified."); }
ScriptError closeNeedsComparison() { return e(kNotHandled, "A comparison must be specified."); }
ScriptError foldersNotCompared() { return e(kDelegateCode, "The specified folders could not be compared."); }
ScriptError syncNotValid() { return e(kDelegateCode, "Sync type and direction not valid."); }

ScriptError unknownParameter(const QString& key) {
    return {kUnknownParameter, QStringLiteral("The command has no parameter \"%1\".").arg(key)};
}
ScriptError wrongType(const QString& key, const char* expected) {
    return {kCannotCoerce, QStringLiteral("The value of \"%1\" must be %2.").arg(key, QString::fromLatin1(expected))};
}
ScriptError badEnumerator(const QString& key, const QString& value) {
    return {kCannotCoerce, QStringLiteral("\"%1\" is not a value of \"%2\".").arg(value, key)};
}
ScriptError badPath(const QString& key) {
    return {kCannotCoerce,
            QStringLiteral("The path of \"%1\" must be valid UTF-8 text without line breaks.").arg(key)};
}
ScriptError noSuchComparison(qint64 id) {
    return {kNoSuchObject, QStringLiteral("There is no open comparison %1.").arg(id)};
}

}  // namespace qv::script_errors
