#pragma once
// Where releases come from: a folder on a web server (or a local folder,
// for a mirror on a shared disk and for tests) that holds the version file,
// the release notes, and each release archive with its signature.

#include <QString>
#include <QUrl>

namespace qv {
class Settings;
}

namespace qv::update {

// File names in the server folder.
inline constexpr char kVersionFileName[] = "update.ver";
// Qt renders Markdown without help, and unlike HTML it shows nothing the
// release manager did not write (no remote images, no scripts), and reads
// as plain text in a terminal.
inline constexpr char kNotesFileName[] = "englishNews.md";
inline constexpr char kSignatureSuffix[] = ".sig";

// The folder: QV_UPDATE_URL when set, else the "updateURL" setting. A plain
// absolute path names a local folder. Invalid when neither gives an address.
QUrl updateServerFolder(const Settings& settings);

// A file of the server folder.
QUrl serverFile(const QUrl& folder, const QString& name);

}  // namespace qv::update
