#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace plait::test {

// Writes a small, well-formed PDF of `pages` empty A4 pages, cross-reference table included.
inline std::string writePdf(const std::filesystem::path& path, int pages) {
    std::vector<std::string> objects;
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(3 + i) + " 0 R ";
    }
    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    objects.push_back("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    for (int i = 0; i < pages; ++i) {
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>");
    }
    std::ostringstream out;
    out << "%PDF-1.4\n";
    std::vector<std::streamoff> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.tellp());
        out << (i + 1) << " 0 obj\n" << objects[i] << "\nendobj\n";
    }
    const std::streamoff xref = out.tellp();
    out << "xref\n0 " << objects.size() + 1 << "\n0000000000 65535 f \n";
    for (std::streamoff o : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(o));
        out << line;
    }
    out << "trailer\n<< /Size " << objects.size() + 1 << " /Root 1 0 R >>\nstartxref\n"
        << xref << "\n%%EOF\n";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << out.str();
    return path.string();
}

// Encrypts a PDF with qpdf (the command) under an open password; returns the new file's path.
inline std::string encryptPdf(const std::string& in, const std::filesystem::path& out,
                              const std::string& password) {
    const std::string command = "qpdf --encrypt '" + password + "' owner-secret 256 -- '" + in + "' '" +
                                out.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? out.string() : std::string();
}

} // namespace plait::test
