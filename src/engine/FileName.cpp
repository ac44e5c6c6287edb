#include "FileName.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace plait::engine {

std::string resolveFileName(std::string_view name, const std::string& base) {
    std::error_code ec;
    fs::path p{std::string(name)};
    if (p.is_relative()) {
        fs::path folder = base.empty() ? fs::current_path(ec) : fs::path(base);
        p = folder / p;
    }
    // "dir/" names the folder itself.
    std::string text = p.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    p = text;
    const fs::path last = p.filename();
    const bool lastIsFolder = last == "." || last == "..";
    // weakly_canonical follows the links of the part that exists, in order, and folds the
    // rest; the last part is left out so that a link there is not followed.
    fs::path resolved = fs::weakly_canonical(lastIsFolder ? p : p.parent_path(), ec);
    if (ec) {
        // A loop of links, or a folder that cannot be searched: the opening fails anyway.
        resolved = (lastIsFolder ? p : p.parent_path()).lexically_normal();
    }
    if (!lastIsFolder) {
        resolved /= last;
    }
    text = resolved.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

FileIdentity fileIdentity(std::string_view name, const std::string& base) {
    FileIdentity id;
    id.path = resolveFileName(name, base);
    struct stat st {};
    if (!name.empty() && ::stat(id.path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = static_cast<std::uint64_t>(st.st_dev);
        id.inode = static_cast<std::uint64_t>(st.st_ino);
        id.path.clear();
    }
    return id;
}

bool sameFile(std::string_view a, std::string_view b, const std::string& base) {
    return fileIdentity(a, base) == fileIdentity(b, base);
}

bool writeProtected(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

namespace {

std::string escapeControls(std::string_view text, bool keepLines) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 || c == 0x7f) && !(keepLines && (c == '\n' || c == '\t'))) {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

} // namespace

std::string printableName(std::string_view name) {
    return escapeControls(name, false);
}

std::string printableText(std::string_view text) {
    return escapeControls(text, true);
}

} // namespace plait::engine
