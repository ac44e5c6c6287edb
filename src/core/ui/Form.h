#pragma once

#include "Subscription.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plait::ui {

// The kinds of control a form holds. The first seven are the stored kinds of the
// settings file (type letters T, C, O, L, P, A, B); the rest hold state that views show
// but files never store.
enum class ControlKind {
    TextBox,      // T: text
    CheckBox,     // C: value 0 or 1
    OptionButton, // O: value 0 or 1, one picked per control array
    ComboBox,     // L: list index, -1 for none
    PictureBox,   // P: background colour
    Label,        // A: text colour
    Toolbar,      // B: pressed state of each button, numbered from 1
    CommandButton,
    MenuItem,
    Slider, // value
    StatusBar,
    Other,
};

enum class Property { Text, Value, ListIndex, Color, Button, Enabled, Visible };

// A colour as the program stores it: 0x00BBGGRR, or 0x800000nn for system colour nn.
using ColorValue = std::uint32_t;

struct Control {
    std::string name{};
    int index = -1; // member of a control array, else -1
    ControlKind kind = ControlKind::Other;
    std::string caption{};
    std::string text{};               // TextBox text, StatusBar panel 1
    int value = 0;                    // CheckBox, OptionButton, ComboBox list index, Slider
    std::vector<std::string> items{}; // ComboBox entries
    std::vector<int> buttons{};       // Toolbar: state of button n at buttons[n-1]; 0 for separators
    ColorValue color = 0;             // PictureBox background / Label text colour
    bool enabled = true;
    bool visible = true;

    // The entry text a combo box shows ("" when nothing is selected).
    std::string listText() const;
};

// A set of named controls with the change rules that tie them together.
//
// Every setter that changes a value runs the rules attached to that control, whether the
// user or the program made the change; toolbar buttons set through setButton() take their
// state without their click rule, which only clickButton() runs. Disabling a control never
// touches its value. Views subscribe to learn of every change and mirror it.
class Form {
public:
    using Rule = std::function<void(Form&, const Control&)>;
    using Listener = std::function<void(const Control&, Property)>;

    Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form() = default;

    // Appends a control; controls keep the order in which they were added (collection order).
    Control& add(Control control);

    // Look-up by name, and for an array member by name and index; nullptr when absent.
    // With index -1 the first control of that name is found whatever its index.
    Control* find(std::string_view name, int index = -1);
    const Control* find(std::string_view name, int index = -1) const;
    // Like find, but a missing control is a programming error (std::out_of_range).
    Control& at(std::string_view name, int index = -1);
    const Control& at(std::string_view name, int index = -1) const;

    const std::deque<Control>& controls() const { return controls_; }

    // Value access by name. Like the setters, a missing control is a programming error
    // (std::out_of_range); a button number outside the toolbar reads as not pressed.
    std::string text(std::string_view name, int index = -1) const;
    int value(std::string_view name, int index = -1) const;
    bool checked(std::string_view name, int index = -1) const { return value(name, index) == 1; }
    int listIndex(std::string_view name) const { return value(name); }
    std::string listText(std::string_view name) const;
    ColorValue color(std::string_view name, int index = -1) const;
    bool enabled(std::string_view name, int index = -1) const;
    bool buttonPressed(std::string_view name, int button) const;

    // Setters; each runs the control's rules when the value changes.
    void setText(std::string_view name, int index, std::string text);
    void setText(std::string_view name, std::string text) { setText(name, -1, std::move(text)); }
    void setValue(std::string_view name, int index, int value);
    void setValue(std::string_view name, int value) { setValue(name, -1, value); }
    void setChecked(std::string_view name, bool on) { setValue(name, -1, on ? 1 : 0); }
    // Picks one member of an option array: the others of the same name are released.
    void pickOption(std::string_view name, int index);
    void setListIndex(std::string_view name, int index);
    void setColor(std::string_view name, int index, ColorValue color);
    void setEnabled(std::string_view name, int index, bool enabled);
    void setEnabled(std::string_view name, bool enabled) { setEnabled(name, -1, enabled); }
    // Every member of an array (or the single control) at once.
    void setEnabledAll(std::string_view name, bool enabled);
    void setVisible(std::string_view name, bool visible);
    // Program sets a toolbar button: no click rule runs.
    void setButton(std::string_view name, int button, bool pressed);
    // The user clicks a toolbar button: it toggles, then the click rule runs.
    void clickButton(std::string_view name, int button);

    // Same as above, through a control already found.
    void setText(Control& c, std::string text);
    void setValue(Control& c, int value);
    void setColor(Control& c, ColorValue color);
    void setEnabled(Control& c, bool enabled);

    // Rules: run after the named control's value changed (all members of an array).
    void onChange(std::string_view name, Rule rule);
    // Click rules of toolbars: run after clickButton; the int is the button number.
    void onButtonClick(std::string_view name, std::function<void(Form&, int)> rule);

    // The listener hears of every change while the handle lives.
    Subscription subscribe(Listener listener);

protected:
    void changed(Control& c, Property p, bool runRules);

private:
    std::deque<Control> controls_;
    std::multimap<std::string, std::size_t, std::less<>> byName_;
    std::map<std::string, std::vector<Rule>, std::less<>> rules_;
    std::map<std::string, std::vector<std::function<void(Form&, int)>>, std::less<>> buttonRules_;
    Listeners<const Control&, Property> listeners_;
};

} // namespace plait::ui
