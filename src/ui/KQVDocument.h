#pragma once
// One comparison window as the application keeps it: an identifier of its
// own (a new UUID per document) and the window with its controller. The
// document goes when its window closes.

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace qv {

class ComparisonWindow;
class Settings;
class UserPrompt;

class KQVDocument final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kType = "QVDocument";

    // `prompt`: answers the window's questions (null: dialogs over the window).
    explicit KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt = nullptr, QObject* parent = nullptr);
    ~KQVDocument() override;

    const QString& uuid() const { return m_uuid; }
    // Null once the window has gone.
    ComparisonWindow* window() const { return m_window; }
    // Opened from a row of another window (its layout is not the one kept at quit).
    bool openedByDoubleClick = false;

signals:
    // The window is closing and can still be read.
    void closing(KQVDocument* document);
    // The window has gone; the document goes next.
    void closed(KQVDocument* document);

private:
    QString m_uuid;
    QPointer<ComparisonWindow> m_window;
};

}  // namespace qv
