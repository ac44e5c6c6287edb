#include "InputList.h"

#include <filesystem>
#include <system_error>

namespace plait::engine {

std::vector<std::string> splitInputList(std::string_view textIn, const FileTest& exists) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = textIn.find(',', start);
        pieces.emplace_back(
            textIn.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }

    std::vector<std::string> paths;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].empty()) {
            continue;
        }
        if (!exists(pieces[i])) {
            std::string joined = pieces[i];
            for (std::size_t j = i + 1; j < pieces.size(); ++j) {
                joined += ',';
                joined += pieces[j];
                if (exists(joined)) {
                    paths.push_back(joined);
                    i = j;
                    goto next;
                }
            }
        }
        paths.push_back(pieces[i]);
    next:;
    }
    return paths;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::optional<std::string> ambiguousInput(const std::vector<std::string>& inputs, const FileTest& exists) {
    std::string joined;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        joined += (i == 0 ? "" : ",") + inputs[i];
    }
    if (splitInputList(joined, exists) == inputs) {
        return std::nullopt;
    }
    for (const auto& in : inputs) {
        if (in.find(',') != std::string::npos) {
            return in;
        }
    }
    return std::nullopt; // only empty names differ, and they name no file either way
}

} // namespace plait::engine
