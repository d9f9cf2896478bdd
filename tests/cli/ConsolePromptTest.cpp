#include "cli/ConsolePrompt.h"

#include <gtest/gtest.h>

#include <sstream>

#include "threading/Errors.h"

using Threading::ConsolePrompt;
using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;
using Threading::PresetAnswer;

TEST(ConsolePrompt, PresetAnswersWithoutReading) {
    std::istringstream in;
    std::ostringstream out;
    ConsolePrompt yes(in, out, false, PresetAnswer::Yes);
    EXPECT_EQ(yes.MessageBox(L"Go?", L"Wizard", MsgButtons::YesNo, MsgIcon::Question),
              MsgResult::Yes);
    EXPECT_EQ(yes.MessageBox(L"Again?", L"", MsgButtons::RetryCancel, MsgIcon::None),
              MsgResult::Retry);
    EXPECT_EQ(yes.MessageBox(L"Place it.", L"", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Ok);
    EXPECT_EQ(yes.Choose(L"How many?", {L"5", L"6"}), std::optional<size_t>(0));
    ConsolePrompt no(in, out, false, PresetAnswer::No);
    EXPECT_EQ(no.MessageBox(L"Go?", L"", MsgButtons::YesNo, MsgIcon::None), MsgResult::No);
    EXPECT_EQ(no.MessageBox(L"Place it.", L"", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Cancel);
    EXPECT_EQ(no.MessageBox(L"Hmm", L"", MsgButtons::AbortRetryIgnore, MsgIcon::None),
              MsgResult::Abort);
    EXPECT_EQ(no.Choose(L"How many?", {L"5"}), std::nullopt);
    EXPECT_NE(out.str().find("Wizard: Go?"), std::string::npos);
}

TEST(ConsolePrompt, QuestionWithoutTerminalOrPresetFailsClearly) {
    std::istringstream in("y\n");
    std::ostringstream out;
    ConsolePrompt prompt(in, out, false);
    try {
        prompt.MessageBox(L"Proceed?", L"", MsgButtons::YesNo, MsgIcon::Question);
        FAIL() << "expected an error";
    } catch (const tsl::wruntime_error& e) {
        EXPECT_NE(e.wwhat().find(L"not a terminal"), std::wstring::npos);
        EXPECT_NE(e.wwhat().find(L"--yes"), std::wstring::npos);
    }
    EXPECT_THROW(prompt.Choose(L"Which?", {L"a"}), tsl::wruntime_error);
    // A box with only OK needs no answer.
    EXPECT_EQ(prompt.MessageBox(L"Done.\n\rBye", L"", MsgButtons::Ok, MsgIcon::Information),
              MsgResult::Ok);
    EXPECT_EQ(out.str().find('\r'), std::string::npos);
}

TEST(ConsolePrompt, InteractiveReadsAnswers) {
    std::istringstream in("maybe\n  N \n\n0\n7\n2\nr\n");
    std::ostringstream out;
    ConsolePrompt prompt(in, out, true);
    EXPECT_EQ(prompt.MessageBox(L"Go?", L"", MsgButtons::YesNo, MsgIcon::None), MsgResult::No);
    EXPECT_EQ(prompt.Choose(L"Which?", {L"a", L"b"}), std::nullopt);  // the empty line
    EXPECT_EQ(prompt.Choose(L"Which?", {L"a", L"b"}), std::optional<size_t>(1));
    EXPECT_EQ(prompt.MessageBox(L"Again?", L"", MsgButtons::RetryCancel, MsgIcon::None),
              MsgResult::Retry);
    EXPECT_THROW(prompt.MessageBox(L"More?", L"", MsgButtons::YesNo, MsgIcon::None),
                 tsl::wruntime_error);  // end of input
}

TEST(ConsolePrompt, PresetDeclinesAQuestionThatKeepsComingBack) {
    std::istringstream in;
    std::ostringstream out;
    ConsolePrompt prompt(in, out, false, PresetAnswer::Yes);
    const std::wstring retry = L"No signal.\nPress OK to retry this position, CANCEL to abort.";
    for (int i = 0; i < ConsolePrompt::kMaxPresetRepeats; ++i)
        EXPECT_EQ(prompt.MessageBox(retry, L"", MsgButtons::OkCancel, MsgIcon::None),
                  MsgResult::Ok);
    EXPECT_EQ(prompt.MessageBox(retry, L"", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Cancel);
    // Different questions in between do not count as repeats.
    EXPECT_EQ(prompt.MessageBox(L"Place the microphone.", L"", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Ok);
    EXPECT_EQ(prompt.MessageBox(retry, L"", MsgButtons::OkCancel, MsgIcon::None), MsgResult::Ok);
}

// The positions are asked as the count itself; each refused answer says why.
TEST(ConsolePrompt, NumberIsTypedItselfAndRefusalsSayWhy) {
    std::istringstream in("6\n0\n11\nabc\n 7 \n\n");
    std::ostringstream out;
    ConsolePrompt prompt(in, out, true);
    EXPECT_EQ(prompt.AskNumber(L"Number Of Positions", 5, 10), std::optional<long>(6));
    EXPECT_EQ(prompt.AskNumber(L"Number Of Positions", 5, 10), std::optional<long>(7));
    EXPECT_EQ(prompt.AskNumber(L"Number Of Positions", 5, 10), std::nullopt);  // the empty line
    const std::string text = out.str();
    EXPECT_NE(text.find("0 is out of range; type a number from 5 to 10.\n"), std::string::npos);
    EXPECT_NE(text.find("11 is out of range; type a number from 5 to 10.\n"), std::string::npos);
    EXPECT_NE(text.find("\"abc\" is not a whole number; type one from 5 to 10.\n"),
              std::string::npos);
    std::istringstream none;
    ConsolePrompt yes(none, out, false, PresetAnswer::Yes);
    EXPECT_EQ(yes.AskNumber(L"Number Of Positions", 5, 10), std::optional<long>(5));
    ConsolePrompt no(none, out, false, PresetAnswer::No);
    EXPECT_EQ(no.AskNumber(L"Number Of Positions", 5, 10), std::nullopt);
    ConsolePrompt closed(none, out, false);
    EXPECT_THROW(closed.AskNumber(L"Number Of Positions", 5, 10), tsl::wruntime_error);
    // A refused choice says why as well.
    std::istringstream choice("3\n1\n");
    std::ostringstream said;
    ConsolePrompt chooser(choice, said, true);
    EXPECT_EQ(chooser.Choose(L"Which?", {L"a", L"b"}), std::optional<size_t>(0));
    EXPECT_NE(said.str().find("Please type a number from 1 to 2.\n"), std::string::npos);
}

namespace {

// Input that Ctrl-C cuts: each read presses the interrupts and then fails, as a read does that
// the signal interrupts.
class InterruptedInput final : public std::streambuf {
public:
    explicit InterruptedInput(Threading::ConsoleInterrupts& interrupts) : interrupts_(interrupts) {}

protected:
    int_type underflow() override {
        interrupts_.Press();
        return traits_type::eof();
    }

private:
    Threading::ConsoleInterrupts& interrupts_;
};

}  // namespace

TEST(ConsolePrompt, AReadCutByTheWatchedInterruptsDeclines) {
    Threading::ConsoleInterrupts interrupts;
    InterruptedInput cut(interrupts);
    std::istream in(&cut);
    std::ostringstream out;
    ConsolePrompt prompt(in, out, true, PresetAnswer::None, &interrupts);
    EXPECT_EQ(prompt.MessageBox(L"Go on?", L"", MsgButtons::YesNo, MsgIcon::Question),
              MsgResult::No);
    EXPECT_EQ(prompt.AskNumber(L"Number Of Positions", 5, 10), std::nullopt);
    EXPECT_EQ(prompt.Choose(L"Which?", {L"a", L"b"}), std::nullopt);
    EXPECT_EQ(interrupts.Presses(), 3);
    // A prompt that watches no interrupts takes the same failed read for the end of the input.
    ConsolePrompt unwatched(in, out, true);
    EXPECT_THROW(unwatched.MessageBox(L"Go on?", L"", MsgButtons::YesNo, MsgIcon::Question),
                 tsl::wruntime_error);
}
