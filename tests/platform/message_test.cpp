#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message.h"
#include "support/message_recorder.h"

namespace {

struct Box {
    std::wstring text;
    unsigned type;
};

// Installs a handler for the test's lifetime and puts back what was there.
class ScopedBoxHandler {
public:
    explicit ScopedBoxHandler(kv::MessageBoxHandler h) : m_old(kv::SetMessageBoxHandler(std::move(h))) {}
    ~ScopedBoxHandler() { kv::SetMessageBoxHandler(std::move(m_old)); }

private:
    kv::MessageBoxHandler m_old;
};

}  // namespace

TEST(MessageBox, WithoutAHandlerAnswersTheDefaultButtonOfEachSet) {
    auto old = kv::SetMessageBoxHandler(nullptr);
    EXPECT_EQ(AfxMessageBox(L"x"), IDOK);
    EXPECT_EQ(AfxMessageBox(L"x", MB_OKCANCEL), IDOK);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox(L"x", MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(AfxMessageBox(L"x", MB_RETRYCANCEL | MB_ICONSTOP), IDRETRY);
    MessageBeep(MB_ICONEXCLAMATION);  // no beeper installed: nothing happens
    kv::SetMessageBoxHandler(std::move(old));
}

TEST(MessageBox, AHandlerSeesTextAndTypeAndItsAnswerIsReturned) {
    std::vector<Box> seen;
    ScopedBoxHandler scope([&](const std::wstring& text, unsigned type) {
        seen.push_back({text, type});
        return IDNO;
    });
    EXPECT_EQ(AfxMessageBox(L"Save changes to a.dat?", MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(AfxMessageBox(L"Decompression Error!!!"), IDNO);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, L"Save changes to a.dat?");
    EXPECT_EQ(seen[0].type, static_cast<unsigned>(MB_YESNOCANCEL));
    EXPECT_EQ(seen[1].text, L"Decompression Error!!!");
    EXPECT_EQ(seen[1].type, static_cast<unsigned>(MB_OK));
}

TEST(MessageBox, ReplacingAHandlerHandsBackThePreviousOne) {
    int first = 0, second = 0;
    auto original = kv::SetMessageBoxHandler([&](const std::wstring&, unsigned) { return ++first, IDOK; });
    auto previous = kv::SetMessageBoxHandler([&](const std::wstring&, unsigned) { return ++second, IDCANCEL; });
    EXPECT_EQ(AfxMessageBox(L"a"), IDCANCEL);
    ASSERT_TRUE(previous);
    kv::SetMessageBoxHandler(std::move(previous));
    EXPECT_EQ(AfxMessageBox(L"b"), IDOK);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    kv::SetMessageBoxHandler(std::move(original));
}

TEST(MessageBox, IconFollowsTheButtonsUnlessOneIsNamed) {
    EXPECT_EQ(kv::EffectiveIcon(MB_OK), static_cast<unsigned>(MB_ICONEXCLAMATION));
    EXPECT_EQ(kv::EffectiveIcon(MB_OKCANCEL), static_cast<unsigned>(MB_ICONEXCLAMATION));
    EXPECT_EQ(kv::EffectiveIcon(MB_RETRYCANCEL), static_cast<unsigned>(MB_ICONEXCLAMATION));
    EXPECT_EQ(kv::EffectiveIcon(MB_YESNO), static_cast<unsigned>(MB_ICONQUESTION));
    EXPECT_EQ(kv::EffectiveIcon(MB_YESNOCANCEL), static_cast<unsigned>(MB_ICONQUESTION));
    EXPECT_EQ(kv::EffectiveIcon(MB_OK | MB_ICONINFORMATION), static_cast<unsigned>(MB_ICONINFORMATION));
    EXPECT_EQ(kv::EffectiveIcon(MB_YESNO | MB_ICONSTOP), static_cast<unsigned>(MB_ICONSTOP));
}

TEST(MessageBox, RecorderKeepsBoxesAndBeepsAndAnswersFromItsScript) {
    kvtest::MessageRecorder rec;
    rec.Answer(IDNO);
    MessageBeep(MB_ICONEXCLAMATION);
    EXPECT_EQ(AfxMessageBox(L"first?", MB_YESNO), IDNO);
    EXPECT_EQ(AfxMessageBox(L"second?", MB_YESNO), IDYES);  // script ran out: the default button
    EXPECT_EQ(rec.texts(), (std::vector<std::wstring>{L"first?", L"second?"}));
    EXPECT_EQ(rec.beeps(), (std::vector<unsigned>{MB_ICONEXCLAMATION}));
}
