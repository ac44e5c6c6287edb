#include "Form.h"

#include <stdexcept>
#include <utility>

namespace plait::ui {

std::string Control::listText() const {
    if (value >= 0 && static_cast<std::size_t>(value) < items.size()) {
        return items[static_cast<std::size_t>(value)];
    }
    return {};
}

Control& Form::add(Control control) {
    const std::size_t pos = controls_.size();
    byName_.emplace(control.name, pos);
    controls_.push_back(std::move(control));
    return controls_.back();
}

Control* Form::find(std::string_view name, int index) {
    return const_cast<Control*>(std::as_const(*this).find(name, index));
}

const Control* Form::find(std::string_view name, int index) const {
    auto [first, last] = byName_.equal_range(name);
    // A multimap keeps equal keys in insertion order, so the first match is the first in
    // collection order.
    for (auto it = first; it != last; ++it) {
        const Control& c = controls_[it->second];
        if (index == -1 || c.index == index) {
            return &c;
        }
    }
    return nullptr;
}

Control& Form::at(std::string_view name, int index) {
    Control* c = find(name, index);
    if (c == nullptr) {
        throw std::out_of_range("no control " + std::string(name) + "(" + std::to_string(index) + ")");
    }
    return *c;
}

const Control& Form::at(std::string_view name, int index) const {
    const Control* c = find(name, index);
    if (c == nullptr) {
        throw std::out_of_range("no control " + std::string(name) + "(" + std::to_string(index) + ")");
    }
    return *c;
}

std::string Form::text(std::string_view name, int index) const {
    return at(name, index).text;
}

int Form::value(std::string_view name, int index) const {
    return at(name, index).value;
}

std::string Form::listText(std::string_view name) const {
    return at(name).listText();
}

ColorValue Form::color(std::string_view name, int index) const {
    return at(name, index).color;
}

bool Form::enabled(std::string_view name, int index) const {
    return at(name, index).enabled;
}

bool Form::buttonPressed(std::string_view name, int button) const {
    const Control& c = at(name);
    if (button < 1 || static_cast<std::size_t>(button) > c.buttons.size()) {
        return false;
    }
    return c.buttons[static_cast<std::size_t>(button - 1)] != 0;
}

void Form::setText(std::string_view name, int index, std::string text) {
    setText(at(name, index), std::move(text));
}

void Form::setText(Control& c, std::string text) {
    if (c.text == text) {
        return;
    }
    c.text = std::move(text);
    changed(c, Property::Text, true);
}

void Form::setValue(std::string_view name, int index, int value) {
    setValue(at(name, index), value);
}

void Form::setValue(Control& c, int value) {
    if (c.kind == ControlKind::OptionButton && value != 0) {
        value = 1;
    }
    if (c.value == value) {
        return;
    }
    c.value = value;
    if (c.kind == ControlKind::OptionButton && value == 1) {
        // Picking one member of an option array releases the others.
        auto [first, last] = byName_.equal_range(c.name);
        for (auto it = first; it != last; ++it) {
            Control& other = controls_[it->second];
            if (&other != &c && other.value != 0) {
                other.value = 0;
                changed(other, Property::Value, false);
            }
        }
    }
    const bool rule = c.kind != ControlKind::OptionButton || value == 1;
    changed(c, c.kind == ControlKind::ComboBox ? Property::ListIndex : Property::Value, rule);
}

void Form::pickOption(std::string_view name, int index) {
    setValue(at(name, index), 1);
}

void Form::setListIndex(std::string_view name, int index) {
    setValue(at(name), index);
}

void Form::setColor(std::string_view name, int index, ColorValue color) {
    setColor(at(name, index), color);
}

void Form::setColor(Control& c, ColorValue color) {
    if (c.color == color) {
        return;
    }
    c.color = color;
    changed(c, Property::Color, true);
}

void Form::setEnabled(std::string_view name, int index, bool enabled) {
    setEnabled(at(name, index), enabled);
}

void Form::setEnabled(Control& c, bool enabled) {
    if (c.enabled == enabled) {
        return;
    }
    c.enabled = enabled;
    changed(c, Property::Enabled, false);
}

void Form::setEnabledAll(std::string_view name, bool enabled) {
    auto [first, last] = byName_.equal_range(name);
    for (auto it = first; it != last; ++it) {
        setEnabled(controls_[it->second], enabled);
    }
}

void Form::setVisible(std::string_view name, bool visible) {
    Control& c = at(name);
    if (c.visible == visible) {
        return;
    }
    c.visible = visible;
    changed(c, Property::Visible, false);
}

void Form::setButton(std::string_view name, int button, bool pressed) {
    Control& c = at(name);
    if (button < 1 || static_cast<std::size_t>(button) > c.buttons.size()) {
        return;
    }
    int& state = c.buttons[static_cast<std::size_t>(button - 1)];
    const int v = pressed ? 1 : 0;
    if (state == v) {
        return;
    }
    state = v;
    changed(c, Property::Button, false);
}

void Form::clickButton(std::string_view name, int button) {
    Control& c = at(name);
    if (button < 1 || static_cast<std::size_t>(button) > c.buttons.size()) {
        return;
    }
    setButton(name, button, c.buttons[static_cast<std::size_t>(button - 1)] == 0);
    auto it = buttonRules_.find(name);
    if (it != buttonRules_.end()) {
        for (auto& rule : it->second) {
            rule(*this, button);
        }
    }
}

void Form::onChange(std::string_view name, Rule rule) {
    rules_[std::string(name)].push_back(std::move(rule));
}

void Form::onButtonClick(std::string_view name, std::function<void(Form&, int)> rule) {
    buttonRules_[std::string(name)].push_back(std::move(rule));
}

Subscription Form::subscribe(Listener listener) {
    return listeners_.subscribe(std::move(listener));
}

void Form::changed(Control& c, Property p, bool runRules) {
    listeners_.notify(c, p);
    if (runRules && p != Property::Enabled && p != Property::Visible) {
        auto it = rules_.find(c.name);
        if (it != rules_.end()) {
            auto rules = it->second;
            for (auto& rule : rules) {
                rule(*this, c);
            }
        }
    }
}

} // namespace plait::ui
