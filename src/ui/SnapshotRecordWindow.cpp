#include "ui/SnapshotRecordWindow.h"

#include "base/Messages.h"
#include "engine/UserPrompt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <cstring>

namespace qv {
namespace {

QString number(std::uint64_t n) { return QLocale().toString(qulonglong(n)); }

}  // namespace

SnapshotRecordWindow::SnapshotRecordWindow(UserPrompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompt(prompt), m_folder(new QLineEdit(this)),
      m_digests(new QCheckBox(Messages::text("caclMD5Btn"), this)), m_record(new QPushButton(Messages::text("snapRecordBtn"), this)),
      m_save(new QPushButton(Messages::text("saveBtn"), this)), m_status(new QLabel(this)), m_log(new QPlainTextEdit(this)),
      m_progress(new QProgressBar(this)) {
    setWindowTitle(Messages::text("snapRecordTitle"));
    auto* intro = new QLabel(Messages::text("openSnap1"), this);
    m_folder->setAccessibleName(Messages::text("snapFolder"));
    m_folder->setPlaceholderText(Messages::text("pathPlaceholder"));
    auto* browse = new QPushButton(Messages::text("select"), this);
    browse->setAccessibleName(Messages::text("chooseFolder"));
    auto* explanation = new QLabel(Messages::text("caclMD5Desc"), this);
    explanation->setWordWrap(true);
    m_status->setAccessibleName(Messages::text("a11yStatus"));
    m_log->setReadOnly(true);
    m_log->setAccessibleName(Messages::text("snapLog"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(Messages::text("a11yProgress"));
    m_progress->hide();
    m_save->hide();
    auto* close = new QPushButton(Messages::text("close"), this);

    auto* chooser = new QGridLayout;
    chooser->addWidget(intro, 0, 0, 1, 3);
    chooser->addWidget(m_folder, 1, 0, 1, 2);
    chooser->addWidget(browse, 1, 2);
    chooser->addWidget(m_digests, 2, 0, 1, 3);
    chooser->addWidget(explanation, 3, 0, 1, 3);
    auto* status = new QHBoxLayout;
    status->addWidget(m_status, 1);
    status->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_record);
    buttons->addWidget(m_save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(chooser);
    layout->addLayout(status);
    layout->addWidget(m_log, 1);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(browse, &QPushButton::clicked, this, &SnapshotRecordWindow::chooseFolder);
    connect(m_record, &QPushButton::clicked, this, [this] { startRecording(m_folder->text().trimmed(), m_digests->isChecked()); });
    connect(m_save, &QPushButton::clicked, this, &SnapshotRecordWindow::askWhereToSave);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

SnapshotRecordWindow::~SnapshotRecordWindow() {
    if (!m_thread) return;
    disconnect(m_thread, nullptr, this, nullptr);
    m_cancel = true;
    m_thread->wait();
    delete m_thread;
}

void SnapshotRecordWindow::chooseFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(this, Messages::text("openSnap1"), m_folder->text());
    if (!chosen.isEmpty()) m_folder->setText(chosen);
}

const QString& SnapshotRecordWindow::statusText() const { return m_statusText; }
QString SnapshotRecordWindow::logText() const { return m_log->toPlainText(); }

void SnapshotRecordWindow::ShowMessage(const QString& text) {
    m_statusText = text;
    m_status->setText(text);
}

void SnapshotRecordWindow::AddErrorMessage(const QString& text) { m_log->appendPlainText(text); }

bool SnapshotRecordWindow::startRecording(const QString& folder, bool digests) {
    if (m_thread || folder.isEmpty()) return false;
    if (!QFileInfo(folder).isDir()) {
        m_prompt.inform(Messages::text("snapError"), Messages::format("rootUnreadable", folder, QString::fromLocal8Bit(std::strerror(ENOTDIR))));
        return false;
    }
    m_recordedFolder = QFileInfo(folder).absoluteFilePath();
    m_folder->setText(m_recordedFolder);
    setWindowTitle(m_recordedFolder);
    m_finished = false;
    m_save->hide();
    m_record->setEnabled(false);
    m_folder->setEnabled(false);
    m_digests->setEnabled(false);
    m_progress->show();
    m_log->clear();
    ShowMessage(Messages::text("scanning"));
    AddErrorMessage(Messages::format("creSnap", m_recordedFolder));
    m_cancel = false;
    m_recording = std::make_unique<SnapshotRecording>();
    const std::string path = QFile::encodeName(m_recordedFolder).toStdString();
    auto recorded = std::make_shared<bool>(false);
    m_thread = QThread::create([this, path, digests, recorded] {
        const auto progress = [this](std::uint64_t files, std::uint64_t folders) {
            const QString text = Messages::format("itemsScanned", number(files), number(folders));
            QMetaObject::invokeMethod(this, [this, text] { ShowMessage(text); }, Qt::QueuedConnection);
        };
        const auto log = [this](const std::string& entry, int error) {
            const QString text = Messages::format("readErrorLine", QFile::decodeName(entry.c_str()), QString::fromLocal8Bit(std::strerror(error)));
            QMetaObject::invokeMethod(this, [this, text] { AddErrorMessage(text); }, Qt::QueuedConnection);
        };
        *recorded = m_recording->record(path, digests, &m_cancel, progress, log);
    });
    connect(m_thread, &QThread::finished, this, [this, recorded] { CreateThreadHasFinished(*recorded); }, Qt::QueuedConnection);
    m_thread->start();
    return true;
}

void SnapshotRecordWindow::CreateThreadHasFinished(bool recorded) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_progress->hide();
    m_record->setEnabled(true);
    m_folder->setEnabled(true);
    m_digests->setEnabled(true);
    if (recorded && !m_recording->bytes().empty()) {
        m_finished = true;
        m_save->show();
        ShowMessage(Messages::text("snapReady"));
        AddErrorMessage(Messages::format("snapReady1",
                                         QLocale().formattedDataSize(qint64(m_recording->bytes().size()), 1, QLocale::DataSizeSIFormat),
                                         number(m_recording->files()), number(m_recording->folders())));
    } else {
        setWindowTitle(Messages::text("snapError"));
        ShowMessage(Messages::text(m_cancel ? "TaskAborted" : "snapError"));
    }
    raise();
    emit recordingFinished(m_finished);
}

void SnapshotRecordWindow::askWhereToSave() {
    const QString proposed = QDir(QFileInfo(m_recordedFolder).absolutePath())
                                 .filePath(QString::fromStdString(SnapshotRecording::proposedName(QFile::encodeName(m_recordedFolder).toStdString())));
    const QString destination = QFileDialog::getSaveFileName(this, Messages::text("saveSnap2"), proposed,
                                                             Messages::text("snapshotFilter"));
    if (!destination.isEmpty() && save(destination)) close();
}

bool SnapshotRecordWindow::save(const QString& destination) {
    if (!m_finished) return false;
    QString target = destination;
    if (QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".qvss");
    // The save dialog has asked about replacing a file there.
    if (const int error = m_recording->save(QFile::encodeName(target).toStdString(), true)) {
        m_prompt.inform(Messages::text("snapError"), Messages::format("cliSnapshotFailed", target, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    m_finished = false;
    AddErrorMessage(Messages::format("cliSnapshotWritten", target));
    return true;
}

void SnapshotRecordWindow::closeEvent(QCloseEvent* event) {
    if (m_finished) {
        const Answer answer = m_prompt.ask({Messages::text("saveSnap0"), Messages::text("saveSnap1"),
                                            {Messages::text("saveBtn"), Messages::text("dontSaveBtn"), Messages::text("cancel")}});
        if (answer.button == 2) return event->ignore();
        if (answer.button == 0) {
            askWhereToSave();
            if (m_finished) return event->ignore();   // not saved after all
        }
        m_finished = false;
    }
    if (m_thread) {
        m_cancel = true;
        disconnect(m_thread, nullptr, this, nullptr);
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    event->accept();
}

}  // namespace qv
