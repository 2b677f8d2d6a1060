#pragma once
// The application-wide work around the windows: what happens once at start
// (the application-support folder, the two recently-used lists, the clean-up
// of old temporary files) and once at quit (histories reduced when paths are
// not to be kept). Nothing here shows a window.

#include <QString>

#include <string>

namespace qv {

class Settings;

class ApplicationSession {
public:
    explicit ApplicationSession(Settings& settings);

    // `windowsRestored`: comparison windows are already open. With "savePaths"
    // off those windows' paths are not kept, so the recently-used lists are
    // then not made persistent.
    void launch(bool windowsRestored);
    // Reduces the histories when paths are not to be kept (locked entries stay).
    void quit();

    // The names the two recently-used lists were made with ("" for a list that is not stored).
    const QString& folderListName() const { return m_folderList; }
    const QString& fileListName() const { return m_fileList; }

    // Moves to the trash the temporaries that runs of this user left directly
    // in `folder` ("quorvane-KIND-XXXXXX", not one a running Quorvane still
    // holds), never following a link. launch() runs it over the system's
    // temporary folder on a worker thread. Returns how many files moved.
    static int EmptyTmpFolder(const std::string& folder);

private:
    Settings& m_settings;
    QString m_folderList, m_fileList;
};

}  // namespace qv
