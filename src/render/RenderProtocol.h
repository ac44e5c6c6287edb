#pragma once

// The line protocol between the preview pane and `pdfplait-render`, one renderer per previewed
// file. The renderer opens the file named on its command line and says, on its standard
// output, one of:
//
//   pages N WIDTH HEIGHT   the document has N pages; the first is WIDTH x HEIGHT points
//   password               it needs a password (or the one given did not open it)
//   unreadable REASON      it is damaged or not a PDF
//
// and then answers each request line on its standard input:
//
//   password HEX           the password, its UTF-8 bytes in hexadecimal; answered as above
//   render PAGE WIDTH      page PAGE (from 0) drawn WIDTH pixels wide, on white; answered by
//                          "image PAGE W H" and W * H * 4 bytes of 0xffRRGGBB pixels in the
//                          machine's byte order, row after row, or by "failed PAGE"
//
// The renderer ends when its standard input closes. Whoever starts it trusts none of this:
// sizes past the bounds below, an answer to a question not asked, or a line longer than
// kMaxLineBytes end the renderer.

namespace plait::render {

inline constexpr int kMaxLineBytes = 256;
// No page is drawn wider than this, nor with more pixels (32 MB of picture).
inline constexpr int kMaxWidth = 4096;
inline constexpr long long kMaxPixels = 8LL << 20;
// The renderer's exit status when an allocation failed: the page needs more memory than a
// preview may take.
inline constexpr int kOutOfMemoryStatus = 3;

} // namespace plait::render
