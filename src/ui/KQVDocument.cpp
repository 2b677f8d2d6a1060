#include "ui/KQVDocument.h"

#include "engine/UserPrompt.h"
#include "ui/ComparisonWindow.h"

#include <QUuid>

namespace qv {

KQVDocument::KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt, QObject* parent)
    : QObject(parent), m_uuid(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()) {
    auto* window = new ComparisonWindow(settings, std::move(prompt));
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

}  // namespace qv
