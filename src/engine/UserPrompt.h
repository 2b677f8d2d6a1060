#pragma once
// Every question the system asks its user goes through this interface: the
// window answers with a dialog, a headless run with each question's default.

#include <QString>
#include <QStringList>

namespace qv {

struct Question {
    QString message;
    QString details;
    QStringList buttons;          // first is the default answer
    bool offersSuppression = false;
};

struct Answer {
    int button = 0;               // index into Question::buttons
    bool suppress = false;        // the "do not show again" box
};

class UserPrompt {
public:
    virtual ~UserPrompt() = default;
    virtual bool showsUI() const = 0;
    virtual Answer ask(const Question& question) = 0;
    // An alert with a single OK button.
    virtual void inform(const QString& message, const QString& details = {}) = 0;
};

}  // namespace qv
