#pragma once

#include "Form.h"

#include <optional>
#include <string>

// The small interfaces through which the program's logic reaches the screen and the
// desktop. The Qt program implements them with real widgets; tests pass fakes that record
// what they were asked and answer from a script.
namespace plait::ui {

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual Answer show(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) = 0;
    // The same box with `details` beneath its text (which file, and why); a box that has no
    // room for them shows the text alone.
    virtual Answer showDetailed(const std::string& text, const std::string& details,
                                const std::string& caption, Icon icon, Buttons buttons) {
        (void)details;
        return show(text, caption, icon, buttons);
    }
};

// The state of a window's shared file dialog. Every file choice reconfigures it before
// showing it, and whatever it does not set stays from the previous choice.
struct FileDialogState {
    std::string fileName;   // in: proposed name; out: chosen name ("" when cancelled)
    std::string defaultExt; // ".pdf", ".plt" or "" (added to a typed name without one)
    std::string filter;     // "Description|*.a;*.b|All Files (*.*)|*.*"
    std::string initDir;    // "" leaves the folder to the dialog
    long flags = 0;         // kMultiSelect, kOverwritePrompt, ...
    int maxFileSize = 260;

    static constexpr long kOverwritePrompt = 0x2;
    static constexpr long kHideReadOnly = 0x4;
    static constexpr long kAllowMultiSelect = 0x200;
    static constexpr long kExplorer = 0x80000;
};

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Shows the dialog. On return state.fileName holds the choice or "" when cancelled.
    // With kAllowMultiSelect and several files chosen, the choice is the folder, a NUL,
    // and the file names separated by NULs.
    virtual void showOpen(FileDialogState& state) = 0;
    virtual void showSave(FileDialogState& state) = 0;
};

class ColorDialog {
public:
    virtual ~ColorDialog() = default;
    // An explicit 0x00BBGGRR colour, or nothing when the user cancelled.
    virtual std::optional<ColorValue> pickColor() = 0;
};

// Opens a file or folder in the application the desktop associates with it.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    virtual void open(const std::string& path) = 0;
};

// A document pane: shows a file by path, "about:blank", or a page of markup. A pane that
// loads in the background reports a ready state other than 4 until it has finished.
class PreviewPane {
public:
    virtual ~PreviewPane() = default;
    virtual int readyState() = 0;
    virtual void navigate(const std::string& target) = 0;
    virtual void setBackgroundColor(const std::string& color) = 0;
    virtual void setBodyHtml(const std::string& html) = 0;
};

// Lets pending window events run, and ends the program at once when it must.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
    virtual void terminate() = 0;
};

} // namespace plait::ui
