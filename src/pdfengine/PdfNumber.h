#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <string>

namespace plait::pdf {

// A real number as content streams and objects write it: plain decimal notation rounded to
// `decimals` places after the point (0 to 10), trailing zeros and a bare point dropped
// ("12", "0.5", "-3.25"). Never an exponent, never a locale's comma, never "-0": a value that
// rounds to zero is "0". A value that is not finite (a division by a zero-size box) is written
// as "0", the only number a reader would not take for a broken file.
std::string pdfNumber(double value, int decimals);

// The same number as a real object.
inline QPDFObjectHandle pdfReal(double value, int decimals) {
    return QPDFObjectHandle::newReal(pdfNumber(value, decimals));
}

} // namespace plait::pdf
