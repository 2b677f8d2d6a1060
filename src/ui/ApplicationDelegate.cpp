#include "ui/ApplicationDelegate.h"

#include "app/WindowLayout.h"
#include "base/Messages.h"
#include "base/PathResolution.h"
#include "base/Settings.h"
#include "engine/UserPrompt.h"
#include "ui/ComparisonWindow.h"
#include "ui/DialogPrompt.h"
#include "ui/KQVDocument.h"
#include "ui/SnapshotPreviewWindow.h"

#include <QApplication>
#include <QFile>

#include <algorithm>

namespace qv {

ApplicationDelegate::ApplicationDelegate(Settings& settings, std::unique_ptr<UserPrompt> prompt, QObject* parent)
    : QObject(parent), m_settings(settings), m_prompt(std::move(prompt)), m_session(settings),
      m_queue(*this, settings) {
    if (!m_prompt) m_prompt = std::make_unique<DialogPrompt>(nullptr);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now) windowActivated(now->window());
    });
}

ApplicationDelegate::~ApplicationDelegate() {
    for (KQVDocument* d : m_documents) {
        d->disconnect(this);
        delete d;
    }
    for (const QPointer<QWidget>& p : m_previews) delete p.data();
}

int ApplicationDelegate::applicationDidFinishLaunching(bool restoreWindows) {
    int restored = 0;
    if (restoreWindows && m_settings.boolValue(QStringLiteral("canRestoreTabs"))) {
        const std::vector<RestorableWindow> windows = WindowLayout::openWindows(m_settings);
        // From the back: the window that was in front is made last and so is in front again.
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            const RestorableWindow& state = *it;
            KQVDocument* d = addDocument();
            d->makeWindow()->restoreState(state);
            d->showWindow();
            ++restored;
        }
        // Windows kept for one next start only: a crash later must not bring them back twice.
        WindowLayout::storeOpenWindows(m_settings, {});
    }
    m_session.launch(restored > 0);
    return restored;
}

KQVDocument* ApplicationDelegate::addDocument() {
    auto* d = new KQVDocument(m_settings, nullptr, this);
    m_documents.insert(m_documents.begin(), d);
    connect(d, &KQVDocument::windowMade, this, &ApplicationDelegate::windowMade);
    connect(d, &KQVDocument::closing, this, &ApplicationDelegate::documentClosing);
    connect(d, &KQVDocument::closed, this, &ApplicationDelegate::documentClosed);
    emit documentAdded(d);
    return d;
}

void ApplicationDelegate::windowMade(KQVDocument* d) {
    ComparisonWindow* w = d->window();
    // New windows take the columns and panes the last closed window left.
    if (auto columns = WindowLayout::storedColumns(m_settings)) w->applyColumnLayout(*columns);
    if (auto panes = WindowLayout::storedPanes(m_settings)) w->applyPaneLayout(*panes);
    connect(w, &ComparisonWindow::quitRequested, this, &ApplicationDelegate::quit);
    connect(w, &ComparisonWindow::checkForUpdatesRequested, this, [this, w] { emit checkForUpdatesRequested(w); });
    connect(w, &ComparisonWindow::openPairRequested, this, [this](const std::string& l, const std::string& r) {
        KQVDocument* opened = OpenNewWindowOnDoubleClick(false);
        opened->window()->setPaths(l, r);
        opened->window()->compare();
    });
}

KQVDocument* ApplicationDelegate::newScriptedDocument(bool showUI) {
    if (m_quitting) return nullptr;
    KQVDocument* d = addDocument();
    d->setIShowUI(showUI);
    return d;
}

KQVDocument* ApplicationDelegate::OpenNewWindowOnDoubleClick(bool) {
    KQVDocument* d = addDocument();
    d->openedByDoubleClick = true;
    d->showWindow();
    return d;
}

KQVDocument* ApplicationDelegate::document(const QString& uuid) const {
    for (KQVDocument* d : m_documents)
        if (d->uuid() == uuid) return d;
    return nullptr;
}

QList<QByteArray> ApplicationDelegate::openPairs() const {
    QList<QByteArray> out;
    for (KQVDocument* d : m_documents) {
        if (!d->window()) {
            // A script's comparison without a window: the pair its controller compares.
            out << QByteArray::fromStdString(d->leftPath()) << QByteArray::fromStdString(d->rightPath());
            continue;
        }
        const RestorableWindow s = d->window()->restorableState();
        out << QFile::encodeName(s.leftPath) << QFile::encodeName(s.rightPath);
    }
    return out;
}

void ApplicationDelegate::windowActivated(QObject* window) {
    const auto it = std::find_if(m_documents.begin(), m_documents.end(),
                                 [window](KQVDocument* d) { return d->window() == window; });
    if (it != m_documents.end()) std::rotate(m_documents.begin(), it, it + 1);
}

QString ApplicationDelegate::GetOpenedQVModule(const std::string& a, const std::string& b) {
    for (KQVDocument* d : m_documents) {
        // Without a window, the pair a script's controller compares.
        const bool same = d->window() ? d->window()->comparesPair(a, b) : isSamePair(d->leftPath(), d->rightPath(), a, b);
        if (same) return d->uuid();
    }
    return {};
}

QString ApplicationDelegate::newDocument(const std::string& left, const std::string& right) {
    KQVDocument* d = addDocument();
    d->makeWindow()->setPaths(left, right);
    d->showWindow();
    return d->uuid();
}

void ApplicationDelegate::bringToFront(const QString& uuid) {
    KQVDocument* d = document(uuid);
    if (!d) return;
    // A comparison a script runs without a window gets one when the user opens its pair.
    d->showWindow();
    if (ComparisonWindow* w = d->window()) {
        w->activateWindow();
        windowActivated(w);
    }
}

void ApplicationDelegate::startComparison(const QString& uuid) {
    KQVDocument* d = document(uuid);
    // Compare on a running window would stop it.
    if (d && d->window() && !d->window()->comparing()) d->window()->compare();
}

void ApplicationDelegate::showSnapshotPreview(const std::string& file) {
    auto* preview = new SnapshotPreviewWindow(QFile::decodeName(file.c_str()), m_settings, *m_prompt);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(m_previews, [](const QPointer<QWidget>& p) { return p.isNull(); });
    m_previews.emplace_back(preview);
    preview->show();
}

KQVDocument* ApplicationDelegate::layoutDocument() const {
    for (KQVDocument* d : m_documents)
        if (!d->openedByDoubleClick) return d;
    return m_documents.empty() ? nullptr : m_documents.front();
}

bool ApplicationDelegate::askAboutReopening() {
    if (m_documents.size() < 2 || m_settings.boolValue(QStringLiteral("dontShowTabSaveQuit"))) return true;
    Question q;
    q.message = Messages::text("tabSaveQuit0");
    q.details = Messages::text("tabSaveQuit1");
    q.buttons = {Messages::text("reopenWindows"), Messages::text("dontReopenWindows"), Messages::text("cancel")};
    q.offersSuppression = true;
    const Answer a = m_prompt->ask(q);
    if (a.button == 2) return false;
    m_settings.store(QStringLiteral("canRestoreTabs"), a.button == 0);
    if (a.suppress) m_settings.store(QStringLiteral("dontShowTabSaveQuit"), true);
    return true;
}

void ApplicationDelegate::keepSession(const std::vector<KQVDocument*>& open) {
    std::vector<RestorableWindow> windows;
    if (m_settings.boolValue(QStringLiteral("canRestoreTabs"))) {
        for (KQVDocument* d : open) {
            if (!d->window() || !d->iShowUI()) continue;
            RestorableWindow state = d->window()->restorableState();
            state.uuid = d->uuid();
            windows.push_back(std::move(state));
        }
    }
    WindowLayout::storeOpenWindows(m_settings, windows);
    m_session.quit();
}

bool ApplicationDelegate::quit() {
    if (m_quitting) return true;
    if (!askAboutReopening()) return false;
    m_quitting = true;
    m_queue.discard();   // paths still arriving would open windows nobody sees
    if (KQVDocument* d = layoutDocument(); d && d->window()) d->window()->CloseWindow();
    keepSession(m_documents);
    const std::vector<KQVDocument*> open = m_documents;
    for (KQVDocument* d : open) d->close();
    for (const QPointer<QWidget>& p : m_previews)
        if (p) p->close();
    emit quitting();
    return true;
}

void ApplicationDelegate::documentClosing(KQVDocument* document) {
    // A window a script ran hidden leaves neither its layout nor a session behind.
    if (!m_quitting && document->window() && document->iShowUI()) {
        // Closed by itself, a window leaves its layout for the next one; closed as the
        // last one, it is the session the next start brings back.
        document->window()->CloseWindow();
        if (m_documents.size() == 1 && m_documents.front() == document) keepSession(m_documents);
    }
    // A closing window is no longer one to bring forward or to keep.
    if (std::erase(m_documents, document) > 0) emit documentRemoved(document);
}

void ApplicationDelegate::documentClosed(KQVDocument* document) {
    if (std::erase(m_documents, document) > 0) emit documentRemoved(document);
}

}  // namespace qv
