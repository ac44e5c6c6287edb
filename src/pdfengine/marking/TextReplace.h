#pragma once

#include <qpdf/QPDF.hh>

#include <string>

namespace plait::pdf {

// Replaces `find` by `change` where a page's own content stream shows it inside one string of
// a text-showing operator (Tj, TJ, ', ") in a simple font whose encoding is known to hold
// both texts byte for byte: printable ASCII in WinAnsi, MacRoman or Standard encoding
// (/Differences that touch none of their bytes allowed), in a font that is not a subset (a
// subset may lack the new glyphs). Everything else (composite fonts, text split across
// strings, form XObjects) is left alone. Returns the number of replacements.
int replaceText(QPDF& pdf, const std::string& find, const std::string& change);

} // namespace plait::pdf
