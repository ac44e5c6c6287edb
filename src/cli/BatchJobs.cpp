#include "BatchJobs.h"

#include "core/build/OutputName.h"
#include "core/settings/SettingsFile.h"
#include "core/ui/Text.h"
#include "engine/FileName.h"

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

// Reads one line into `text`, without its line feed. A line longer than kMaxLineBytes is not
// kept: reading stops at the bound and `tooLong` is set, so that a line without end costs no
// more memory than that. False at the end of the input.
bool readLine(std::istream& in, std::string& text, bool& tooLong) {
    text.clear();
    tooLong = false;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        return false;
    }
    for (bool any = false;; any = true) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return any;
        }
        if (c == '\n') {
            return true;
        }
        if (text.size() >= kMaxLineBytes) {
            tooLong = true;
            return true;
        }
        text.push_back(static_cast<char>(c));
    }
}

// A name as the build reads it, for the up-to-date check.
fs::path resolved(const std::string& name) {
    return engine::resolveFileName(name);
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
        } else if (key == "image-dpi" || key == "image-quality") {
            const bool dpi = key == "image-dpi";
            const int low = dpi ? 10 : 1, high = dpi ? 10000 : 100;
            const long long v = value.is_number_integer() ? value.get<long long>() : -1;
            if (!((dpi && v == 0) || (v >= low && v <= high))) {
                error = dpi ? "\"image-dpi\" must be a whole number of 10 to 10000 (0: no reduction)"
                            : "\"image-quality\" must be a whole number of 1 to 100";
            } else {
                (dpi ? job.imageDpi : job.imageQuality) = static_cast<int>(v);
            }
        } else if (key == "smallest") {
            if (!value.is_boolean()) {
                error = "\"smallest\" must be true or false";
            } else {
                job.smallest = value.get<bool>();
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
    if (ui::trimBlanks(job.output).empty()) {
        return "\"output\" is blank";
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
                it->second.push_back(resolved(in));
            }
        }
        job.sources = it->second;
        job.sources.push_back(resolved(job.settings));
    }
    for (const auto& in : job.inputs) {
        job.sources.push_back(resolved(in));
    }
    if (!job.bookmarks.empty()) {
        job.sources.push_back(resolved(job.bookmarks));
    }
}

// Outputs written twice, and outputs some job reads.
void checkOutputs(JobsFile& file, std::size_t maxErrors) {
    // Compared as files, not as names: two names of one file are one output.
    std::map<engine::FileIdentity, const Job*> writers;
    for (const Job& job : file.jobs) {
        auto [it, fresh] = writers.emplace(engine::fileIdentity(job.target.string()), &job);
        if (!fresh && file.errors.size() < maxErrors) {
            file.errors.push_back("line " + std::to_string(job.line) + ": output " + job.target.string() +
                                  " is also the output of line " + std::to_string(it->second->line));
        }
    }
    for (const Job& reader : file.jobs) {
        for (const auto& source : reader.sources) {
            const auto it = writers.find(engine::fileIdentity(source.string()));
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
    return core::build::outputFileName(ui::Platform(), name, "pdf");
}

std::string reportClash(const std::string& report, const std::string& jobsFile, const JobsFile& file) {
    const engine::FileIdentity target = engine::fileIdentity(report);
    if (!jobsFile.empty() && engine::fileIdentity(jobsFile) == target) {
        return "it is the jobs file";
    }
    for (const Job& job : file.jobs) {
        if (engine::fileIdentity(job.target.string()) == target) {
            return "it is the output of line " + std::to_string(job.line);
        }
        for (const auto& source : job.sources) {
            if (engine::fileIdentity(source.string()) == target) {
                return "line " + std::to_string(job.line) + " reads it";
            }
        }
    }
    return {};
}

JobsFile readJobs(std::istream& in, std::size_t maxErrors) {
    JobsFile file;
    SettingsInputs settingsCache;
    std::string text;
    bool tooLong = false;
    for (int line = 1; readLine(in, text, tooLong); ++line) {
        auto fail = [&](const std::string& what) {
            if (file.errors.size() < maxErrors) {
                file.errors.push_back("line " + std::to_string(line) + ": " + what);
            }
        };
        if (tooLong) {
            // Whatever follows is no jobs file either (a device that never ends a line, say).
            fail("longer than " + std::to_string(kMaxLineBytes >> 20) + " MB; the rest was not read");
            break;
        }
        if (text.find_first_not_of(" \t\r") == std::string::npos) {
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
        job.target = job.split.empty() ? completeOutputName(job.output)
                                       : fs::path(engine::resolveFileName(job.output));
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
