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

std::vector<std::size_t> inputOrder(const std::vector<std::string>& paths, char key) {
    std::vector<std::size_t> order(paths.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto name = [&](std::size_t i) { return fs::path(paths[i]).filename().string(); };
    const auto byKey = [&](const auto& keys) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    };
    std::error_code ec;
    switch (key) {
    case 'f': {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < paths.size(); ++i)
            names.push_back(name(i));
        byKey(names);
        break;
    }
    case 'n':
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return naturalLess(name(a), name(b)); });
        break;
    case 'b': {
        std::vector<std::uintmax_t> sizes;
        for (const auto& p : paths) {
            const auto size = fs::file_size(p, ec);
            sizes.push_back(ec ? 0 : size);
        }
        byKey(sizes);
        break;
    }
    case 'd': {
        std::vector<fs::file_time_type> times;
        for (const auto& p : paths) {
            const auto time = fs::last_write_time(p, ec);
            times.push_back(ec ? fs::file_time_type::min() : time);
        }
        byKey(times);
        break;
    }
    default:
        break;
    }
    return order;
}

void sortInputs(std::vector<std::string>& paths, char key) {
    std::vector<std::string> sorted;
    sorted.reserve(paths.size());
    for (std::size_t i : inputOrder(paths, key))
        sorted.push_back(std::move(paths[i]));
    paths = std::move(sorted);
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
