#pragma once

#include "core/settings/SettingsModel.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The ".plt" settings file: a build mode, every stored field of the settings dialog, and the
// input paths, as line-oriented records
//
//   [Field=<name> Index=<i> Type=<letter>]     (or without " Index=<i>")
//   <value lines>
//
// with CR LF line ends; a file with no CR LF at all is read as if each of its LFs were one.
// Files are Windows-1252, which is the format's code page; a file whose text Windows-1252
// cannot hold is written as UTF-8 behind a byte-order mark instead, and read back as UTF-8
// when the mark is there. A file without the mark is always taken as Windows-1252, even when
// its bytes happen to be valid UTF-8.
namespace plait::core::settings {

struct SettingsRecord {
    std::string field;
    // The header's index, -1 when it had none, kBadIndex when the character after "Index="
    // is not a digit (such a record must not be applied).
    int index = -1;
    std::string type;  // the one character after "Type=", or empty
    std::string value; // UTF-8; value lines joined with CR LF
    // In a file of mixed line ends a bare LF joins lines that were written apart. True when
    // this record's header line held one: what followed it on that line is lost.
    bool brokenHeader = false;
    // The field names of headers that followed a bare LF inside this record's lines: their
    // records were never read.
    std::vector<std::string> hiddenFields;
};

inline constexpr int kBadIndex = -2;

// Decodes the bytes and splits them into records, in file order. Records whose header gives no
// field name are dropped, as are lines before the first header. Never fails: any bytes give
// some list of records.
std::vector<SettingsRecord> parseSettingsFile(std::string_view bytes);

// Applies one record to the dialog's controls (not OverlayType/TreeView1: the caller handles
// those). The first control of that name (and index, when given) in collection order takes the
// value, and its change rules run as if the user had made the change; toolbar buttons take
// their state without the click rule. Records that name no control, carry a value the control
// cannot take, or a type letter that does not fit the control are ignored.
void applySettingsRecord(SettingsModel& model, const SettingsRecord& record);

// True when a file's security settings did not come through whole, so that a build from them
// could drop the protection the file asks for:
// - a record of the compatibility level (Compat_Com) or of a password (open1_txt, open2_txt,
//   perm1_txt, perm2_txt) is damaged: its header line broken by a bare LF, or hidden behind
//   one inside another record, an index, a type letter that does not fit, or a level that
//   is no position of the list;
// - or the file asks for encryption (level 1 or 2, as loaded into the model) and lacks one of
//   the four password records, although it opens with the build mode as every file the
//   program writes does: it was cut short or lost lines. (A file written by hand may leave
//   out what it does not set.)
bool securityUnread(const std::vector<SettingsRecord>& records, const SettingsModel& model);

// The input paths of a TreeView1 record: its value split at CR LF, empty pieces skipped.
std::vector<std::string> splitInputPaths(std::string_view value);

// The complete file: OverlayType record, the 224 dialog records, the TreeView1 record with the
// inputs. This is also what "plait settings" prints.
// With pages chosen for some inputs (`inputPages`, beside `inputs`), an InputPages record
// follows, one line per such input: its 1-based place among the TreeView1 paths, a blank, and
// the page list. Readers that do not know the record pass it over as they do any unknown field.
std::string writeSettingsFile(const SettingsModel& model, int overlayType,
                              const std::vector<std::string>& inputs,
                              const std::vector<std::string>& inputPages = {});

// The field name of the record of pages chosen per input, and its lines read back: the
// 1-based place among the TreeView1 paths and the page list. Unreadable lines are skipped.
inline constexpr std::string_view kInputPagesField = "InputPages";
std::vector<std::pair<std::size_t, std::string>> parseInputPages(std::string_view value);

// Writes bytes to path atomically (temp file in the same folder, fsync, rename); mode 0600 when
// ownerOnly. Returns an empty string on success, else a message for the user naming the file
// and the reason. An existing file keeps its permissions unless ownerOnly asks for fewer.
std::string saveFileAtomically(const std::string& path, std::string_view bytes, bool ownerOnly);

// The largest settings file read: far more than any real one (10,000 inputs take 0.6 MB).
inline constexpr std::uint64_t kMaxSettingsFileBytes = 64ull * 1024 * 1024;

// The bytes of a settings file, read with that bound; a device, a pipe or a folder is
// refused without reading from it. Nothing when it cannot be read, with `reason` saying why.
std::optional<std::string> readSettingsFileBytes(const std::string& path, std::string& reason);

// Any of open1_txt, open2_txt, perm1_txt, perm2_txt, txtPass non-empty.
bool containsPassword(const SettingsModel& model);

} // namespace plait::core::settings
