#include "sync/TagEditor.h"

#include "base/Messages.h"
#include "platform/ExtendedAttributes.h"
#include "sync/KCopyItem.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace qv {
namespace {

const QChar kTagSeparator = QLatin1Char(';');

// The form a colour button writes: the first letter of each word upper case, the rest lower.
QString capitalised(const QString& text) {
    QString out = text.toLower();
    bool wordStart = true;
    for (QChar& c : out) {
        if (wordStart && c.isLetter()) c = c.toUpper();
        wordStart = c.isSpace();
    }
    return out;
}

bool isLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

const QStringList& TagEditor::colourNames() {
    static const QStringList names = {QStringLiteral("Red"),  QStringLiteral("Orange"), QStringLiteral("Yellow"),
                                      QStringLiteral("Green"), QStringLiteral("Blue"),  QStringLiteral("Purple"),
                                      QStringLiteral("Gray")};
    return names;
}

int TagEditor::colourIndex(const QString& name) {
    for (int i = 0; i < kTagColourCount; ++i)
        if (name.compare(colourNames()[i], Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString TagEditor::gatheredText(const std::vector<std::string>& paths) {
    QStringList names;
    for (const std::string& path : paths)
        if (const auto tags = platform::readTags(path, false))
            for (const std::string& tag : *tags) names << QString::fromStdString(tag);
    return names.join(kTagSeparator);
}

QStringList TagEditor::tagsFromText(const QString& text) {
    QStringList tags;
    for (const QString& part : text.split(kTagSeparator)) {
        const QString name = part.trimmed();
        if (!name.isEmpty() && !tags.contains(name)) tags << name;
    }
    return tags;
}

std::array<bool, kTagColourCount> TagEditor::coloursIn(const QString& text) {
    std::array<bool, kTagColourCount> on{};
    for (const QString& part : text.split(kTagSeparator))
        if (const int i = colourIndex(part); i >= 0) on[static_cast<std::size_t>(i)] = true;
    return on;
}

QString TagEditor::withColour(const QString& text, int index, bool on) {
    if (index < 0 || index >= kTagColourCount) return text;
    QStringList parts = text.split(kTagSeparator, Qt::SkipEmptyParts);
    const QString& name = colourNames()[index];
    const auto match = std::find_if(parts.begin(), parts.end(), [&](const QString& p) { return capitalised(p) == name; });
    if (on && match == parts.end()) parts << name;
    else if (!on && match != parts.end()) parts.erase(match);
    return parts.join(kTagSeparator);
}

QString TagEditor::unstorableName(const QStringList& tags) {
    for (const QString& tag : tags)
        if (tag.contains(QLatin1Char(',')) || tag.contains(QChar(0))) return tag;
    return {};
}

std::vector<TagWriteFailure> TagEditor::SaveTags(const std::vector<std::string>& paths, const QStringList& tags) {
    std::vector<std::string> names;
    for (const QString& tag : tags) names.push_back(tag.toStdString());
    std::vector<TagWriteFailure> failures;
    for (const std::string& path : paths)
        if (const int error = platform::writeTags(path, names)) failures.push_back({path, error});
    return failures;
}

QString TagEditor::failureText(const TagWriteFailure& failure) {
    if (failure.error == EOPNOTSUPP) return Messages::text("tagsUnsupported");
    // Linux keeps no user attributes on a link itself; its target is not ours to change.
    if (failure.error == EPERM && isLink(failure.path)) return Messages::text("tagsOnLink");
    return errorText(failure.error);
}

}  // namespace qv
