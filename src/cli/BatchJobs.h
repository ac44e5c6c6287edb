#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

// The jobs file of `plait batch`: JSON Lines, one build a line, with the arguments of
// `plait build` as keys:
//
//   {"output": "a.pdf", "inputs": ["x.pdf", "y.pdf"], "settings": "job.plt",
//    "mode": "overlay", "bookmarks": "outline.txt", "open": false}
//
// An input may also be an object that chooses its pages, as `--pages` does:
// {"file": "x.pdf", "pages": "1-3,7"}. Only "output" is required. Blank lines are allowed and keep the line
// numbers counting.
namespace plait::cli::batch {

struct Job {
    int line = 0; // 1-based line of the jobs file
    std::string output;
    std::vector<std::string> inputs;
    std::vector<std::string> inputPages; // beside `inputs`: the pages chosen, "" for every page
    std::string settings;
    std::string mode; // empty, "merge", "overlay" or "repeat"
    std::string bookmarks;
    bool open = false;
    std::optional<int> imageDpi, imageQuality; // "image-dpi", "image-quality"
    bool smallest = false;
    // A job with "split": the options of `plait split` ({"--every", "10"}); its output is the
    // folder of the parts. Empty for a build.
    std::vector<std::string> split;

    // The file the build writes, as `plait build` completes the name: a full path ending in
    // ".pdf".
    std::filesystem::path target;
    // Every file the output is made from: the inputs of the settings file and of the job,
    // the settings file and the bookmarks file.
    std::vector<std::filesystem::path> sources;
};

struct JobsFile {
    std::vector<Job> jobs;
    std::vector<std::string> errors; // "line N: what is wrong"; empty when the file is sound
};

// Reads and checks the whole file before anything runs: each line a JSON object with known
// keys of the right types and an output; no output written by two jobs; no output that any job
// reads. At most `maxErrors` errors are collected.
JobsFile readJobs(std::istream& in, std::size_t maxErrors = 20);

// Why the report may not be written to `report`: it is the jobs file (empty for standard
// input), the output of a job, or a file a job reads (an input, a settings or bookmarks file);
// empty when it is none of them. Files are compared as files, whatever names they are given.
std::string reportClash(const std::string& report, const std::string& jobsFile, const JobsFile& file);

// The full path the build writes for an output name, read as `plait build` reads it: blanks
// trimmed, relative names against the current directory, folders resolved as the file system
// will, ".pdf" appended unless the name already ends in exactly ".pdf".
std::filesystem::path completeOutputName(const std::string& name);

} // namespace plait::cli::batch
