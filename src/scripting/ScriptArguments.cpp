#include "scripting/ScriptArguments.h"

#include <QStringDecoder>

#include <array>

namespace qv {
namespace {

struct KeyEntry {
    const char* key;
    ScriptValueKind kind;
};

constexpr std::array kCompareKeys = {
    KeyEntry{"Comparison", ScriptValueKind::Comparison}, KeyEntry{"Left", ScriptValueKind::Path},
    KeyEntry{"Right", ScriptValueKind::Path},            KeyEntry{"ShowUI", ScriptValueKind::Bool},
    KeyEntry{"CompareMethod", ScriptValueKind::Enumerator}, KeyEntry{"ByContent", ScriptValueKind::Bool},
    KeyEntry{"IgnoringDates", ScriptValueKind::Bool},    KeyEntry{"CompareEverything", ScriptValueKind::Bool},
    KeyEntry{"Subfolders", ScriptValueKind::Bool},
};
constexpr std::array kSyncKeys = {
    KeyEntry{"Comparison", ScriptValueKind::Comparison}, KeyEntry{"Left", ScriptValueKind::Path},
    KeyEntry{"Right", ScriptValueKind::Path},            KeyEntry{"ShowUI", ScriptValueKind::Bool},
    KeyEntry{"SyncType", ScriptValueKind::Enumerator},   KeyEntry{"Direction", ScriptValueKind::Enumerator},
    KeyEntry{"OrphansOnly", ScriptValueKind::Bool},      KeyEntry{"DeleteExtraItems", ScriptValueKind::Bool},
};
constexpr std::array kExecuteKeys = {
    KeyEntry{"Comparison", ScriptValueKind::Comparison}, KeyEntry{"OverwriteIdentical", ScriptValueKind::Bool},
    KeyEntry{"DeletePermanently", ScriptValueKind::Bool}, KeyEntry{"ArchiveToTrash", ScriptValueKind::Bool},
    KeyEntry{"ArchiveToFolder", ScriptValueKind::Path},  KeyEntry{"NoArchive", ScriptValueKind::Bool},
};
constexpr std::array kCloseKeys = {KeyEntry{"Comparison", ScriptValueKind::Comparison}};

template <std::size_t N>
bool find(const std::array<KeyEntry, N>& keys, const QString& key, ScriptValueKind& kind) {
    for (const KeyEntry& k : keys)
        if (key == QLatin1String(k.key)) {
            kind = k.kind;
            return true;
        }
    return false;
}

bool isWholeNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// The codes a key accepts; an empty list takes any four-character code
// (a compare method that is not one of the three means "automatic").
QStringList codesOf(const QString& key) {
    if (key == QLatin1String("SyncType")) return {codes::kMirror, codes::kUpdate};
    if (key == QLatin1String("Direction")) return {codes::kLeftToRight, codes::kRightToLeft, codes::kBothWays};
    return {};
}

bool isFourCharCode(const QString& s) {
    if (s.size() != 4) return false;
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) return false;
    return true;
}

}  // namespace

bool scriptKeyKind(ScriptCommandKind command, const QString& key, ScriptValueKind& kind) {
    switch (command) {
    case ScriptCommandKind::Compare: return find(kCompareKeys, key, kind);
    case ScriptCommandKind::Sync: return find(kSyncKeys, key, kind);
    case ScriptCommandKind::Execute: return find(kExecuteKeys, key, kind);
    case ScriptCommandKind::Close: return find(kCloseKeys, key, kind);
    }
    return false;
}

ScriptError normaliseArguments(ScriptCommandKind command, QVariantMap& arguments) {
    for (auto it = arguments.begin(); it != arguments.end(); ++it) {
        const QString& key = it.key();
        QVariant& v = it.value();
        ScriptValueKind kind;
        if (!scriptKeyKind(command, key, kind)) return script_errors::unknownParameter(key);
        switch (kind) {
        case ScriptValueKind::Comparison:
            if (!isWholeNumber(v)) return script_errors::wrongType(key, "a comparison number");
            v = QVariant(v.toLongLong());
            break;
        case ScriptValueKind::Bool:
            if (v.typeId() != QMetaType::Bool) return script_errors::wrongType(key, "a boolean");
            break;
        case ScriptValueKind::Enumerator: {
            if (v.typeId() != QMetaType::QString) return script_errors::wrongType(key, "a four-character code");
            const QString code = v.toString();
            const QStringList known = codesOf(key);
            if (!isFourCharCode(code) || (!known.isEmpty() && !known.contains(code)))
                return script_errors::badEnumerator(key, code);
            break;
        }
        case ScriptValueKind::Path: {
            QString path;
            if (v.typeId() == QMetaType::QString) {
                path = v.toString();
            } else if (v.typeId() == QMetaType::QByteArray) {
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
                path = utf8.decode(v.toByteArray());
                if (utf8.hasError()) return script_errors::badPath(key);
            } else {
                return script_errors::wrongType(key, "a path");
            }
            if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r')) || path.contains(QChar(0)))
                return script_errors::badPath(key);
            v = QVariant(path);
            break;
        }
        }
    }
    return {};
}

std::string scriptPath(const QVariant& value) { return value.toString().toStdString(); }

}  // namespace qv
