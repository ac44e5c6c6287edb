// make_manual: sets the user manual, written in a small part of markdown, as a PDF.
//
//   make_manual INPUT.md -o OUTPUT.pdf [--depfile FILE]
//
// Pictures are named relative to INPUT.md. With --depfile, the files the output was made from
// are listed for the build system, so that a changed picture remakes the manual.

#include "Markdown.h"
#include "PdfWriter.h"
#include "Typesetter.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

std::string escapeForDepfile(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    std::string input, output, depfile;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "-o" || a == "--depfile") && i + 1 < argc) {
            (a == "-o" ? output : depfile) = argv[++i];
        } else if (input.empty() && !a.empty() && a[0] != '-') {
            input = a;
        } else {
            input.clear();
            break;
        }
    }
    if (input.empty() || output.empty()) {
        std::cerr << "usage: make_manual INPUT.md -o OUTPUT.pdf [--depfile FILE]\n";
        return 2;
    }

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::cerr << "make_manual: cannot read " << input << '\n';
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();

    const std::filesystem::path base = std::filesystem::absolute(input).parent_path();
    std::vector<std::string> sources{std::filesystem::absolute(input).string()};
    try {
        const auto blocks = manual::parseMarkdown(text.str());
        const manual::Document doc = manual::typeset(blocks, [&](const std::string& path) {
            const std::string full = (base / path).lexically_normal().string();
            sources.push_back(full);
            return manual::readPng(full);
        });
        manual::writePdf(doc, output);
    } catch (const std::exception& e) {
        std::cerr << "make_manual: " << input << ": " << e.what() << '\n';
        return 1;
    }

    if (!depfile.empty()) {
        std::ofstream dep(depfile, std::ios::binary);
        dep << escapeForDepfile(output) << ':';
        for (const auto& s : sources) {
            dep << " \\\n  " << escapeForDepfile(s);
        }
        dep << '\n';
        if (!dep) {
            std::cerr << "make_manual: cannot write " << depfile << '\n';
            return 1;
        }
    }
    return 0;
}
