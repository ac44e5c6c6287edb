#include "BatchJobs.h"

#include "core/settings/SettingsFile.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace plait::cli::batch {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A line longer than this is refused rather than parsed: it bounds the memory one line costs.
constexpr std::size_t kMaxLineBytes = 16u << 20;

// The same file for comparisons: full path, `.` and `..` removed, symbolic links of the
// existing part followed.
fs::path identity(const fs::path& p) {
    std::error_code ec;
    fs::path full = fs::weakly_canonical(fs::absolute(p), ec);
    return ec ? fs::absolute(p).lexically_normal() : full;
}

std::string requireString(const json& value, const char* key, std::string& error) {
    if (!value.is_string()) {
        error = std::string("\"") + key + "\" must be a text";
        return {};
    }
    return value.get<std::string>();
}

// An input given as {"file": "x.pdf", "pages": "1-3"}; returns what is wrong, or an empty text.
std::string readInputObject(const json& item, Job& job) {
    std::string file, pages;
    for (const auto& [key, value] : item.items()) {
        if ((key != "file" && key != "pages") || !value.is_string()) {
            return "an input object holds \"file\" and \"pages\", each a text";
        }
        (key == "file" ? file : pages) = value.get<std::string>();
    }
    if (file.empty()) {
        return "an input object needs a \"file\"";
    }
    if (pages.find_first_not_of(" \t") == std::string::npos) {
        pages.clear();
    }
    if (pages.find_first_of("\r\n") != std::string::npos) {
        return "the \"pages\" of an input are one line";
    }
    job.inputs.push_back(std::move(file));
    job.inputPages.push_back(std::move(pages));
    return {};
}

// "split": {"every": N} or {"bookmarks": LEVEL}, {"max-size": MB}, {"ranges": "1-3;4-z"}, the
// options of `plait split`; returns what is wrong, or an empty text.
std::string readSplit(const json& value, Job& job) {
    const char* expected = "\"split\" holds one of \"every\" (pages), \"bookmarks\" (a level), "
                           "\"max-size\" (megabytes) or \"ranges\" (a text)";
    if (!value.is_object() || value.size() != 1) {
        return expected;
    }
    const auto& [key, v] = *value.items().begin();
    if ((key == "every" || key == "bookmarks") && v.is_number_integer() && v.get<long long>() >= 1 &&
        v.get<long long>() <= 1'000'000) {
        job.split = {"--" + key, std::to_string(v.get<long long>())};
    } else if (key == "max-size" && v.is_number() && v.get<double>() > 0 && v.get<double>() <= 1e6) {
        job.split = {"--max-size", v.dump()};
    } else if (key == "ranges" && v.is_string() &&
               v.get<std::string>().find_first_of("\r\n") == std::string::npos) {
        job.split = {"--ranges", v.get<std::string>()};
    } else {
        return expected;
    }
    return {};
}

// What a split job may not hold: it cuts one input as it is.
std::string checkSplitJob(const Job& job) {
    if (job.inputs.size() != 1 || !job.inputPages.front().empty()) {
        return "a job with \"split\" takes one input, without \"pages\"";
    }
    if (!job.settings.empty() || !job.mode.empty() || !job.bookmarks.empty() || job.open) {
        return "a job with \"split\" takes no \"settings\", \"mode\", \"bookmarks\" or \"open\"";
    }
    return {};
}

// Fills one job from a parsed line; returns what is wrong, or an empty text.
std::string fillJob(const json& object, Job& job) {
    if (!object.is_object()) {
        return "not a JSON object";
    }
    std::string error;
    for (const auto& [key, value] : object.items()) {
        if (key == "output") {
            job.output = requireString(value, "output", error);
        } else if (key == "settings") {
            job.settings = requireString(value, "settings", error);
        } else if (key == "bookmarks") {
            job.bookmarks = requireString(value, "bookmarks", error);
        } else if (key == "mode") {
            job.mode = requireString(value, "mode", error);
            if (error.empty() && job.mode != "merge" && job.mode != "overlay" && job.mode != "repeat") {
                error = "\"mode\" must be \"merge\", \"overlay\" or \"repeat\"";
            }
        } else if (key == "open") {
            if (!value.is_boolean()) {
                error = "\"open\" must be true or false";
            } else {
                job.open = value.get<bool>();
            }
        } else if (key == "inputs") {
            if (!value.is_array()) {
                error = "\"inputs\" must be a list of file names";
            }
            for (const auto& item : value) {
                if (item.is_object()) {
                    error = readInputObject(item, job);
                    if (!error.empty()) {
                        break;
                    }
                    continue;
                }
                if (!item.is_string() || item.get<std::string>().empty()) {
                    error = "\"inputs\" must be a list of file names";
                    break;
                }
                job.inputs.push_back(item.get<std::string>());
                job.inputPages.emplace_back();
            }
        } else if (key == "split") {
            error = readSplit(value, job);
        } else {
            error = "unknown key \"" + key + "\"";
        }
        if (!error.empty()) {
            return error;
        }
    }
    if (job.output.empty()) {
        return "no \"output\"";
    }
    return job.split.empty() ? std::string() : checkSplitJob(job);
}

// The inputs a settings file lists; none when it cannot be read (the build reports that).
std::vector<std::string> settingsInputs(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> inputs;
    for (const auto& record : core::settings::parseSettingsFile(bytes)) {
        if (record.field == "TreeView1") {
            auto paths = core::settings::splitInputPaths(record.value);
            inputs.insert(inputs.end(), paths.begin(), paths.end());
        }
    }
    return inputs;
}

// Many jobs share one settings file: each is read once.
using SettingsInputs = std::map<std::string, std::vector<fs::path>>;

void collectSources(Job& job, SettingsInputs& settingsCache) {
    if (!job.settings.empty()) {
        auto [it, fresh] = settingsCache.try_emplace(job.settings);
        if (fresh) {
            for (const auto& in : settingsInputs(job.settings)) {
                it->second.push_back(identity(in));
            }
        }
        job.sources = it->second;
        job.sources.push_back(identity(job.settings));
    }
    for (const auto& in : job.inputs) {
        job.sources.push_back(identity(in));
    }
    if (!job.bookmarks.empty()) {
        job.sources.push_back(identity(job.bookmarks));
    }
}

// Outputs written twice, and outputs some job reads.
void checkOutputs(JobsFile& file, std::size_t maxErrors) {
    std::map<fs::path, const Job*> writers;
    for (const Job& job : file.jobs) {
        auto [it, fresh] = writers.emplace(job.target, &job);
        if (!fresh && file.errors.size() < maxErrors) {
            file.errors.push_back("line " + std::to_string(job.line) + ": output " + job.target.string() +
                                  " is also the output of line " + std::to_string(it->second->line));
        }
    }
    for (const Job& reader : file.jobs) {
        for (const auto& source : reader.sources) {
            const auto it = writers.find(source);
            if (it != writers.end() && file.errors.size() < maxErrors) {
                const Job& writer = *it->second;
                const std::string whose = writer.line == reader.line
                                              ? "its own input"
                                              : "an input of line " + std::to_string(reader.line);
                file.errors.push_back("line " + std::to_string(writer.line) + ": output " +
                                      writer.target.string() + " is " + whose);
            }
        }
    }
}

} // namespace

fs::path completeOutputName(const std::string& name) {
    std::string completed = name;
    if (completed.size() < 4 || completed.compare(completed.size() - 4, 4, ".pdf") != 0) {
        completed += ".pdf";
    }
    return identity(completed);
}

JobsFile readJobs(std::istream& in, std::size_t maxErrors) {
    JobsFile file;
    SettingsInputs settingsCache;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        auto fail = [&](const std::string& what) {
            if (file.errors.size() < maxErrors) {
                file.errors.push_back("line " + std::to_string(line) + ": " + what);
            }
        };
        if (text.size() > kMaxLineBytes) {
            fail("longer than " + std::to_string(kMaxLineBytes >> 20) + " MB");
            continue;
        }
        json object;
        try {
            object = json::parse(text);
        } catch (const json::parse_error& e) {
            // The parser's own account of where the text goes wrong, without its prefix.
            const std::string what = e.what();
            const auto colon = what.rfind(": ");
            fail("not valid JSON (" + (colon == std::string::npos ? what : what.substr(colon + 2)) + ")");
            continue;
        }
        Job job;
        job.line = line;
        if (const std::string error = fillJob(object, job); !error.empty()) {
            fail(error);
            continue;
        }
        // A split writes a folder, whose name is taken as it is.
        job.target = job.split.empty() ? completeOutputName(job.output) : identity(job.output);
        collectSources(job, settingsCache);
        file.jobs.push_back(std::move(job));
    }
    if (in.bad()) {
        file.errors.push_back("cannot be read");
    }
    checkOutputs(file, maxErrors);
    return file;
}

} // namespace plait::cli::batch
