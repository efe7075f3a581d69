#pragma once

#include <QString>
#include <deque>
#include <utility>
#include <vector>

#include "ui/dialogs/MessageBoxes.h"

// The program's message and question boxes in tests. Without an
// ExpectedBoxes, any box fails the test that shows it (and is answered
// Cancel / No). A test that expects boxes makes one: each box takes the next
// answer given by SetNextAnswer, or, where AnswerAllWith was called, that
// answer; a box beyond the given answers fails the test. Every box is
// recorded in asked, for the test to check.
class ExpectedBoxes {
public:
    ExpectedBoxes();
    ~ExpectedBoxes();
    ExpectedBoxes(const ExpectedBoxes&) = delete;
    ExpectedBoxes& operator=(const ExpectedBoxes&) = delete;

    void SetNextAnswer(MessageBoxes::Answer answer) { m_next.push_back(answer); }
    void AnswerAllWith(MessageBoxes::Answer answer)
    {
        m_all = answer;
        m_answerAll = true;
    }
    // The texts of the boxes asked so far, of one kind.
    std::vector<QString> TextsOf(MessageBoxes::Kind kind) const;

    std::vector<std::pair<MessageBoxes::Kind, QString>> asked;

private:
    std::deque<MessageBoxes::Answer> m_next;
    MessageBoxes::Answer m_all = MessageBoxes::Answer::Ok;
    bool m_answerAll = false;
};
