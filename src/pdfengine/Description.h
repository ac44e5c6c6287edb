#pragma once

#include "Job.h"

#include <string>
#include <vector>

class QPDF;

namespace plait::pdf {

// Writes the document description into `out`'s information dictionary: the given fields and
// custom attributes over whatever is there already, the producer (ours unless one was
// given) and, unless `deterministic`, the modification date. When the document carries XMP
// metadata, the same values are written there so that the two never disagree.
void applyDescription(QPDF& out, const Description& description, bool deterministic,
                      std::vector<std::string>& notes);

// Sets the given properties in an XMP packet; exposed for tests. Returns false when the
// packet has no RDF element to hold them.
struct XmpValues {
    std::optional<std::string> title, subject, author, producer, keywords, modifyDate;
};
bool updateXmp(std::string& xmp, const XmpValues& values);

} // namespace plait::pdf
