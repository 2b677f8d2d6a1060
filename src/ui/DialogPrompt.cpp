#include "ui/DialogPrompt.h"

#include "base/Messages.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace qv {

Answer DialogPrompt::ask(const Question& question) {
    if (QThread::currentThread() == thread()) return askHere(question);
    Answer answer;
    QMetaObject::invokeMethod(this, [&] { answer = askHere(question); }, Qt::BlockingQueuedConnection);
    return answer;
}

Answer DialogPrompt::askHere(const Question& question) {
    QMessageBox box(m_window);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(QStringLiteral("Quorvane"));
    box.setText(question.message);
    box.setInformativeText(question.details);
    std::vector<QPushButton*> buttons;
    for (int i = 0; i < question.buttons.size(); ++i) {
        // The first button is the default answer; the last one, when there are
        // several, is the way out (Escape).
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons.push_back(box.addButton(question.buttons[i], role));
        buttons.back()->setAccessibleName(question.buttons[i]);
    }
    if (buttons.empty()) buttons.push_back(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
    if (question.offersSuppression) box.setCheckBox(new QCheckBox(Messages::text("dontShowAgain")));
    box.exec();
    Answer answer;
    const auto it = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    answer.button = it == buttons.end() ? static_cast<int>(buttons.size()) - 1 : static_cast<int>(it - buttons.begin());
    answer.suppress = box.checkBox() && box.checkBox()->isChecked();
    return answer;
}

void DialogPrompt::inform(const QString& message, const QString& details) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [=, this] { inform(message, details); }, Qt::BlockingQueuedConnection);
        return;
    }
    QMessageBox box(m_window);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(QStringLiteral("Quorvane"));
    box.setText(message);
    box.setInformativeText(details);
    box.addButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace qv
