#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace plait::ui {

// A listener's place in a registry. The listener stays subscribed while the handle lives;
// ending or resetting the handle unsubscribes it. The handle may outlive the registry:
// then it has nothing left to do.
class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (cancel_) {
            std::exchange(cancel_, nullptr)();
        }
    }
    bool active() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

// Listeners told of changes in the order they subscribed. A listener that is unsubscribed
// while a change is being told (by itself or by another) is not told of it any more, and
// one that subscribes then hears only later changes.
template <class... Args> class Listeners {
public:
    using Listener = std::function<void(Args...)>;

    Listeners() = default;
    Listeners(const Listeners&) = delete;
    Listeners& operator=(const Listeners&) = delete;

    Subscription subscribe(Listener listener) {
        const int id = state_->next++;
        state_->listeners.emplace(id, std::move(listener));
        return Subscription([weak = std::weak_ptr<State>(state_), id] {
            if (auto state = weak.lock()) {
                state->listeners.erase(id);
            }
        });
    }

    void notify(Args... args) const {
        // The state outlives a listener that ends the registry itself.
        const std::shared_ptr<State> state = state_;
        std::vector<int> ids;
        ids.reserve(state->listeners.size());
        for (const auto& entry : state->listeners) {
            ids.push_back(entry.first);
        }
        for (int id : ids) {
            const auto it = state->listeners.find(id);
            if (it == state->listeners.end()) {
                continue;
            }
            const Listener listener = it->second; // it may unsubscribe itself
            listener(args...);
        }
    }

    std::size_t size() const { return state_->listeners.size(); }

private:
    struct State {
        std::map<int, Listener> listeners;
        int next = 1;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace plait::ui
