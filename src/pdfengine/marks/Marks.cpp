#include "Marks.h"

#include "MarkSteps.h"
#include "pdfengine/PageList.h"
#include "pdfengine/Values.h"

#include "engine/RegularFile.h"

#include <fstream>
#include <iterator>

namespace plait::pdf {
namespace marks {

std::vector<int> pagesOf(Context& c, std::string_view list, const std::string& what) {
    std::vector<std::string> listNotes;
    const PageList pages = PageList::parse(list, listNotes);
    for (auto& n : listNotes)
        c.notes.push_back(what + ": " + n);
    return pagesOf(c, pages, what);
}

std::vector<int> pagesOf(Context& c, const PageList& pages, const std::string& what) {
    bool outOfRange = false;
    std::vector<int> result = pages.resolve(c.pageCount, &outOfRange);
    if (outOfRange) {
        c.notes.push_back(what + ": pages past the end of the output (" + std::to_string(c.pageCount) +
                          " pages) are left out");
    }
    return result;
}

double numberOr(Context& c, std::string_view text, double fallback, const std::string& what) {
    return pdf::numberOr(text, fallback, num(fallback), what, c.notes);
}

std::string roman(int n) {
    if (n < 1 || n > 3999)
        return std::to_string(n);
    static const std::pair<int, const char*> kDigits[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    std::string s;
    for (const auto& [value, digits] : kDigits) {
        while (n >= value) {
            s += digits;
            n -= value;
        }
    }
    return s;
}

} // namespace marks

namespace {

// The markup named by an option: a text stored with setFileDataS, or a file read from disk.
std::optional<std::string> markupOf(const Job& job, const std::string& name, const std::string& what,
                                    std::vector<std::string>& notes) {
    if (auto it = job.fileData.find(name); it != job.fileData.end())
        return it->second;
    // Markup is small; a device, a pipe or a huge file is refused before it is read.
    std::string reason;
    std::optional<std::string> text = engine::readRegularFile(name, 64ull * 1024 * 1024, reason);
    if (!text) {
        notes.push_back(what + ": " + name + " cannot be read (" + reason + "); left out");
    }
    return text;
}

} // namespace

bool wantsMarks(const Job& job) {
    const MarkOptions& m = job.marks;
    return m.pageNumbers || !m.textAreaFile.empty() || !m.notesFile.empty() || !m.attachFile.empty() ||
           m.print || m.mail || job.stamp.has_value();
}

void applyMarks(QPDF& pdf, const Job& job, std::vector<std::string>& notes) {
    if (!wantsMarks(job))
        return;
    marks::Fonts fonts(pdf);
    marks::Canvas canvas(pdf, fonts, job.writer.compressStreams);
    marks::Context c{pdf, canvas, fonts, notes, static_cast<int>(pdf.getAllPages().size())};
    const MarkOptions& m = job.marks;
    if (!m.textAreaFile.empty()) {
        if (auto markup = markupOf(job, m.textAreaFile, "Text area", notes))
            marks::textAreas(c, *markup);
    }
    if (job.stamp)
        marks::stamp(c, *job.stamp);
    if (m.pageNumbers)
        marks::pageNumbers(c, m);
    canvas.paint();
    fonts.finish();
    if (!m.notesFile.empty()) {
        if (auto markup = markupOf(job, m.notesFile, "Notes", notes))
            marks::notes(c, *markup);
    }
    if (!m.attachFile.empty()) {
        if (auto markup = markupOf(job, m.attachFile, "Attachments", notes))
            marks::attachments(c, *markup);
    }
    if (m.print || m.mail)
        marks::openAction(c, m.print, m.mail);
}

} // namespace plait::pdf
