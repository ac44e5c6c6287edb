#include "SettingsFile.h"

#include "Windows1252.h"
#include "core/ui/AtomicFile.h"
#include "core/ui/Text.h"

#include "engine/RegularFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

namespace plait::core::settings {

namespace {

constexpr std::string_view kHeaderStart = "[Field=";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHiddenHeader = "\n[Field=";

SettingsRecord parseHeader(std::string_view rest) {
    SettingsRecord r;
    // Only one character of the index is read, so "Index=12" means 1; a character that is
    // not a digit makes the record unusable rather than index 0.
    if (auto pos = rest.find("Index="); pos != std::string_view::npos) {
        pos += 6;
        if (pos < rest.size() && rest[pos] >= '0' && rest[pos] <= '9') {
            r.index = rest[pos] - '0';
        } else {
            r.index = kBadIndex;
        }
    }
    if (auto pos = rest.find("Type="); pos != std::string_view::npos) {
        r.type = std::string(rest.substr(pos + 5, 1));
    }
    // Without a blank the name runs to the end of the line, closing bracket included.
    r.field = std::string(rest.substr(0, rest.find(' ')));
    return r;
}

// A whole number with optional blanks around it, as the line writer gives it.
std::optional<long long> parseNumber(std::string_view s) {
    s = ui::trimmed(s, ui::kBlanksAndTabs);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    long long v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return v;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// "True" / "False" as written; numbers as any non-zero is true.
std::optional<bool> parseBool(std::string_view s) {
    s = ui::trimmed(s, ui::kBlanksAndTabs);
    if (equalsIgnoringCase(s, "True")) {
        return true;
    }
    if (equalsIgnoringCase(s, "False")) {
        return false;
    }
    if (auto n = parseNumber(s)) {
        return *n != 0;
    }
    return std::nullopt;
}

// Colours are written as signed 32-bit numbers (system colours negative); the unsigned
// spelling of the same value is taken too.
std::optional<ui::ColorValue> parseColor(std::string_view s) {
    auto n = parseNumber(s);
    if (!n || *n < std::numeric_limits<std::int32_t>::min() ||
        *n > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<ui::ColorValue>(static_cast<std::uint32_t>(*n));
}

// The line writer's form of a number: a blank (or the minus sign), the digits, a blank.
void appendNumber(std::string& out, long long v) {
    if (v >= 0) {
        out += ' ';
    }
    out += std::to_string(v);
    out += ' ';
    out += kLineEnd;
}

void appendHeader(std::string& out, std::string_view name, int index, char type) {
    out += kHeaderStart;
    out += name;
    if (index >= 0) {
        out += " Index=";
        out += std::to_string(index);
    }
    out += " Type=";
    out += type;
    out += ']';
    out += kLineEnd;
}

} // namespace

std::vector<SettingsRecord> parseSettingsFile(std::string_view bytes) {
    std::string text;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        // Kept byte for byte: what was written (even a path that is no valid UTF-8) comes back.
        text.assign(bytes.substr(kUtf8Bom.size()));
    } else {
        text = windows1252ToUtf8(bytes);
    }

    std::vector<SettingsRecord> records;
    SettingsRecord pending;
    bool inRecord = false;
    const auto flush = [&] {
        if (inRecord && !pending.field.empty()) {
            records.push_back(std::move(pending));
        }
    };

    const std::string_view all(text);
    // Lines end at CR LF or at a lone CR; a lone LF belongs to the line. A file with no CR LF
    // at all has had its line ends turned into LF (by an editor or version control), and is
    // read as if each LF were a CR LF again: its lines end at LF or at a lone CR.
    const bool lfLines = all.find(kLineEnd) == std::string_view::npos;
    const std::string_view lineEnds = lfLines ? std::string_view("\r\n") : std::string_view("\r");
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = all.find_first_of(lineEnds, pos);
        std::size_t next = 0;
        if (end == std::string_view::npos) {
            end = all.size();
            next = all.size();
        } else {
            next = all.compare(end, kLineEnd.size(), kLineEnd) == 0 ? end + 2 : end + 1;
        }
        const std::string_view line = all.substr(pos, end - pos);
        pos = next;

        if (line.substr(0, kHeaderStart.size()) == kHeaderStart) {
            flush();
            pending = parseHeader(line.substr(kHeaderStart.size()));
            pending.brokenHeader = line.find('\n') != std::string_view::npos;
            inRecord = true;
        } else if (inRecord) {
            // Empty lines before the first non-empty one are dropped.
            if (!pending.value.empty()) {
                pending.value += kLineEnd;
            }
            pending.value += line;
        }
        if (inRecord && !lfLines) {
            // Headers behind a bare LF start no record of their own.
            for (auto at = line.find(kHiddenHeader); at != std::string_view::npos;
                 at = line.find(kHiddenHeader, at + 1)) {
                pending.hiddenFields.push_back(parseHeader(line.substr(at + kHiddenHeader.size())).field);
            }
        }
    }
    flush();
    return records;
}

void applySettingsRecord(SettingsModel& model, const SettingsRecord& record) {
    if (record.type == "1" || record.field == "TreeView1") {
        return;
    }
    if (record.index < -1) {
        return;
    }
    if (record.type == "B" && record.index != -1) {
        // Toolbar states are taken as written: no click rule runs.
        const ui::Control* bar = model.find(record.field);
        const auto state = parseNumber(record.value);
        if (bar == nullptr || bar->kind != ControlKind::Toolbar || !state || (*state != 0 && *state != 1)) {
            return;
        }
        model.setButton(record.field, record.index, *state == 1);
        return;
    }

    // A record applies to the first control of its name (and index), whatever its kind; the
    // type letter must then suit that kind, or the record is passed over.
    ui::Control* c = model.find(record.field, record.index);
    if (c == nullptr || record.type.size() != 1) {
        return;
    }
    switch (record.type[0]) {
    case 'O':
    case 'C':
        if (c->kind == ControlKind::OptionButton) {
            if (auto on = parseBool(record.value)) {
                model.setValue(*c, *on ? 1 : 0);
            }
        } else if (c->kind == ControlKind::CheckBox) {
            if (auto v = parseNumber(record.value); v && (*v == 0 || *v == 1)) {
                model.setValue(*c, static_cast<int>(*v));
            }
        }
        break;
    case 'T':
        if (c->kind == ControlKind::TextBox) {
            model.setText(*c, record.value);
        }
        break;
    case 'L':
        if (c->kind == ControlKind::ComboBox) {
            if (auto v = parseNumber(record.value);
                v && *v >= -1 && *v < static_cast<long long>(c->items.size())) {
                model.setValue(*c, static_cast<int>(*v));
            }
        }
        break;
    case 'P':
    case 'A':
        if (c->kind == (record.type[0] == 'P' ? ControlKind::PictureBox : ControlKind::Label)) {
            if (auto color = parseColor(record.value)) {
                model.setColor(*c, *color);
            }
        }
        break;
    default:
        break;
    }
}

bool securityUnread(const std::vector<SettingsRecord>& records, const SettingsModel& model) {
    static constexpr std::array<std::string_view, 4> kPasswords{"open1_txt", "open2_txt", "perm1_txt",
                                                                "perm2_txt"};
    const auto password = [](std::string_view field) {
        return std::find(kPasswords.begin(), kPasswords.end(), field);
    };
    const auto isSecurity = [&](std::string_view field) {
        return field == "Compat_Com" || password(field) != kPasswords.end();
    };

    std::array<bool, kPasswords.size()> present{};
    for (const SettingsRecord& r : records) {
        if (std::any_of(r.hiddenFields.begin(), r.hiddenFields.end(), isSecurity)) {
            return true;
        }
        if (!isSecurity(r.field)) {
            continue;
        }
        if (r.brokenHeader || r.index != -1) {
            return true;
        }
        if (const auto slot = password(r.field); slot != kPasswords.end()) {
            if (r.type != "T") {
                return true;
            }
            present[static_cast<std::size_t>(slot - kPasswords.begin())] = true;
            continue;
        }
        const auto level = parseNumber(r.value);
        const auto levels = static_cast<long long>(model.at("Compat_Com").items.size());
        if (r.type != "L" || !level || *level < -1 || *level >= levels) {
            return true;
        }
    }
    // Every file the program writes opens with the build mode and holds all four password
    // records; one that asks for encryption without them was cut short or lost lines.
    const bool written = !records.empty() && records.front().type == "1";
    const bool encrypts = model.listIndex("Compat_Com") >= kCompat40Bit;
    return written && encrypts && std::find(present.begin(), present.end(), false) != present.end();
}

std::vector<std::string> splitInputPaths(std::string_view value) {
    std::vector<std::string> paths;
    std::size_t pos = 0;
    while (pos <= value.size()) {
        std::size_t end = value.find(kLineEnd, pos);
        if (end == std::string_view::npos) {
            end = value.size();
        }
        if (end > pos) {
            paths.emplace_back(value.substr(pos, end - pos));
        }
        pos = end + kLineEnd.size();
    }
    return paths;
}

std::vector<std::pair<std::size_t, std::string>> parseInputPages(std::string_view value) {
    std::vector<std::pair<std::size_t, std::string>> choices;
    for (const std::string& line : splitInputPaths(value)) {
        const std::string_view l = line;
        const std::size_t blank = l.find(' ');
        std::size_t place = 0;
        const std::string_view digits = l.substr(0, blank);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), place);
        if (blank == std::string_view::npos || ec != std::errc() || end != digits.data() + digits.size() ||
            place < 1) {
            continue;
        }
        std::string pages = ui::trimBlanks(l.substr(blank + 1));
        if (!pages.empty()) {
            choices.emplace_back(place, std::move(pages));
        }
    }
    return choices;
}

std::string writeSettingsFile(const SettingsModel& model, int overlayType,
                              const std::vector<std::string>& inputs,
                              const std::vector<std::string>& inputPages) {
    std::string out;
    out.reserve(16 * 1024);
    out += "[Field=OverlayType Index=";
    out += std::to_string(overlayType);
    out += " Type=1]";
    out += kLineEnd;

    const auto& controls = model.controls();
    for (const StoredRecord& r : storedRecords()) {
        const ui::Control* c = r.control < controls.size() ? &controls[r.control] : nullptr;
        if (c == nullptr || c->name != r.name) {
            // Not the table's layout: look the control up instead.
            const int index = controlTable()[r.control].index;
            c = model.find(r.name, index);
            if (c == nullptr) {
                continue;
            }
        }
        appendHeader(out, r.name, r.writtenIndex, r.type);
        switch (r.type) {
        case 'T':
            out += c->text;
            out += kLineEnd;
            break;
        case 'O':
            out += c->value != 0 ? "True" : "False";
            out += kLineEnd;
            break;
        case 'B': {
            const auto b = static_cast<std::size_t>(r.button);
            appendNumber(out, b >= 1 && b <= c->buttons.size() ? c->buttons[b - 1] : 0);
            break;
        }
        case 'P':
        case 'A':
            appendNumber(out, static_cast<std::int32_t>(c->color));
            break;
        default: // C, L
            appendNumber(out, c->value);
            break;
        }
    }

    out += "[Field=TreeView1 Type=V]";
    out += kLineEnd;
    for (const std::string& input : inputs) {
        out += input;
        out += kLineEnd;
    }
    // Only inputs that were written count: a path the reader skips (empty) has no place.
    std::string pagesRecord;
    std::size_t place = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i].empty()) {
            continue;
        }
        ++place;
        if (i < inputPages.size() && !inputPages[i].empty()) {
            pagesRecord += std::to_string(place) + " " + inputPages[i];
            pagesRecord += kLineEnd;
        }
    }
    if (!pagesRecord.empty()) {
        out += "[Field=" + std::string(kInputPagesField) + " Type=V]";
        out += kLineEnd;
        out += pagesRecord;
    }

    // Windows-1252 whenever it can hold the text, so that older copies of the program still
    // read the file; otherwise UTF-8, marked, so that nothing typed is lost.
    if (auto narrow = utf8ToWindows1252(out)) {
        return std::move(*narrow);
    }
    return std::string(kUtf8Bom) + out;
}

std::string saveFileAtomically(const std::string& path, std::string_view bytes, bool ownerOnly) {
    if (const auto failure = ui::replaceFileAtomically(path, bytes, ownerOnly)) {
        return "Cannot save the settings file '" + path + "': " + failure->what + " (" +
               std::strerror(failure->error) + ").";
    }
    return {};
}

bool containsPassword(const SettingsModel& model) {
    for (std::string_view name : {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt", "txtPass"}) {
        if (!model.text(name).empty()) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> readSettingsFileBytes(const std::string& path, std::string& reason) {
    return engine::readRegularFile(path, kMaxSettingsFileBytes, reason);
}

} // namespace plait::core::settings
