#pragma once

#include <memory>

class QPDF;

namespace plait::pdf {

// A process that does one build and then ends (`plait build`, the engine worker) need not take
// the build's documents apart: qpdf frees a parsed document object by object, which costs a
// twentieth of rewriting a file and a seventh of a large merge's build thread, while the end of
// the process hands all of its memory back at once. Such a process says so once, at its start.
void setOneBuildPerProcess(bool on);

// Frees `doc`, or, in a process that does one build, keeps it untouched until the process
// ends. Safe from any thread.
void retire(std::unique_ptr<QPDF> doc);

} // namespace plait::pdf
