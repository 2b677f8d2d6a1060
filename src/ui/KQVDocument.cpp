#include "ui/KQVDocument.h"

#include "app/QuorvaneModule.h"
#include "app/SwitchablePrompt.h"
#include "engine/UserPrompt.h"
#include "ui/ComparisonWindow.h"
#include "ui/DialogPrompt.h"

#include <QDialog>
#include <QTimer>
#include <QUuid>

namespace qv {

KQVDocument::KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt, QObject* parent)
    : QObject(parent), ScriptableComparison(takeUniqueASID()), m_settings(settings),
      m_uuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()),
      m_prompt(std::make_unique<SwitchablePrompt>(std::move(prompt))),
      m_module(std::make_unique<QuorvaneModule>(*m_prompt, settings)) {}

KQVDocument::~KQVDocument() {
    // A document dropped while its window is open (the application going) takes the window along.
    if (m_window) {
        m_window->disconnect(this);
        delete m_window.data();
    }
    m_module.reset();   // joins the controller's threads while its prompt is still there
}

ComparisonWindow* KQVDocument::makeWindow() {
    if (m_window || m_closed) return m_window;
    auto* window = new ComparisonWindow(m_settings, *m_module);
    // Dialogs over the window, made once the window exists.
    if (!m_prompt->hasShownPrompt()) m_prompt->setShownPrompt(std::make_unique<DialogPrompt>(window));
    m_window = window;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &ComparisonWindow::closing, this, [this] {
        m_closed = true;
        emit closing(this);
    });
    connect(window, &QObject::destroyed, this, [this] {
        emit closed(this);
        deleteLater();
    });
    emit windowMade(this);
    return window;
}

void KQVDocument::showWindow() {
    ComparisonWindow* window = makeWindow();
    if (!window) return;
    if (window->isMinimized()) window->showNormal();
    else window->show();
    window->raise();
}

void KQVDocument::close() {
    if (m_window) {
        m_window->close();   // its end closes the document
        return;
    }
    if (m_closed) return;
    m_closed = true;
    m_module->Cancel();
    emit closing(this);
    emit closed(this);
    deleteLater();
}

QuorvaneModule* KQVDocument::controller() const { return m_module.get(); }

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
    if (show) showWindow();
    else if (m_window) m_window->hide();
}

void KQVDocument::hideAndCloseLater() {
    if (m_window) m_window->hide();
    QTimer::singleShot(kScriptCloseDelayMs, this, [this] { close(); });
}

}  // namespace qv
