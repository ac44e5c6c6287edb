#include "PdfNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plait::pdf {

namespace {
constexpr int kMaxDecimals = 10;
// The largest double has 309 digits before the point; a sign and the point come on top.
constexpr int kMaxChars = 1 + 309 + 1 + kMaxDecimals;
} // namespace

std::string pdfNumber(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "0";
    }
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    char buf[kMaxChars];
    // to_chars rounds exactly as printf("%.*f") does in the C locale, without the locale.
    const char* end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
    if (decimals > 0) {
        while (end[-1] == '0') {
            --end;
        }
        if (end[-1] == '.') {
            --end;
        }
    }
    if (end - buf == 2 && buf[0] == '-' && buf[1] == '0') {
        return "0";
    }
    return std::string(buf, static_cast<std::size_t>(end - buf));
}

} // namespace plait::pdf
