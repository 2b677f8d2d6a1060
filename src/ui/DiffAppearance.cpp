#include "ui/DiffAppearance.h"

#include "base/Settings.h"

#include <QFontDatabase>

namespace qv {
namespace {

QColor storedColor(const Settings& settings, const char* key) {
    QColor c(settings.stringValue(QString::fromLatin1(key)));
    if (!c.isValid()) c = QColor(Settings::registered(QString::fromLatin1(key))->value.toString());
    return c;
}

}  // namespace

DiffAppearance DiffAppearance::from(const Settings& settings, const QPalette& palette) {
    DiffAppearance a;
    a.marksBackground = settings.boolValue(QStringLiteral("fcInvertColors"));
    a.rowBackground = settings.boolValue(QStringLiteral("fcHighBcg"));
    a.added = storedColor(settings, "fcAddTxtColor");
    a.changed = storedColor(settings, "fcChgTxtColor");
    if (!a.marksBackground) {
        // Coloured text must stand out by itself: no transparency.
        a.added.setAlpha(255);
        a.changed.setAlpha(255);
    }
    a.text = palette.color(QPalette::Text);
    a.lineNumber = palette.color(QPalette::PlaceholderText);
    a.filler = palette.color(QPalette::Mid);
    a.highlight = palette.color(QPalette::Highlight);
    a.highlightedText = palette.color(QPalette::HighlightedText);
    return a;
}

QColor DiffAppearance::rowTint(int sides) const {
    QColor c = sides == 12 ? changed : added;
    c.setAlphaF(std::min(0.18f, c.alphaF() * 0.45f));
    return c;
}

QFont DiffAppearance::font(const Settings& settings) {
    QFont f;
    if (!f.fromString(settings.stringValue(QStringLiteral("fcFont"))) || f.family().isEmpty())
        f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (f.family() == QLatin1String("Monospace")) f.setStyleHint(QFont::Monospace);
    return f;
}

}  // namespace qv
