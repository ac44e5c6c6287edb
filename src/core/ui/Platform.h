#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plait::ui {

// File-system and process facts the program's logic needs. The default implementation asks
// the system; tests override what they must pin down (the temporary folder, say).
class Platform {
public:
    virtual ~Platform() = default;

    // The system's temporary folder, ending with a path separator.
    virtual std::string tempDir() const;
    virtual std::string currentDir() const;
    // The folder that holds the program (the manual lies there).
    virtual std::string programDir() const;
    // The length of a file, or nothing when there is no such file.
    virtual std::optional<std::uintmax_t> fileLength(const std::string& path) const;
    virtual bool exists(const std::string& path) const;
    // The full path of a name: relative names are taken against the current folder, and its
    // folders resolved as the file system will (engine/FileName.h).
    virtual std::string absolutePath(const std::string& name) const;
    // True when both names lead to the same file: the same device and inode when it exists;
    // for files that do not exist yet, the resolved names are compared.
    virtual bool sameFile(const std::string& a, const std::string& b) const;
};

// The separator the program puts between a folder and a file name.
inline constexpr char kPathSeparator = '/';

} // namespace plait::ui
