#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// Output options that have no field of their own and come in through setCmds.
struct WriterOptions {
    enum class ObjectStreams { Preserve, Generate, Disable };
    enum class Cipher { Standard, Aes128, Aes256 }; // Standard: RC4 at 40 or 128 bits

    bool linearize = false;
    ObjectStreams objectStreams = ObjectStreams::Preserve;
    Cipher cipher = Cipher::Standard;
    bool deterministic = false;
    bool compressStreams = true;
    std::string minVersion; // e.g. "1.7"; empty leaves the version to the writer
    // setSmallest: Flate streams compressed again at the highest level, other decodable
    // filters turned into Flate, object streams made.
    bool smallest = false;
};

// Reads a setCmds text into `options`. Parameters are separated by blanks, commas or
// semicolons; each is a name or name=value, names compared without case, an optional
// leading "-" or "--" ignored. Returns one note per parameter it could not use.
std::vector<std::string> parseWriterOptions(std::string_view text, WriterOptions& options);

} // namespace plait::pdf
