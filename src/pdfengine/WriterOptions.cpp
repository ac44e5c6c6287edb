#include "WriterOptions.h"

#include "Text.h"
#include "Values.h"

namespace plait::pdf {
namespace {

bool yes(const std::string& v) {
    return parseSwitch(v) == true;
}
bool no(const std::string& v) {
    return parseSwitch(v) == false;
}

} // namespace

std::vector<std::string> parseWriterOptions(std::string_view textIn, WriterOptions& options) {
    std::vector<std::string> notes;
    std::string token;
    std::vector<std::string> tokens;
    for (char c : textIn) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';') {
            if (!token.empty()) {
                tokens.push_back(std::move(token));
                token.clear();
            }
        } else {
            token += c;
        }
    }
    if (!token.empty()) {
        tokens.push_back(std::move(token));
    }

    for (const std::string& raw : tokens) {
        std::string_view t = raw;
        while (!t.empty() && t.front() == '-') {
            t.remove_prefix(1);
        }
        const auto eq = t.find('=');
        const std::string name = text::lower(t.substr(0, eq));
        const std::string value =
            eq == std::string_view::npos ? std::string() : text::lower(t.substr(eq + 1));
        bool ok = true;
        if (name == "linearize" || name == "linearise" || name == "fastweb") {
            ok = yes(value) || no(value);
            options.linearize = !no(value);
        } else if (name == "objstreams" || name == "object-streams") {
            if (value == "generate") {
                options.objectStreams = WriterOptions::ObjectStreams::Generate;
            } else if (value == "preserve") {
                options.objectStreams = WriterOptions::ObjectStreams::Preserve;
            } else if (value == "disable") {
                options.objectStreams = WriterOptions::ObjectStreams::Disable;
            } else {
                ok = false;
            }
        } else if (name == "aes256" || name == "aes-256") {
            ok = value.empty();
            if (ok) {
                options.cipher = WriterOptions::Cipher::Aes256;
            }
        } else if (name == "aes128" || name == "aes-128") {
            ok = value.empty();
            if (ok) {
                options.cipher = WriterOptions::Cipher::Aes128;
            }
        } else if (name == "rc4") {
            ok = value.empty();
            if (ok) {
                options.cipher = WriterOptions::Cipher::Standard;
            }
        } else if (name == "deterministic") {
            ok = yes(value) || no(value);
            options.deterministic = !no(value);
        } else if (name == "compress" || name == "compress-streams") {
            ok = yes(value) || no(value);
            options.compressStreams = !no(value);
        } else if (name == "min-version" || name == "pdfversion") {
            const auto v = parseNumber(value, DecimalMark::Point);
            ok = v && *v >= 1.0 && *v <= 2.0 && value.size() == 3 && value[1] == '.';
            if (ok) {
                options.minVersion = value;
            }
        } else {
            notes.push_back("Unknown parameter \"" + raw + "\" ignored");
            continue;
        }
        if (!ok) {
            notes.push_back("Parameter \"" + raw + "\" has a value that cannot be used; ignored");
        }
    }
    return notes;
}

} // namespace plait::pdf
