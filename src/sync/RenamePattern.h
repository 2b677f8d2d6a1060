#pragma once
// New names for the copy-as and rename actions. A user gives a whole new
// name, a text to add after or before the name, or a text to replace; the
// choice travels as a two-key dictionary ({"rename": mode, "text": ...}) so
// that one pattern can name every selected item.

#include <QString>
#include <QVariantMap>

#include <optional>

namespace qv {

class KItem;

enum RenameMode : int { RenameNewName = 0, RenameAddAfter = 1, RenameAddBefore = 2, RenameReplace = 3 };

// Separates the left from the right name of a rename of both sides, and the
// find text from its replacement; it never reaches a name.
inline constexpr QChar kNameSeparator = QLatin1Char(':');

struct RenameOptions {
    int rename = RenameNewName;
    QString text;   // null: no text was given

    bool hasText() const { return !text.isNull(); }
    // The dictionary form: {"rename": int, "text": string}.
    QVariantMap RenameDict() const;
    // nullopt when "rename" is not a whole number.
    static std::optional<RenameOptions> fromDict(const QVariantMap& dict);
    // Mode 3 with the find and replacement texts joined by the separator.
    static RenameOptions replacing(const QString& find, const QString& replacement);
};

// The name before its extension and the extension (without the dot). A
// leading dot starts no extension (".bashrc"), and neither does a last one.
struct NameParts {
    QString stem, extension;
    static NameParts of(const QString& name);
};

// The text with every separator taken out, as the name fields take it out while typed.
QString withoutSeparator(QString text);

// The name of the item's entry on a side as the new names start from it.
QString entryNameOnSide(const KItem& item, int side);
// The name the options make of `base`, without separators; "" when they
// make none or the name would not change.
QString NewNameFrom(const QString& base, const RenameOptions& options);

// The new name the options give the entry the item's action works on (the
// left one for CopyAsToRight and RenameLeft, the right one for CopyAsToLeft
// and RenameRight; for RenameBoth, `side` chooses, the left by default).
// "" when the options give no name, or the name would not change.
QString CopyAsNameForItem(const KItem& item, const RenameOptions& options, int side = 0);

// Stores the name the options give the item, whose action `action` was
// just set from `previousAction`. A rename of both sides keeps the left
// name first whichever side was named first. Without a new name the action
// falls back: a copy-as to the plain copy, a rename to none (a rename of
// both sides to the one side named before).
void SetCopyAsForRow(KItem* item, const RenameOptions& options, int action, int previousAction);

// Why a name cannot name an entry in a folder (the key of the message), or
// nullptr when it can: empty, "." or "..", a "/" or a NUL in it, or more
// than 255 bytes.
const char* nameProblem(const QString& name);

}  // namespace qv
