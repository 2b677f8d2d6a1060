#pragma once
// The window program's application object: it makes, finds and closes the
// comparison documents, opens what is handed to it (through the coalescing
// queue), restores the windows of the last session and keeps them at quit.

#include "app/ApplicationSession.h"
#include "app/OpenQueue.h"
#include "engine/UserPrompt.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace qv {

class ComparisonWindow;
class KQVDocument;
class Settings;

class ApplicationDelegate final : public QObject, public OpenQueueHost {
    Q_OBJECT
public:
    // `prompt` asks the application's own questions (null: message boxes).
    explicit ApplicationDelegate(Settings& settings, std::unique_ptr<UserPrompt> prompt = nullptr,
                                 QObject* parent = nullptr);
    ~ApplicationDelegate() override;

    // The launch: the session's start-up work and, unless the user turned it
    // off, the windows of the last session (not for a program that only
    // serves scripts: `restoreWindows` false). Returns how many were restored.
    int applicationDidFinishLaunching(bool restoreWindows = true);
    // Paths from the command line, a file manager or a second start.
    void openFiles(const std::vector<std::string>& paths, bool start) { m_queue.openFiles(paths, start); }
    OpenQueue& queue() { return m_queue; }

    // A new document with its window shown; `asTab` is kept for when windows
    // can hold tabs: every document has a window of its own for now.
    KQVDocument* OpenNewWindowOnDoubleClick(bool asTab);
    // The Quit action: asks about reopening when several windows are open,
    // keeps what the next start needs and closes every window. False when
    // the user chose to stay.
    bool quit();

    // A document for a script: its window shown only with `showUI`.
    KQVDocument* newScriptedDocument(bool showUI);

    // The open documents, the front-most first.
    const std::vector<KQVDocument*>& documents() const { return m_documents; }
    KQVDocument* document(const QString& uuid) const;
    // The left and right path of every open window, in turn.
    QList<QByteArray> openPairs() const;

    // OpenQueueHost.
    QString GetOpenedQVModule(const std::string& a, const std::string& b) override;
    QString newDocument(const std::string& left, const std::string& right) override;
    void bringToFront(const QString& document) override;
    void startComparison(const QString& document) override;
    void showSnapshotPreview(const std::string& file) override;

signals:
    void documentAdded(qv::KQVDocument* document);
    // The document left the list (its window is closing).
    void documentRemoved(qv::KQVDocument* document);
    // Every window is closed or closing: the program may end.
    void quitting();
    // A window's menu command Check for Updates…, with that window.
    void checkForUpdatesRequested(QWidget* window);

public:
    // Snapshot previews opened for handed-in files.
    const std::vector<QPointer<QWidget>>& previews() const { return m_previews; }

private:
    // A document without a window: callers that show it make one.
    KQVDocument* addDocument();
    // A document's window was made: it takes the stored layout and reaches the application.
    void windowMade(KQVDocument* document);
    void documentClosing(KQVDocument* document);
    void documentClosed(KQVDocument* document);
    void windowActivated(QObject* window);
    // Keeps the open windows for the next start (or forgets them) and reduces the histories.
    void keepSession(const std::vector<KQVDocument*>& open);
    // The window whose layout new windows take: the front-most not opened from a row, else the front-most.
    KQVDocument* layoutDocument() const;
    bool askAboutReopening();

    Settings& m_settings;
    std::unique_ptr<UserPrompt> m_prompt;
    ApplicationSession m_session;
    OpenQueue m_queue;
    std::vector<KQVDocument*> m_documents;
    std::vector<QPointer<QWidget>> m_previews;
    bool m_quitting = false;
};

}  // namespace qv
