#include "InputFiles.h"

#include "Text.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace plait::pdf {

bool naturalLess(std::string_view a, std::string_view b) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            // Compare the numbers without leading zeros: first by length, then by digits.
            std::string_view na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            while (na.size() > 1 && na.front() == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

void sortInputs(std::vector<std::string>& paths, char key) {
    const auto name = [](const std::string& p) { return fs::path(p).filename().string(); };
    std::error_code ec;
    switch (key) {
    case 'f':
        std::stable_sort(paths.begin(), paths.end(),
                         [&](const auto& a, const auto& b) { return name(a) < name(b); });
        break;
    case 'n':
        std::stable_sort(paths.begin(), paths.end(),
                         [&](const auto& a, const auto& b) { return naturalLess(name(a), name(b)); });
        break;
    case 'b': {
        std::vector<std::pair<std::uintmax_t, std::string>> keyed;
        for (auto& p : paths) {
            auto size = fs::file_size(p, ec);
            keyed.emplace_back(ec ? 0 : size, std::move(p));
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < paths.size(); ++i)
            paths[i] = std::move(keyed[i].second);
        break;
    }
    case 'd': {
        std::vector<std::pair<fs::file_time_type, std::string>> keyed;
        for (auto& p : paths) {
            auto time = fs::last_write_time(p, ec);
            keyed.emplace_back(ec ? fs::file_time_type::min() : time, std::move(p));
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (std::size_t i = 0; i < paths.size(); ++i)
            paths[i] = std::move(keyed[i].second);
        break;
    }
    default:
        break;
    }
}

std::vector<std::string> parsePasswordList(std::string_view textIn) {
    std::vector<std::string> out;
    for (auto& p : text::splitEscaped(textIn, ',')) {
        if (!p.empty())
            out.push_back(std::move(p));
    }
    return out;
}

} // namespace plait::pdf
