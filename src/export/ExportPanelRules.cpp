#include "export/ExportPanelRules.h"

#include "base/Settings.h"
#include "engine/KItem.h"

namespace qv {
namespace {

const QString kDelimiter = QStringLiteral("exportDelimiter");
const QString kDestination = QStringLiteral("optimizedFor");
const QString kThousands = QStringLiteral("thousandsDelimiter");
const QString kNoGrouping = QStringLiteral("noneThousandsDelimiter");
const QString kTab = QStringLiteral("tabDelimiter");

}  // namespace

int ExportPanelRules::destinationForDelimiter(const QString& delimiter) {
    if (delimiter == QLatin1String(";")) return 1;
    if (delimiter == QLatin1String(",")) return 2;
    return 0;
}

QString ExportPanelRules::oneCharacter(const QString& text, bool* cut) {
    if (cut) *cut = text.size() > 1;
    return text.left(1);
}

void ExportPanelRules::setDelimiter(Settings& settings, const QString& text) {
    const QString delimiter = oneCharacter(text);
    if (!delimiter.isEmpty()) settings.store(kDelimiter, delimiter);
    settings.store(kDestination, destinationForDelimiter(delimiter));
}

void ExportPanelRules::OptimizedFor(Settings& settings, int destination) {
    settings.store(kDestination, destination);
    if (destination == 1) {
        settings.store(kDelimiter, QStringLiteral(";"));
        settings.store(kThousands, QStringLiteral(","));
        settings.store(kNoGrouping, false);
        settings.store(QStringLiteral("exportPrefix"), true);
        settings.store(QStringLiteral("exportPrefixChar"), QString(QChar(0x00B7)));
    } else if (destination == 2) {
        settings.store(kDelimiter, QStringLiteral(","));
        settings.store(kThousands, QStringLiteral(" "));
        settings.store(kNoGrouping, true);
        settings.store(QStringLiteral("exportPrefix"), false);
    }
}

bool ExportPanelRules::setTabDelimiter(Settings& settings, bool on) {
    settings.store(kTab, on);
    const qint64 destination = settings.intValue(kDestination);
    if (on) settings.store(kDelimiter, QStringLiteral("\t"));
    else if (destination == 1 || destination == 2) settings.store(kDelimiter, destination == 1 ? QStringLiteral(";") : QStringLiteral(","));
    return on || destination == 1 || destination == 2;
}

void ExportPanelRules::setNoGrouping(Settings& settings, bool on) {
    settings.store(kNoGrouping, on);
    if (on) settings.store(kThousands, QString());
    else settings.store(kThousands, settings.stringValue(kDelimiter) == QLatin1String(",") ? QStringLiteral(" ") : QStringLiteral(","));
}

bool ExportPanelRules::canExport(const Settings& settings, const QString& delimiterField) {
    return settings.boolValue(kTab) || !delimiterField.isEmpty();
}

std::uint64_t ExportPanelRules::estimatedLines(const KItem& parent, bool exportAll, std::uint64_t viewRows) {
    if (!exportAll) return 2 * viewRows;
    const FolderPart* folder = parent.folderIfAny();
    return folder ? folder->iFiles1 + folder->iFolders2 : 0;
}

}  // namespace qv
