#pragma once
#include "engine/UserPrompt.h"

#include <QStringList>

namespace qv {

// Answers every question with its default and keeps what it was told, so a
// script or the command line can report it.
class HeadlessPrompt final : public UserPrompt {
public:
    bool showsUI() const override { return false; }
    Answer ask(const Question& question) override;
    void inform(const QString& message, const QString& details = {}) override;

    const QStringList& messages() const { return m_messages; }

private:
    QStringList m_messages;
};

}  // namespace qv
