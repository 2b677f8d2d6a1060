#include "ui/StateAppearance.h"

#include "base/Messages.h"
#include "engine/ComparisonState.h"

#include <QApplication>
#include <QStyle>

namespace qv {
namespace {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Base).lightness() < 128; }

// Tones that keep a contrast of at least 4.5:1 against the palette's base
// colour, one for a light base and one for a dark base.
QColor tone(const QPalette& palette, QColor light, QColor dark) { return isDark(palette) ? dark : light; }

QColor red(const QPalette& p) { return tone(p, QColor::fromRgbF(0.7f, 0, 0), QColor::fromRgbF(0.8627f, 0.27f, 0.29f)); }

}  // namespace

QColor stateColor(int state, const QPalette& palette) {
    switch (state) {
    case kStateEqual: return palette.color(QPalette::Text);
    case kStateSizesDiffer: case kStateDatesDiffer: case kStateSizesAndDatesDiffer: case kStateDifferent:
        return red(palette);
    case kStateOnlyLeft: return tone(palette, QColor(0x1c, 0x5f, 0xb0), QColor(0x78, 0xae, 0xed));
    case kStateOnlyRight: return tone(palette, QColor(0x1e, 0x7a, 0x3c), QColor(0x7f, 0xd4, 0x9a));
    case kStateRsrcDiffers: case kStateTagsDiffer: return tone(palette, QColor(0x9a, 0x52, 0x00), QColor(0xf0, 0xa0, 0x50));
    default: return palette.color(QPalette::PlaceholderText);
    }
}

QBrush stateBrush(int state, const QPalette& palette) { return QBrush(stateColor(state, palette)); }

QColor verdictColor(Verdict verdict, const QPalette& palette) {
    switch (verdict) {
    case Verdict::Equal: return stateColor(kStateOnlyRight, palette);
    case Verdict::Different: return red(palette);
    default: return palette.color(QPalette::WindowText);
    }
}

QString stateGlyph(int state) {
    switch (state) {
    case kStateEqual: return QStringLiteral("=");
    case kStateSizesDiffer: case kStateDatesDiffer: case kStateSizesAndDatesDiffer: case kStateDifferent:
        return QStringLiteral("≠");
    case kStateOnlyLeft: return QStringLiteral("◀");
    case kStateOnlyRight: return QStringLiteral("▶");
    case kStateNoEntry: return QStringLiteral("!");
    case kStateRsrcDiffers: return QStringLiteral("≈");
    case kStateTagsDiffer: return QStringLiteral("#");
    default: return QStringLiteral("·");
    }
}

QIcon entryIcon(bool folder, bool link) {
    QStyle* style = QApplication::style();
    if (link) return style->standardIcon(folder ? QStyle::SP_DirLinkIcon : QStyle::SP_FileLinkIcon);
    return style->standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
}

QString actionWords(int action) {
    static const char* keys[] = {"",          "actCopyToRight", "actCopyToLeft",   "actDeleteRight",  "actDeleteLeft",
                                 "actDeleteBoth", "actCopyAsToRight", "actCopyAsToLeft", "actAliasToRight", "actAliasToLeft",
                                 "actAttrsToRight", "actAttrsToLeft", "actRenameRight", "actRenameLeft",   "actRenameBoth"};
    if (action <= kNone || action > kLastMergeAction) return {};
    return Messages::text(keys[action]);
}

QString actionGlyph(int action, int side) {
    const bool left = side == kSideLeft;
    switch (action) {
    case kCopyToRight: return left ? QStringLiteral("→") : QString();
    case kCopyToLeft: return left ? QString() : QStringLiteral("←");
    case kDeleteRight: return left ? QString() : QStringLiteral("✕");
    case kDeleteLeft: return left ? QStringLiteral("✕") : QString();
    case kDeleteBoth: return QStringLiteral("✕");
    case kCopyAsToRight: return left ? QStringLiteral("⇢") : QString();
    case kCopyAsToLeft: return left ? QString() : QStringLiteral("⇠");
    case kAliasToRight: return left ? QStringLiteral("↪") : QString();
    case kAliasToLeft: return left ? QString() : QStringLiteral("↩");
    case kAttrsToRight: return left ? QStringLiteral("⇀") : QString();
    case kAttrsToLeft: return left ? QString() : QStringLiteral("↼");
    case kRenameRight: return left ? QString() : QStringLiteral("✎");
    case kRenameLeft: return left ? QStringLiteral("✎") : QString();
    case kRenameBoth: return QStringLiteral("✎");
    default: return {};
    }
}

}  // namespace qv
