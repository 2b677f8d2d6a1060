#include "base/Settings.h"

#include "base/InputLimits.h"
#include "base/Messages.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace qv {
namespace {

RegisteredDefault b(const char* key, bool v) { return {QString::fromLatin1(key), SettingType::Bool, v}; }
RegisteredDefault i(const char* key, int v) { return {QString::fromLatin1(key), SettingType::Int, v}; }
RegisteredDefault s(const char* key, const QString& v) { return {QString::fromLatin1(key), SettingType::String, v}; }
// Colours are stored as "#AARRGGBB" text so a value reads back exactly as it was written.
RegisteredDefault c(const char* key, const char* argb) {
    return {QString::fromLatin1(key), SettingType::Color, QString::fromLatin1(argb)};
}

std::vector<RegisteredDefault> buildDefaults() {
    return {
        // comparison options
        b("optCmpContents", false), b("optIgnoreDates", false), b("optIgnore2secDates", false),
        b("optIgnoreSize", false), s("optIgnoreSizeValue", QString()), i("optIgnoreSizeIn", 1),
        b("opCmpSubfolders", true), b("optInclEmptyDirs", true), b("optIgnoreExt", false),
        b("opResolveAliases", false), b("opIncludeAliases", true), b("cmpEverything", false),
        b("opCmpRsrc", false), b("opCmpTags", false), b("opCmpHidden", true), b("opCmpHidden63", true),
        b("optIgnoreFN", false), b("calculateSameCompare", true), b("optFoldersTop", false),
        // filter rules
        b("excludeFoldersOn", false), b("exclComverted", false), b("exclFilesOn", false),
        b("exclFoldersOn", false), b("cmpOnlyFilesOn", false), b("cmpOnlyFoldersOn", false),
        i("selExFiles", 0), i("selExFolders", 0),
        // synchronisation and file operations
        i("SyncType", 0), b("mirrorDelDest", false), b("mirrorOnlyOrphan", false),
        b("dontShowMirrReady", false), b("dontShowMirrReady2", false), b("overwrittenToTrash2", false),
        b("dontOverwiteIdentical", false), b("dontShowOWWarning", false), b("dontShowIdentCopyMsg", false),
        b("dontShowUpdateReady", false), b("mergeDelPermanent", false), s("mergeArchiveFolder", QString()),
        b("allowDnD", true), b("dragMsg", false), i("renPrefSuf", 1), s("renAddText", QString()), i("renOpt", 1),
        // export
        s("exportPrefixChar", QString(QChar(0x00B7))), b("exportPrefix", true), b("exportQuotes", false),
        s("exportDelimiter", QStringLiteral(";")), s("thousandsDelimiter", QStringLiteral(",")),
        b("tabDelimiter", false), b("noneThousandsDelimiter", false), i("optimizedFor", 1),
        b("expSizeInBytes", true), s("exportIndent", QStringLiteral("4")), b("exportCurrentView", true),
        b("exportAll", false),
        // file content comparison
        i("fontSize", 1), i("fileType", 0), b("mergeSmallFont", true), i("showFCInfoStep", 1),
        b("fcHighBcg", true), b("fcInvertColors", true),
        c("fcInverseTxtDColor", "#ffffffff"), c("fcChgTxtColor", "#80ff9500"), c("fcAddTxtColor", "#40af52de"),
        {QStringLiteral("fcFont"), SettingType::Font, QStringLiteral("Monospace,11,-1,5,400,0,0,0,0,0")},
        b("seaFullWord", false), b("seaIgnoreCase", true), i("seaFindIn", 1),
        // snapshots
        b("qvssPreview", true), i("qvssSortCol", 1), b("qvssFoldersOnTop", true), b("qvssAscending", true),
        // presentation and behaviour of the comparison window
        i("itemRowSize", 14), b("shIdent", true), b("shDiff", true), b("shLeft", true), b("shRight", true),
        b("colorBcg", false), b("columnLines", false), b("alterRows", true), b("showTime", true),
        b("showRelative", true), b("showIconLabels", false), b("savePaths", true), b("sizeInBytes", true),
        i("showColumns", 3), i("leftSplit", 0), i("rightSplit", 0), b("expandMsg", false),
        b("dontShowTabSaveQuit", false), b("dontShowTabSave", false), b("autoCheckForUpdate", true),
        b("asSplash", true), i("lrArrowsMakeAction", 0), i("udArrowsMakeAction", 0), b("reverseLRArrows", false),
        i("dblClickAction", 0), i("openCompareIn2", 2), i("fHistoryLimit", 15), i("filterKeys", 4095),
        i("dirStat", 1), i("maxLenPath", 40), i("showColorTags2", 1), b("pictPreview", true),
        b("doubleRowFiles", false), b("doubleRowFolders", false), s("selTab", QStringLiteral("0")),
        b("canRestoreTabs", true),
        // updates
        s("updateURL", QStringLiteral("https://quorvane.org/releases/linux/")),
    };
}

std::unique_ptr<QSettings> defaultStore() {
    // INI under $XDG_CONFIG_HOME/Quorvane/ (QSettings follows XDG_CONFIG_HOME).
    const std::string path = QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                               QStringLiteral("/Quorvane/Quorvane.ini"))
                                 .toStdString();
    // A FIFO or a device in its place would block or exhaust the reading:
    // such a store is left alone and the registered defaults stand.
    platform::InputFile file;
    const platform::InputStatus status = file.open(path, true);
    if (status.problem == platform::InputProblem::NotRegularFile ||
        (status.ok() && file.size() > kSettingsFileLimit)) {
        const platform::InputStatus shown = status.ok() ? platform::InputStatus{platform::InputProblem::TooLarge, 0} : status;
        qWarning("%s", qPrintable(inputProblemText(path, shown, kSettingsFileLimit)));
        return nullptr;
    }
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quorvane"),
                                       QStringLiteral("Quorvane"));
}

}  // namespace

Settings::Settings(std::unique_ptr<QSettings> store) : m_store(std::move(store)) {}
Settings::~Settings() = default;

Settings& Settings::instance() {
    static Settings settings(defaultStore());
    return settings;
}

const std::vector<RegisteredDefault>& Settings::QVDefaults() {
    static const std::vector<RegisteredDefault> table = buildDefaults();
    return table;
}

const RegisteredDefault* Settings::registered(const QString& key) {
    for (const RegisteredDefault& d : QVDefaults())
        if (d.key == key) return &d;
    return nullptr;
}

QString Settings::typeName(SettingType type) {
    switch (type) {
    case SettingType::Bool: return QStringLiteral("bool");
    case SettingType::Int: return QStringLiteral("integer");
    case SettingType::String: return QStringLiteral("string");
    case SettingType::Color: return QStringLiteral("colour");
    case SettingType::Font: return QStringLiteral("font");
    }
    return {};
}

namespace {

// What some settings take beyond their type.
struct Constraint {
    enum Kind { Range, Characters, ByteCount, Digits } kind;
    qint64 min = 0, max = 0;   // the range, the number of characters, or the digits' values
};

const Constraint* constraintFor(const QString& key) {
    static const QHash<QString, Constraint> table = {
        {QStringLiteral("fileType"), {Constraint::Range, 0, 3}},
        {QStringLiteral("optimizedFor"), {Constraint::Range, 0, 2}},
        {QStringLiteral("fHistoryLimit"), {Constraint::Range, 0, 1000}},
        {QStringLiteral("maxLenPath"), {Constraint::Range, 1, 4096}},
        {QStringLiteral("filterKeys"), {Constraint::Range, 0, 4095}},
        {QStringLiteral("qvssSortCol"), {Constraint::Range, 1, 7}},
        {QStringLiteral("optIgnoreSizeValue"), {Constraint::ByteCount}},
        {QStringLiteral("exportIndent"), {Constraint::Digits, 0, 24}},
        {QStringLiteral("exportDelimiter"), {Constraint::Characters, 1, 1}},
        {QStringLiteral("thousandsDelimiter"), {Constraint::Characters, 0, 1}},
        {QStringLiteral("exportPrefixChar"), {Constraint::Characters, 0, 1}},
    };
    auto it = table.constFind(key);
    return it == table.constEnd() ? nullptr : &*it;
}

qsizetype characterCount(const QString& text) { return text.toUcs4().size(); }

}  // namespace

bool Settings::fits(const RegisteredDefault& entry, const QVariant& value) {
    const Constraint* c = constraintFor(entry.key);
    if (!c) return true;
    const QString text = value.toString();
    bool ok = false;
    switch (c->kind) {
    case Constraint::Range: {
        const qlonglong n = text.trimmed().toLongLong(&ok);
        return ok && n >= c->min && n <= c->max;
    }
    case Constraint::Characters: return characterCount(text) >= c->min && characterCount(text) <= c->max;
    case Constraint::ByteCount: {
        // Empty means no allowance; anything else is a plain count of bytes.
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (text.isEmpty()) return true;
        text.toLongLong(&ok);
        return ok && digits.match(text).hasMatch();
    }
    case Constraint::Digits: {
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        const qlonglong n = text.toLongLong(&ok);
        return ok && digits.match(text).hasMatch() && n >= c->min && n <= c->max;
    }
    }
    return true;
}

QString Settings::expectation(const RegisteredDefault& entry) {
    const Constraint* c = constraintFor(entry.key);
    if (!c) return typeName(entry.type);
    switch (c->kind) {
    case Constraint::Range:
    case Constraint::Digits: return Messages::format("expectRange", c->min, c->max);
    case Constraint::Characters: return Messages::text(c->min == 1 ? "expectOneChar" : "expectAtMostOneChar");
    case Constraint::ByteCount: return Messages::text("expectByteCount");
    }
    return typeName(entry.type);
}

bool Settings::parseValue(const RegisteredDefault& entry, const QString& text, QVariant& out) {
    QVariant parsed;
    if (!parseTyped(entry, text, parsed) || !fits(entry, parsed)) return false;
    out = parsed;
    return true;
}

bool Settings::parseTyped(const RegisteredDefault& entry, const QString& text, QVariant& out) {
    const QString t = text.trimmed().toLower();
    switch (entry.type) {
    case SettingType::Bool:
        if (t == u"true" || t == u"yes" || t == u"1" || t == u"on") { out = true; return true; }
        if (t == u"false" || t == u"no" || t == u"0" || t == u"off") { out = false; return true; }
        return false;
    case SettingType::Int: {
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        if (ok) out = n;
        return ok;
    }
    case SettingType::String:
        out = text;
        return true;
    case SettingType::Color: {
        static const QRegularExpression hex(QStringLiteral("^#([0-9a-f]{6}|[0-9a-f]{8})$"));
        if (!hex.match(t).hasMatch()) return false;
        out = t.size() == 7 ? QStringLiteral("#ff") + t.mid(1) : t;
        return true;
    }
    case SettingType::Font:
        if (text.isEmpty()) return false;
        out = text;
        return true;
    }
    return false;
}

QVariant Settings::value(const QString& key) const {
    if (auto it = m_overrides.constFind(key); it != m_overrides.constEnd()) return *it;
    const RegisteredDefault* d = registered(key);
    if (m_store && m_store->contains(key)) {
        QVariant stored = m_store->value(key);
        // A value edited by hand (or stored before it was checked) that makes no sense is not used.
        if (!d || fits(*d, stored)) return stored;
    }
    if (d) return d->value;
    return {};
}

bool Settings::boolValue(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().toLower();
        return t == u"true" || t == u"yes" || t == u"1";
    }
    return v.toBool();
}

qint64 Settings::intValue(const QString& key) const { return value(key).toLongLong(); }
QString Settings::stringValue(const QString& key) const { return value(key).toString(); }

void Settings::setOverride(const QString& key, const QVariant& value) { m_overrides.insert(key, value); }
void Settings::clearOverrides() { m_overrides.clear(); }

void Settings::store(const QString& key, const QVariant& value) {
    if (!m_store) return;
    m_store->setValue(key, value);
    m_store->sync();
}

void Settings::remove(const QString& key) {
    if (!m_store) return;
    m_store->remove(key);
    m_store->sync();
}

bool Settings::isStored(const QString& key) const { return m_store && m_store->contains(key); }

void Settings::removeAll() {
    if (!m_store) return;
    m_store->clear();
    m_store->sync();
}

}  // namespace qv
