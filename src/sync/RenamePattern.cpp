#include "sync/RenamePattern.h"

#include "engine/KItem.h"

#include <QStringList>

namespace qv {
namespace {

constexpr qsizetype kMaxNameBytes = 255;

// The side whose entry gets the new name, for an action that names one.
int namedSide(int action, int side) {
    switch (action) {
    case kCopyAsToRight: case kRenameLeft: return kSideLeft;
    case kCopyAsToLeft: case kRenameRight: return kSideRight;
    default: return side == kSideRight ? kSideRight : kSideLeft;
    }
}

QString patternName(const QString& base, const RenameOptions& o) {
    if (!o.hasText()) return {};
    switch (o.rename) {
    case RenameNewName: return o.text;
    case RenameAddAfter: {
        if (base.isEmpty()) return {};
        const NameParts parts = NameParts::of(base);
        return parts.extension.isEmpty() ? parts.stem + o.text : parts.stem + o.text + QLatin1Char('.') + parts.extension;
    }
    case RenameAddBefore: return base.isEmpty() ? QString() : o.text + base;
    case RenameReplace: {
        const QStringList parts = o.text.split(kNameSeparator);
        // An empty find text would match between every two characters.
        if (parts.size() != 2 || parts[0].isEmpty()) return {};
        return QString(base).replace(parts[0], parts[1]);
    }
    default: return {};
    }
}

bool isSingleRename(int action) { return action == kRenameRight || action == kRenameLeft; }

}  // namespace

QVariantMap RenameOptions::RenameDict() const {
    QVariantMap dict;
    dict.insert(QStringLiteral("rename"), rename);
    dict.insert(QStringLiteral("text"), text);
    return dict;
}

std::optional<RenameOptions> RenameOptions::fromDict(const QVariantMap& dict) {
    bool whole = false;
    const QVariant mode = dict.value(QStringLiteral("rename"));
    RenameOptions o;
    o.rename = mode.toInt(&whole);
    if (!whole || mode.toDouble() != o.rename) return std::nullopt;
    const QVariant text = dict.value(QStringLiteral("text"));
    if (text.isValid() && !text.isNull()) o.text = text.toString();
    return o;
}

RenameOptions RenameOptions::replacing(const QString& find, const QString& replacement) {
    return {RenameReplace, withoutSeparator(find) + kNameSeparator + withoutSeparator(replacement)};
}

NameParts NameParts::of(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1) return {name, {}};
    return {name.left(dot), name.mid(dot + 1)};
}

QString withoutSeparator(QString text) { return text.remove(kNameSeparator); }

QString entryNameOnSide(const KItem& item, int side) {
    return side == kSideLeft && item.hasName2() ? item.iName2() : item.iName();
}

QString NewNameFrom(const QString& base, const RenameOptions& options) {
    // A name read from disk may hold the separator; the new one never does,
    // so that a rename of both sides always splits into its two names.
    const QString name = withoutSeparator(patternName(base, options));
    return name == base ? QString() : name;
}

QString CopyAsNameForItem(const KItem& item, const RenameOptions& options, int side) {
    return NewNameFrom(entryNameOnSide(item, namedSide(item.iCopyTo, side)), options);
}

void SetCopyAsForRow(KItem* item, const RenameOptions& options, int action, int previousAction) {
    const QString had = item->iCopyAs();
    if (action == kRenameBoth) {
        // The side pressed now is the one not renamed before.
        const int pressed = previousAction == kRenameLeft ? kSideRight : kSideLeft;
        const QString name = CopyAsNameForItem(*item, options, pressed);
        if (!name.isEmpty() && !had.isEmpty()) {
            item->setICopyAs(pressed == kSideRight ? had + kNameSeparator + name : name + kNameSeparator + had);
        } else if (!name.isEmpty()) {
            // Only one side has a new name: its rename stands alone.
            item->setICopyTo(pressed == kSideRight ? kRenameRight : kRenameLeft);
            item->setICopyAs(name);
        } else if (!had.isEmpty() && isSingleRename(previousAction)) {
            item->setICopyTo(previousAction);
            item->setICopyAs(had);
        } else {
            item->setICopyTo(kNone);
        }
        return;
    }
    // Half of a rename of both sides was dropped; the other half keeps its name.
    if (previousAction == kRenameBoth && isSingleRename(action) && !had.isEmpty()) return;
    const QString name = CopyAsNameForItem(*item, options);
    if (!name.isEmpty()) {
        item->setICopyAs(name);
        return;
    }
    if (action == kCopyAsToRight) item->setICopyTo(kCopyToRight);
    else if (action == kCopyAsToLeft) item->setICopyTo(kCopyToLeft);
    else if (isSingleRename(action)) item->setICopyTo(kNone);
    item->setICopyAs({});
}

const char* nameProblem(const QString& name) {
    if (name.isEmpty()) return "nameEmpty";
    if (name == QLatin1String(".") || name == QLatin1String("..")) return "nameDots";
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0))) return "nameBadCharacter";
    if (name.toUtf8().size() > kMaxNameBytes) return "nameTooLong";
    return nullptr;
}

}  // namespace qv
