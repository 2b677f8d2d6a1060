#pragma once
// A user who answers the questions of a window from a script: each question
// takes the next answer given, or the default when none is left, and every
// question and message is kept for the test to look at.

#include "engine/UserPrompt.h"

#include <deque>
#include <vector>

namespace qv::test {

class ScriptedPrompt final : public UserPrompt {
public:
    bool showsUI() const override { return true; }
    Answer ask(const Question& question) override {
        questions.push_back(question);
        if (answers.empty()) return {};
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void inform(const QString& message, const QString& details = {}) override {
        informed.push_back(message + (details.isEmpty() ? QString() : '\n' + details));
    }

    std::deque<Answer> answers;
    std::vector<Question> questions;
    QStringList informed;
};

}  // namespace qv::test
