#include "app/WindowState.h"

#include "base/Settings.h"

namespace qv {

void WindowState::loadOptions(const Settings& settings) {
    optIgnoreDate = settings.boolValue(QStringLiteral("optIgnoreDates"));
    optIgnore2secDate = settings.boolValue(QStringLiteral("optIgnore2secDates"));
    optCmpContents = settings.boolValue(QStringLiteral("optCmpContents"));
    optSubfolders = settings.boolValue(QStringLiteral("opCmpSubfolders"));
    optHidden = settings.boolValue(QStringLiteral("opCmpHidden"));
    optIncludeAliases = settings.boolValue(QStringLiteral("opIncludeAliases"));
    optResolveAliases = settings.boolValue(QStringLiteral("opResolveAliases"));
    optCompareRsrc = settings.boolValue(QStringLiteral("opCmpRsrc"));
    optCompareTags = settings.boolValue(QStringLiteral("opCmpTags"));
}

}  // namespace qv
