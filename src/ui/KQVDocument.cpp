#include "ui/KQVDocument.h"

#include "app/SwitchablePrompt.h"
#include "engine/UserPrompt.h"
#include "ui/ComparisonWindow.h"
#include "ui/DialogPrompt.h"

#include <QDialog>
#include <QTimer>
#include <QUuid>

namespace qv {

KQVDocument::KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt, QObject* parent)
    : QObject(parent), ScriptableComparison(takeUniqueASID()),
      m_uuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {
    auto switchable = std::make_unique<SwitchablePrompt>(std::move(prompt));
    m_prompt = switchable.get();
    auto* window = new ComparisonWindow(settings, std::move(switchable));
    // Dialogs over the window, made once the window exists.
    if (!m_prompt->hasShownPrompt()) m_prompt->setShownPrompt(std::make_unique<DialogPrompt>(window));
    m_window = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &ComparisonWindow::closing, this, [this] { emit closing(this); });
    connect(window, &QObject::destroyed, this, [this] {
        emit closed(this);
        deleteLater();
    });
}

KQVDocument::~KQVDocument() {
    // A document dropped while its window is open (the application going) takes the window along.
    if (!m_window) return;
    m_window->disconnect(this);
    delete m_window.data();
}

QuorvaneModule* KQVDocument::controller() const { return m_window ? &m_window->module() : nullptr; }

void KQVDocument::selectTab(int tab) {
    if (!m_window) return;
    if (tab == 1) m_window->showFileTab();
    else m_window->showFolderTab();
}

void KQVDocument::CloseAnyOpenAlerts() {
    if (!m_window) return;
    for (QDialog* dialog : m_window->findChildren<QDialog*>())
        if (dialog->isVisible()) dialog->reject();
}

void KQVDocument::applyShowUI(bool show) {
    m_prompt->setShowsUI(show);
    if (!m_window) return;
    if (show) {
        m_window->show();
        m_window->raise();
    } else {
        m_window->hide();
    }
}

void KQVDocument::hideAndCloseLater() {
    if (!m_window) return;
    m_window->hide();
    QTimer::singleShot(kScriptCloseDelayMs, m_window.data(), [window = m_window] {
        if (window) window->close();
    });
}

}  // namespace qv
