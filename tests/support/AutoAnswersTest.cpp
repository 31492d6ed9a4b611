#include "support/AutoAnswers.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

MessageBoxRequest Box(int id, MessageButtons buttons, std::string text = "t") {
    MessageBoxRequest request;
    request.id = id;
    request.buttons = buttons;
    request.text = std::move(text);
    return request;
}

TEST(AutoAnswers, EmptyValueShowsTheBoxes) {
    std::string error = "stale";
    EXPECT_FALSE(AutoAnswers::Parse("", error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(AutoAnswers::Parse("  ", error));
    EXPECT_EQ(error, "");
}

TEST(AutoAnswers, DefaultTakesEachBoxsDefaultButton) {
    std::string error;
    const auto answers = AutoAnswers::Parse("default", error);
    ASSERT_TRUE(answers) << error;
    EXPECT_EQ(answers->Answer(Box(1035, MessageButtons::Ok)), MessageAnswer::Ok);
    EXPECT_EQ(answers->Answer(Box(2016, MessageButtons::YesNo)), MessageAnswer::Yes);
    EXPECT_EQ(answers->Answer(Box(9, MessageButtons::OkCancel)), MessageAnswer::Ok);
}

// Retry is the box's default, but an unattended Retry would ask again forever.
TEST(AutoAnswers, RetryCancelQuestionsAreAnsweredCancel) {
    std::string error;
    const auto answers = AutoAnswers::Parse("default,57357=Default", error);
    ASSERT_TRUE(answers) << error;
    EXPECT_EQ(answers->Answer(Box(57356, MessageButtons::RetryCancel)), MessageAnswer::Cancel);
    EXPECT_EQ(answers->Answer(Box(57357, MessageButtons::RetryCancel)), MessageAnswer::Cancel);
    EXPECT_FALSE(AutoAnswers::Parse("57356=Retry", error));
    EXPECT_NE(error.find("Retry"), std::string::npos);
}

TEST(AutoAnswers, ListAnswersByStringIdAndDefaultsTheRest) {
    std::string error;
    const auto answers = AutoAnswers::Parse("2016=No,57356=Cancel", error);
    ASSERT_TRUE(answers) << error;
    EXPECT_EQ(answers->Answer(Box(2016, MessageButtons::YesNo)), MessageAnswer::No);
    EXPECT_EQ(answers->Answer(Box(57356, MessageButtons::RetryCancel)), MessageAnswer::Cancel);
    EXPECT_EQ(answers->Answer(Box(2017, MessageButtons::YesNo)), MessageAnswer::Yes);
    EXPECT_EQ(answers->Answer(Box(2017, MessageButtons::Ok)), MessageAnswer::Ok);
}

TEST(AutoAnswers, NamesIgnoreCaseAndBlanksAndMayMixWithDefault) {
    std::string error;
    const auto answers = AutoAnswers::Parse(" default , 2016 = no ,5=OK, 7=Default", error);
    ASSERT_TRUE(answers) << error;
    EXPECT_EQ(answers->Answer(Box(2016, MessageButtons::YesNoCancel)), MessageAnswer::No);
    EXPECT_EQ(answers->Answer(Box(7, MessageButtons::YesNo)), MessageAnswer::Yes);
}

TEST(AutoAnswers, AnswerTheBoxDoesNotOfferGivesItsDefault) {
    std::string error;
    const auto answers = AutoAnswers::Parse("2016=Cancel,1035=No", error);
    ASSERT_TRUE(answers) << error;
    EXPECT_EQ(answers->Answer(Box(2016, MessageButtons::YesNo)), MessageAnswer::Yes);
    EXPECT_EQ(answers->Answer(Box(2016, MessageButtons::YesNoCancel)), MessageAnswer::Cancel);
    EXPECT_EQ(answers->Answer(Box(1035, MessageButtons::Ok)), MessageAnswer::Ok);
}

TEST(AutoAnswers, MalformedValuesAreRefusedWithTheBadItemNamed) {
    for (const char* bad : {"yes", "2016", "2016=", "=No", "x=No", "2016=Maybe", "2016=No,",
                            ",default", "2016=No,,5=Ok", "-5=Ok", "99999999999=Ok", "12a=Ok"}) {
        std::string error;
        EXPECT_FALSE(AutoAnswers::Parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string error;
    AutoAnswers::Parse("2016=Maybe", error);
    EXPECT_NE(error.find("Maybe"), std::string::npos);
}

TEST(AutoAnswers, LogLineWritesLineBreaksAsBackslashN) {
    EXPECT_EQ(MessageLogLine(Box(1035, MessageButtons::Ok, "Систем перевода нет.")),
              "message 1035: Систем перевода нет.");
    EXPECT_EQ(MessageLogLine(Box(2016, MessageButtons::YesNo, "один\nдва\r\nтри\rчетыре\n")),
              "message 2016: один\\nдва\\nтри\\nчетыре\\n");
    EXPECT_EQ(MessageLogLine(Box(0, MessageButtons::Ok, "")), "message 0: ");
}

} // namespace
} // namespace quillon
