#include "CarryReaders.h"

#include <qpdf/JSON.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>

#include <functional>
#include <regex>
#include <set>
#include <sstream>

namespace plait::pdf::testing {
namespace {

std::string join(const Strings& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : ",") + p;
    return out;
}

std::string roman(int n, bool upper) {
    static const std::vector<std::pair<int, std::string>> digits = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    std::string out;
    for (const auto& [value, text] : digits)
        for (; n >= value; n -= value)
            out += text;
    if (upper)
        for (char& c : out)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string letters(int n, bool upper) {
    // A..Z, then AA..ZZ, AAA..: the letter repeated.
    const char letter = static_cast<char>((upper ? 'A' : 'a') + (n - 1) % 26);
    return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), letter);
}

JSON item(const JSON& dict, const std::string& key) {
    JSON found = JSON::makeNull();
    dict.forEachDictItem([&](const std::string& k, const JSON& v) {
        if (k == key)
            found = v;
    });
    return found;
}

std::string text(const JSON& value) {
    std::string s;
    if (value.getString(s))
        return s.rfind("u:", 0) == 0 ? s.substr(2) : s;
    return "";
}

} // namespace

std::string optionName(Option option) {
    switch (option) {
    case Option::Plain:
        return "plain";
    case Option::Encrypted:
        return "encrypted";
    case Option::Numbered:
        return "numbered";
    case Option::Stamped:
        return "stamped";
    }
    return "?";
}

Built build(const TempDir& dir, const std::string& label, const Strings& inputs, Option option, Mode mode) {
    const std::string out = dir.path(label + ".pdf").string();
    Build b;
    // The calls of a build with every field at its default, in the program's order, with the
    // option's own calls at their place.
    b.call("setOutFile", {out}).call("setInFile", {join(inputs)});
    if (option == Option::Encrypted)
        b.call("setOwner", {"owner"}).call("setUser", {"user"}).call("setEncrypt128");
    else
        b.call("setOwner", {""}).call("setUser", {""});
    b.call("setPageNumOutside");
    if (option == Option::Numbered)
        b.call("setPageNum");
    if (mode == Mode::Overlay)
        b.call("setOverlay");
    if (mode == Mode::Repeat)
        b.call("setRepeat");
    b.call("setBookmarkKeep");
    for (const char* op :
         {"setTitle", "setSubject", "setAuthor", "setProducer", "setKeywords", "setPwdList", "setCmds"})
        b.call(op, {""});
    b.call("setPageDown", {"0"}).call("setPageRight", {"0"});
    if (option == Option::Stamped)
        b.call("setStamp", {"Approved"});
    b.call("setMediaPlay", {""}).call("setPageCenter").call("setPages", {""});

    Built built{{}, {}, out, {}};
    try {
        built.result = b.run();
    } catch (const std::exception& e) {
        built.result = std::string("an exception: ") + e.what();
    }
    built.warnings = b.engine.warnings();
    // A number is a result; -1 to -5 are the failures.
    const bool number = std::regex_match(built.result, std::regex("-?[0-9]+"));
    if (!number || (std::stoll(built.result) >= -5 && std::stoll(built.result) <= -1)) {
        built.problems = "the build failed with " + built.result;
        for (const auto& w : built.warnings)
            built.problems += "\n  " + w;
        return built;
    }
    if (option == Option::Encrypted) {
        const auto shown = run("qpdf --show-encryption --password=user " + quote(out));
        if (!has(shown.output, "R = 3"))
            built.problems = "the output is not encrypted at 128 bits:\n" + shown.output;
        built.pdf = dir.path(label + "-decrypted.pdf").string();
        run("qpdf --password=user --decrypt " + quote(out) + " " + quote(built.pdf));
    }
    const auto check = run("qpdf --check " + quote(built.pdf));
    if (check.exitCode != 0)
        built.problems += "qpdf --check:\n" + check.output;
    return built;
}

std::unique_ptr<QPDF> open(const std::string& pdf) {
    auto q = std::make_unique<QPDF>();
    q->setSuppressWarnings(true);
    q->processFile(pdf.c_str());
    return q;
}

Strings pageLabels(const std::string& pdf) {
    Strings labels;
    const JSON json = JSON::parse(run("qpdf --json --json-key=pages " + quote(pdf)).output);
    int position = 0;
    item(json, "pages").forEachArrayItem([&](const JSON& page) {
        ++position;
        const JSON label = item(page, "label");
        if (!label.isDictionary()) {
            labels.push_back(std::to_string(position));
            return;
        }
        std::string start = "1";
        item(label, "/St").getNumber(start);
        const int n = std::stoi(start);
        const std::string style = text(item(label, "/S"));
        std::string number;
        if (style == "/D")
            number = std::to_string(n);
        else if (style == "/r" || style == "/R")
            number = roman(n, style == "/R");
        else if (style == "/a" || style == "/A")
            number = letters(n, style == "/A");
        labels.push_back(text(item(label, "/P")) + number);
    });
    return labels;
}

Strings attachmentNames(const std::string& pdf) {
    Strings names;
    const std::string listed = run("qpdf --list-attachments " + quote(pdf)).output;
    static const std::regex line(R"((.*) -> \d+,\d+)");
    std::istringstream in(listed);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_match(l, m, line))
            names.push_back(m[1]);
    }
    return names;
}

std::string attachment(const std::string& pdf, const std::string& name) {
    return run("qpdf --show-attachment=" + quote(name) + " " + quote(pdf)).output;
}

std::string infoField(const std::string& pdf, const std::string& field) {
    const std::string info = run("pdfinfo " + quote(pdf)).output;
    const std::regex re("(^|\\n)" + field + ":[ ]*([^\\n]*)");
    std::smatch m;
    return std::regex_search(info, m, re) ? m[2].str() : "";
}

int destinationPage(QPDF& pdf, QPDFObjectHandle destination) {
    if (destination.isString()) {
        QPDFObjectHandle tree = pdf.getRoot().getKey("/Names").getKey("/Dests");
        if (!tree.isDictionary())
            return 0;
        QPDFNameTreeObjectHelper names(tree, pdf);
        QPDFObjectHandle found;
        if (!names.findObject(destination.getUTF8Value(), found))
            return 0;
        destination = found;
    } else if (destination.isName()) {
        destination = pdf.getRoot().getKey("/Dests").getKey(destination.getName());
    }
    if (destination.isDictionary())
        destination = destination.getKey("/D");
    if (!destination.isArray() || destination.getArrayNItems() < 1)
        return 0;
    const QPDFObjGen target = destination.getArrayItem(0).getObjGen();
    auto pages = pdf.getAllPages();
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (pages[i].getObjGen() == target)
            return static_cast<int>(i) + 1;
    return 0;
}

int targetPage(QPDF& pdf, QPDFObjectHandle itemOrLink) {
    if (itemOrLink.hasKey("/Dest"))
        return destinationPage(pdf, itemOrLink.getKey("/Dest"));
    QPDFObjectHandle action = itemOrLink.getKey("/A");
    if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo"))
        return destinationPage(pdf, action.getKey("/D"));
    return 0;
}

int pageOfAnnotation(QPDF& pdf, QPDFObjectHandle annotation) {
    auto pages = pdf.getAllPages();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        QPDFObjectHandle annots = pages[i].getKey("/Annots");
        for (int k = 0; annots.isArray() && k < annots.getArrayNItems(); ++k)
            if (annots.getArrayItem(k).getObjGen() == annotation.getObjGen())
                return static_cast<int>(i) + 1;
    }
    return 0;
}

std::vector<QPDFObjectHandle> outlineItems(QPDF& pdf) {
    std::vector<QPDFObjectHandle> items;
    std::set<QPDFObjGen> seen;
    std::function<void(QPDFObjectHandle)> walk = [&](QPDFObjectHandle item) {
        for (; item.isDictionary() && seen.insert(item.getObjGen()).second; item = item.getKey("/Next")) {
            items.push_back(item);
            walk(item.getKey("/First"));
        }
    };
    walk(pdf.getRoot().getKey("/Outlines").getKey("/First"));
    return items;
}

std::string title(QPDFObjectHandle item) {
    return item.getKey("/Title").isString() ? item.getKey("/Title").getUTF8Value() : "";
}

std::vector<std::pair<std::string, QPDFObjectHandle>> nameTree(QPDF& pdf, QPDFObjectHandle tree) {
    std::vector<std::pair<std::string, QPDFObjectHandle>> entries;
    if (!tree.isDictionary())
        return entries;
    QPDFNameTreeObjectHelper names(tree, pdf);
    for (const auto& [key, value] : names)
        entries.emplace_back(key, value);
    return entries;
}

} // namespace plait::pdf::testing
