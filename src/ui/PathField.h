#pragma once
// One side's path: typed, chosen with a folder dialog, dropped from a file
// manager, or picked from the recently used folders (locked ones first,
// marked as locked). The text is the path as the file system spells it.

#include <QWidget>

#include <string>

class QComboBox;
class QToolButton;

namespace qv {

class Settings;

class PathField final : public QWidget {
    Q_OBJECT
public:
    // What the field names: a folder (or a snapshot standing for one), or a file.
    enum class Kind { Folder, File };

    // `sideName` names the field for screen readers ("Left folder").
    PathField(const QString& sideName, Settings& settings, QWidget* parent = nullptr, Kind kind = Kind::Folder);

    // The absolute path the field names ("" when empty).
    std::string path() const;
    void setPath(const std::string& path);
    // Reloads the menu of recently used folders from the settings.
    void reloadHistory();

signals:
    // Return was pressed in the field.
    void submitted();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void browse();
    void chooseSnapshot();

    Settings& m_settings;
    Kind m_kind;
    QComboBox* m_combo;
    QToolButton* m_browse;
};

}  // namespace qv
