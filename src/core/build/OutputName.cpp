#include "OutputName.h"

#include "core/ui/Text.h"

namespace plait::core::build {
namespace {

// Length in characters of UTF-8 text (continuation bytes do not count).
std::size_t characterCount(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The attachment rows of the settings (txtAttach1 to txtAttach5).
constexpr int kAttachmentRows = 5;

} // namespace

std::string fixOutName(const ui::Platform& platform, std::string name, const std::string& extension) {
    if (ui::trimBlanks(name).empty() && !extension.empty()) {
        name = platform.tempDir() + "PDFOut." + extension;
    }
    if (characterCount(name) < 4 && extension == "pdf") {
        name += "." + extension;
    }
    name = platform.absolutePath(name);
    if (extension == "pdf" && !endsWith(name, "." + extension)) {
        name += "." + extension;
    }
    return name;
}

std::string outputFileName(const ui::Platform& platform, const std::string& typed,
                           const std::string& extension) {
    return fixOutName(platform, ui::trimBlanks(typed), extension);
}

std::optional<std::string> readFileClash(const ui::Platform& platform, const std::string& output,
                                         const ui::Form& settings, const std::vector<ReadFile>& others) {
    for (int row = 1; row <= kAttachmentRows; ++row) {
        const std::string file = ui::trimBlanks(settings.text("txtAttach" + std::to_string(row)));
        if (!file.empty() && platform.sameFile(file, output)) {
            return "Cannot have an attachment file with same name as output file.";
        }
    }
    for (const ReadFile& other : others) {
        if (!other.path.empty() && platform.sameFile(other.path, output)) {
            return "Cannot have " + other.what + " with same name as output file.";
        }
    }
    return std::nullopt;
}

} // namespace plait::core::build
