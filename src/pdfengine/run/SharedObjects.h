#pragma once

class QPDF;

namespace plait::pdf {

// Writes once what the output holds many times: streams whose dictionary and stored data are
// the same byte for byte (fonts, images, ICC profiles, forms), and then the fonts, font
// descriptors, graphics states, encodings and colour spaces that have become the same through
// them. Every reference to a copy is pointed at the one kept; the writer leaves out what is no
// longer referenced. Only streams that agree in dictionary and length are read to be
// compared, so inputs that share nothing cost one look at each stream's dictionary. Returns
// how many objects were folded into others.
int writeSharedOnce(QPDF& out);

} // namespace plait::pdf
