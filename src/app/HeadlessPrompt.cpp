#include "app/HeadlessPrompt.h"

namespace qv {

Answer HeadlessPrompt::ask(const Question& question) {
    m_messages << (question.details.isEmpty() ? question.message : question.message + '\n' + question.details);
    return Answer{};
}

void HeadlessPrompt::inform(const QString& message, const QString& details) {
    m_messages << (details.isEmpty() ? message : message + '\n' + details);
}

}  // namespace qv
