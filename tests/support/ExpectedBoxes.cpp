#include "ExpectedBoxes.h"

#include <gtest/gtest.h>

namespace {

MessageBoxes::Answer Unexpected(MessageBoxes::Kind, const QString& text)
{
    ADD_FAILURE() << "a box nobody expected: " << text.toStdString();
    return MessageBoxes::Answer::Cancel;
}

// Before every test: boxes fail it until the test says otherwise.
class FailOnBoxes : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { MessageBoxes::SetResponder(Unexpected); }
    void OnTestEnd(const ::testing::TestInfo&) override { MessageBoxes::SetResponder(Unexpected); }
};

// Linked as an object, so that this runs in every executable that has it.
[[maybe_unused]] const bool kInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FailOnBoxes);
    return true;
}();

}  // namespace

ExpectedBoxes::ExpectedBoxes()
{
    MessageBoxes::SetResponder([this](MessageBoxes::Kind kind, const QString& text) {
        asked.emplace_back(kind, text);
        if (!m_next.empty()) {
            const MessageBoxes::Answer answer = m_next.front();
            m_next.pop_front();
            return answer;
        }
        if (m_answerAll)
            return m_all;
        return Unexpected(kind, text);
    });
}

ExpectedBoxes::~ExpectedBoxes()
{
    MessageBoxes::SetResponder(Unexpected);
    EXPECT_TRUE(m_next.empty()) << m_next.size() << " answer(s) given for boxes that were never shown";
}

std::vector<QString> ExpectedBoxes::TextsOf(MessageBoxes::Kind kind) const
{
    std::vector<QString> texts;
    for (const auto& [k, text] : asked) {
        if (k == kind)
            texts.push_back(text);
    }
    return texts;
}
