#include "core/ui/Subscription.h"
#include "core/ui/Form.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using plait::ui::Listeners;
using plait::ui::Subscription;

namespace {

TEST(Subscription, ListensWhileTheHandleLivesAndStopsWhenItEndsOrIsMoved) {
    Listeners<int> registry;
    std::vector<int> heard;
    {
        Subscription sub = registry.subscribe([&](int v) { heard.push_back(v); });
        registry.notify(1);
        Subscription moved = std::move(sub);
        EXPECT_FALSE(sub.active());
        EXPECT_TRUE(moved.active());
        registry.notify(2);
        sub.reset(); // an empty handle does nothing
        registry.notify(3);
    }
    registry.notify(4);
    EXPECT_EQ(heard, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(registry.size(), 0u);

    Subscription first = registry.subscribe([&](int v) { heard.push_back(10 + v); });
    first = registry.subscribe([&](int v) { heard.push_back(20 + v); }); // replaces the first
    registry.notify(5);
    EXPECT_EQ(heard.back(), 25);
    EXPECT_EQ(registry.size(), 1u);
}

TEST(Subscription, AHandleMayOutliveItsRegistry) {
    auto registry = std::make_unique<Listeners<>>();
    int calls = 0;
    Subscription sub = registry->subscribe([&] { ++calls; });
    registry->notify();
    registry.reset();
    EXPECT_TRUE(sub.active());
    sub.reset(); // must not reach the gone registry
    EXPECT_FALSE(sub.active());
    EXPECT_EQ(calls, 1);
}

TEST(Subscription, OneUnsubscribedDuringANotificationIsNotToldAnyMore) {
    Listeners<> registry;
    std::vector<std::string> heard;
    Subscription second;
    Subscription third;
    Subscription first = registry.subscribe([&] {
        heard.push_back("first");
        second.reset();
        // Subscribed while telling: hears only later changes.
        third = registry.subscribe([&] { heard.push_back("third"); });
    });
    second = registry.subscribe([&] { heard.push_back("second"); });
    registry.notify();
    EXPECT_EQ(heard, (std::vector<std::string>{"first"}));
    first.reset();
    registry.notify();
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "third"}));
}

TEST(Subscription, AListenerMayEndItselfAndTheRegistryWhileBeingTold) {
    auto registry = std::make_unique<Listeners<int>>();
    int after = 0;
    Subscription self;
    self = registry->subscribe([&](int) {
        self.reset();     // the running listener stays intact while it runs
        registry.reset(); // and the registry may go with it
    });
    Subscription later = registry->subscribe([&](int) { ++after; });
    registry->notify(1);
    EXPECT_EQ(registry, nullptr);
    EXPECT_EQ(after, 1) << "the others are still told of the change under way";
}

TEST(Subscription, FormListenersHearEveryChangeWhileSubscribed) {
    plait::ui::Form form;
    form.add({.name = "txtA", .kind = plait::ui::ControlKind::TextBox});
    std::vector<std::string> texts;
    {
        const Subscription sub = form.subscribe([&](const plait::ui::Control& c, plait::ui::Property p) {
            if (p == plait::ui::Property::Text) {
                texts.push_back(c.text);
            }
        });
        form.setText("txtA", "one");
    }
    form.setText("txtA", "two");
    EXPECT_EQ(texts, (std::vector<std::string>{"one"}));
}

} // namespace
