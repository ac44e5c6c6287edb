#include "core/app/InputPasswords.h"
#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace plait;
using core::app::splitPasswordList;
using core::app::withPassword;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(InputPasswords, ListsKeepCommasAndBackslashesInsidePasswords) {
    EXPECT_TRUE(splitPasswordList("").empty());
    EXPECT_THAT(splitPasswordList("a,b\\,c,d\\\\"), ElementsAre("a", "b,c", "d\\"));
    EXPECT_THAT(splitPasswordList("a,,b"), ElementsAre("a", "", "b"));
    // What is added reads back as it was typed, and is added once.
    const std::string list = withPassword(withPassword("first", "x,y\\z"), "x,y\\z");
    EXPECT_EQ(list, "first,x\\,y\\\\z");
    EXPECT_THAT(splitPasswordList(list), ElementsAre("first", "x,y\\z"));
    EXPECT_EQ(withPassword("", "solo"), "solo");
    EXPECT_EQ(withPassword("a", ""), "a");
}

TEST(InputPasswords, APreviewPasswordIsAddedOnlyWhenTheUserAgrees) {
    test::Harness h;
    h.window->load();
    h.window->offerInputPassword("open sesame"); // answered No
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].text, "Use this password when building?");
    EXPECT_THAT(h.messages.shown[0].details, HasSubstr("Input PDF Passwords"));
    EXPECT_EQ(h.messages.shown[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(h.window->settings().text("txtPass"), "");

    h.messages.answers.push_back(ui::Answer::Yes);
    h.window->offerInputPassword("open sesame");
    EXPECT_EQ(h.window->settings().text("txtPass"), "open sesame");
    // A password the build has already is not offered again.
    h.window->offerInputPassword("open sesame");
    EXPECT_EQ(h.messages.shown.size(), 2u);
    // The build hands the list to the engine.
    h.window->insertFile(h.file("locked.pdf"));
    h.window->buildPDF();
    bool given = false;
    for (const auto& c : h.log->calls()) {
        given = given || (c.operation == "setPwdList" && c.args == std::vector<std::string>{"open sesame"});
    }
    EXPECT_TRUE(given);
}
