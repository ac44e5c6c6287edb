#pragma once

class QPDF;

namespace plait::pdf {

// Page trees nested deeper than this come only from broken or hostile files; qpdf walks the
// tree recursively and would run out of stack on them.
inline constexpr int kMaxPageTreeDepth = 1000;

// Walks the document's page tree with a stack of its own, each node once, and throws QPDFExc
// (damaged file) when it is nested deeper than kMaxPageTreeDepth. Call it before anything
// that lists the pages. Loops are left to qpdf, which reports them.
void checkPageTree(QPDF& pdf);

} // namespace plait::pdf
