// What a build carries of its inputs' document-level structures: each structure built alone
// (plainly and with an option that changes the file) and merged with a plain file in both
// orders, read back with independent readers.
#include "CarryReaders.h"
#include "StructuredPdfs.h"

#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFNumberTreeObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>
#include <regex>
#include <set>
#include <tuple>

namespace plait::pdf::testing {
namespace {

// One job of a structure's file: alone with an option, or merged with a plain two-page file.
// `offset` is the number of output pages before the structured file's first page.
struct Job {
    std::string label;
    Strings inputs;
    Option option;
    int offset;
};

constexpr int kPlainPages = 2;

std::vector<Job> jobsFor(const TempDir& dir, Structure s) {
    const std::string name = structureName(s);
    const auto in = makeStructuredPdf(dir.path(name + ".pdf"), s);
    const auto plain = makePdf(dir.path("plain.pdf"), "plain", kPlainPages);
    std::vector<Job> jobs;
    for (Option o : {Option::Plain, Option::Encrypted, Option::Numbered, Option::Stamped})
        jobs.push_back({name + "-alone-" + optionName(o), {in}, o, 0});
    jobs.push_back({name + "-then-plain", {in, plain}, Option::Plain, 0});
    jobs.push_back({"plain-then-" + name, {plain, in}, Option::Plain, kPlainPages});
    return jobs;
}

// Runs `check` on the output of every job of the structure, each under its own label.
template <typename Check> void forEachJob(Structure s, Check check) {
    TempDir dir;
    for (const Job& job : jobsFor(dir, s)) {
        SCOPED_TRACE(job.label);
        const Built out = build(dir, job.label, job.inputs, job.option);
        if (!out.problems.empty()) {
            ADD_FAILURE() << out.problems;
            continue;
        }
        check(out, job);
    }
}

// The catalog of an output must always be an indirect dictionary of type /Catalog.
void expectIndirectCatalog(const std::string& pdf) {
    const auto trailer = run("qpdf --show-object=trailer " + quote(pdf)).output;
    EXPECT_TRUE(std::regex_search(trailer, std::regex(R"(/Root \d+ \d+ R)"))) << trailer;
    auto q = open(pdf);
    EXPECT_TRUE(q->getRoot().getKey("/Type").isNameAndEquals("/Catalog"));
}

TEST(CarryPageLabels, EachInputKeepsItsLabelsAtItsPages) {
    forEachJob(Structure::PageLabels, [](const Built& out, const Job& job) {
        Strings expected;
        for (int k = 1; k <= job.offset; ++k)
            expected.push_back(std::to_string(k));
        for (const char* label : {"i", "ii", "1", "2", "X-1", "X-2"})
            expected.push_back(label);
        if (job.inputs.size() == 2 && job.offset == 0)
            for (int k = 1; k <= kPlainPages; ++k)
                expected.push_back(std::to_string(6 + k));
        EXPECT_EQ(pageLabels(out.pdf), expected);
        expectIndirectCatalog(out.pdf);
    });
}

TEST(CarryHiddenLayer, StaysHiddenWithItsAnnotation) {
    forEachJob(Structure::HiddenLayer, [](const Built& out, const Job& job) {
        const int page = job.offset + 1;
        const auto texts = pageTexts(out.pdf);
        ASSERT_GT(static_cast<int>(texts.size()), job.offset);
        EXPECT_TRUE(has(texts[static_cast<std::size_t>(job.offset)], "layer 1"));
        EXPECT_FALSE(has(texts[static_cast<std::size_t>(job.offset)], kHiddenText))
            << "poppler draws the hidden layer";
        const auto mu = run("mutool draw -F txt -o - " + quote(out.pdf) + " " + std::to_string(page)).output;
        EXPECT_TRUE(has(mu, "layer 1")) << mu;
        EXPECT_FALSE(has(mu, kHiddenText)) << "mupdf draws the hidden layer";

        auto q = open(out.pdf);
        QPDFObjectHandle off = q->getRoot().getKey("/OCProperties").getKey("/D").getKey("/OFF");
        std::set<QPDFObjGen> hidden;
        for (int i = 0; off.isArray() && i < off.getArrayNItems(); ++i)
            if (off.getArrayItem(i).getKey("/Name").isString() &&
                off.getArrayItem(i).getKey("/Name").getUTF8Value() == kHiddenLayerName)
                hidden.insert(off.getArrayItem(i).getObjGen());
        EXPECT_EQ(hidden.size(), 1u) << "the layer is not off by default";
        bool squareHidden = false;
        QPDFObjectHandle annots = pageOf(*q, page - 1).getKey("/Annots");
        for (int i = 0; annots.isArray() && i < annots.getArrayNItems(); ++i) {
            QPDFObjectHandle a = annots.getArrayItem(i);
            if (a.getKey("/Subtype").isNameAndEquals("/Square"))
                squareHidden = hidden.count(a.getKey("/OC").getObjGen()) == 1;
        }
        EXPECT_TRUE(squareHidden) << "the annotation no longer belongs to the hidden layer";
    });
}

TEST(CarryAttachments, BothAttachmentsWithTheirContent) {
    forEachJob(Structure::Attachments, [](const Built& out, const Job&) {
        EXPECT_EQ(attachmentNames(out.pdf), (Strings{"data.csv", "notes.txt"}));
        EXPECT_EQ(attachment(out.pdf, "notes.txt"), "notes.txt of variant 1\n");
    });
}

TEST(CarryAttachments, ANameInBothInputsIsRenamedAndBothAreKept) {
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::Attachments, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::Attachments, 2);
    const Built out = build(dir, "merged", {first, second});
    ASSERT_EQ(out.problems, "");
    const Strings names = attachmentNames(out.pdf);
    EXPECT_EQ(names.size(), 4u) << ::testing::PrintToString(names);
    std::multiset<std::string> contents;
    for (const auto& name : names)
        contents.insert(attachment(out.pdf, name));
    EXPECT_EQ(contents, (std::multiset<std::string>{"data.csv of variant 1\n", "notes.txt of variant 1\n",
                                                    "notes.txt of variant 2\n", "other.txt of variant 2\n"}));
    // The first input keeps its own names.
    EXPECT_EQ(attachment(out.pdf, "notes.txt"), "notes.txt of variant 1\n");
}

// The viewer settings of variant `variant` of the viewer file, opening at `openPage`.
void expectViewerSettings(const std::string& pdf, int variant, int openPage) {
    auto q = open(pdf);
    QPDFObjectHandle root = q->getRoot();
    const bool first = variant == 1;
    EXPECT_TRUE(root.getKey("/PageMode").isNameAndEquals(first ? "/UseOutlines" : "/UseThumbs"))
        << root.getKey("/PageMode").unparse();
    EXPECT_TRUE(root.getKey("/PageLayout").isNameAndEquals(first ? "/TwoColumnLeft" : "/SinglePage"))
        << root.getKey("/PageLayout").unparse();
    EXPECT_EQ(root.getKey("/Lang").isString() ? root.getKey("/Lang").getUTF8Value() : "",
              first ? "en-GB" : "fr-FR");
    QPDFObjectHandle prefs = root.getKey("/ViewerPreferences");
    EXPECT_TRUE(prefs.getKey(first ? "/HideToolbar" : "/FitWindow").isBool()) << prefs.unparse();
    EXPECT_EQ(destinationPage(*q, root.getKey("/OpenAction")), openPage)
        << root.getKey("/OpenAction").unparse();
}

TEST(CarryViewerSettings, AloneAndMergedWithAPlainFile) {
    forEachJob(Structure::ViewerSettings,
               [](const Built& out, const Job& job) { expectViewerSettings(out.pdf, 1, job.offset + 2); });
}

TEST(CarryViewerSettings, TheFirstInputThatHasThemWins) {
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::ViewerSettings, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::ViewerSettings, 2);
    const Built forward = build(dir, "forward", {first, second});
    ASSERT_EQ(forward.problems, "");
    expectViewerSettings(forward.pdf, 1, 2);
    const Built backward = build(dir, "backward", {second, first});
    ASSERT_EQ(backward.problems, "");
    expectViewerSettings(backward.pdf, 2, 3);
}

// The scripts of the document-level name tree, by their text.
Strings documentScripts(const std::string& pdf) {
    auto q = open(pdf);
    Strings scripts;
    for (auto& [name, action] : nameTree(*q, q->getRoot().getKey("/Names").getKey("/JavaScript"))) {
        QPDFObjectHandle js = action.getKey("/JS");
        scripts.push_back(js.isString()   ? js.getUTF8Value()
                          : js.isStream() ? js.getStreamData()->getSize() > 0 ? "stream" : ""
                                          : "");
    }
    return scripts;
}

TEST(CarryDocumentScript, ScriptsAndDocumentActionsAreKept) {
    forEachJob(Structure::DocumentScript, [](const Built& out, const Job&) {
        EXPECT_EQ(documentScripts(out.pdf), (Strings{"var plaitVariant = 1;"}));
        EXPECT_EQ(infoField(out.pdf, "JavaScript"), "yes");
        auto q = open(out.pdf);
        EXPECT_TRUE(q->getRoot().getKey("/AA").getKey("/WC").getKey("/S").isNameAndEquals("/JavaScript"))
            << q->getRoot().getKey("/AA").unparse();
    });
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::DocumentScript, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::DocumentScript, 2);
    const Built out = build(dir, "merged", {first, second});
    ASSERT_EQ(out.problems, "");
    // Both scripts run, though both files named theirs "init".
    const Strings scripts = documentScripts(out.pdf);
    EXPECT_EQ(std::multiset<std::string>(scripts.begin(), scripts.end()),
              (std::multiset<std::string>{"var plaitVariant = 1;", "var plaitVariant = 2;"}));
}

// The links of a page of the destinations file, by their use: the one to "chapter" is drawn
// higher on the page than the one to "appendix".
std::pair<int, int> linkTargets(QPDF& q, int page) {
    int chapter = -1, appendix = -1;
    QPDFObjectHandle annots = pageOf(q, page - 1).getKey("/Annots");
    for (int i = 0; annots.isArray() && i < annots.getArrayNItems(); ++i) {
        QPDFObjectHandle a = annots.getArrayItem(i);
        if (!a.getKey("/Subtype").isNameAndEquals("/Link"))
            continue;
        const double y = a.getKey("/Rect").getArrayAsRectangle().lly;
        (y > 90 ? chapter : appendix) = targetPage(q, a);
    }
    return {chapter, appendix};
}

// Where the outline items "To chapter" and "To appendix" land, in outline order.
std::vector<std::pair<std::string, int>> destinationItems(QPDF& q) {
    std::vector<std::pair<std::string, int>> found;
    for (auto& item : outlineItems(q))
        if (title(item) == "To chapter" || title(item) == "To appendix")
            found.emplace_back(title(item), targetPage(q, item));
    return found;
}

TEST(CarryNamedDestinations, LinksAndBookmarksStillLand) {
    forEachJob(Structure::NamedDestinations, [](const Built& out, const Job& job) {
        auto q = open(out.pdf);
        const int first = job.offset + 1;
        EXPECT_EQ(linkTargets(*q, first), std::make_pair(job.offset + 2, job.offset + 3));
        EXPECT_EQ(destinationItems(*q),
                  (std::vector<std::pair<std::string, int>>{{"To chapter", job.offset + 2},
                                                            {"To appendix", job.offset + 3}}));
        // The names themselves are kept for other documents' links: poppler lists them.
        const auto dests = run("pdfinfo -dests " + quote(out.pdf)).output;
        for (const char* name : {"\"chapter\"", "\"intro\"", "\"appendix\""})
            EXPECT_TRUE(has(dests, name)) << name << "\n" << dests;
    });
}

TEST(CarryNamedDestinations, ANameInBothInputsIsRenamedAndItsUsersFollow) {
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::NamedDestinations, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::NamedDestinations, 2);
    const Built out = build(dir, "merged", {first, second});
    ASSERT_EQ(out.problems, "");
    auto q = open(out.pdf);
    // "chapter" is page 2 of the first file and page 3 of the second: pages 2 and 6 here.
    EXPECT_EQ(linkTargets(*q, 1), std::make_pair(2, 3));
    EXPECT_EQ(linkTargets(*q, 4), std::make_pair(6, 6));
    EXPECT_EQ(destinationItems(*q),
              (std::vector<std::pair<std::string, int>>{
                  {"To chapter", 2}, {"To appendix", 3}, {"To chapter", 6}, {"To appendix", 6}}));
    // Both meanings of "chapter" are still named destinations.
    const auto dests = run("pdfinfo -dests " + quote(out.pdf)).output;
    const std::regex named(R"re(\n\s*(\d+) [^"\n]*"([^"\n]*)")re");
    std::set<int> chapterPages;
    for (std::sregex_iterator it(dests.begin(), dests.end(), named), end; it != end; ++it)
        if (has((*it)[2], "chapter"))
            chapterPages.insert(std::stoi((*it)[1]));
    EXPECT_EQ(chapterPages, (std::set<int>{2, 6})) << dests;
}

TEST(CarryThreads, BeadsSitOnTheCopiedPages) {
    forEachJob(Structure::Threads, [](const Built& out, const Job& job) {
        auto q = open(out.pdf);
        QPDFObjectHandle threads = q->getRoot().getKey("/Threads");
        ASSERT_TRUE(threads.isArray() && threads.getArrayNItems() == 1) << threads.unparse();
        QPDFObjectHandle first = threads.getArrayItem(0).getKey("/F");
        std::vector<int> pages;
        QPDFObjectHandle bead = first;
        for (int guard = 0; bead.isDictionary() && guard < 10; ++guard) {
            const int page = destinationPage(*q, QPDFObjectHandle::newArray({bead.getKey("/P")}));
            pages.push_back(page);
            // The page lists its bead.
            bool listed = false;
            QPDFObjectHandle b = page > 0 ? pageOf(*q, page - 1).getKey("/B") : QPDFObjectHandle::newNull();
            for (int i = 0; b.isArray() && i < b.getArrayNItems(); ++i)
                listed = listed || b.getArrayItem(i).getObjGen() == bead.getObjGen();
            EXPECT_TRUE(listed) << "page " << page;
            bead = bead.getKey("/N");
            if (bead.getObjGen() == first.getObjGen())
                break;
        }
        EXPECT_EQ(pages, (std::vector<int>{job.offset + 1, job.offset + 2}));
        EXPECT_EQ(bead.getObjGen(), first.getObjGen()) << "the beads do not form a ring";
    });
}

// The words pdfinfo reads from the structure tree, in order, with the tool's complaints.
std::string structureText(const std::string& pdf) {
    return run("pdfinfo -struct-text " + quote(pdf)).output;
}
void expectInOrder(const std::string& text, const Strings& words) {
    std::size_t at = 0;
    for (const auto& w : words) {
        const std::size_t found = text.find("\"" + w + "\"", at);
        EXPECT_NE(found, std::string::npos) << w << " is missing or out of order in\n" << text;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_FALSE(has(text, "Error")) << text;
    EXPECT_FALSE(has(text, "Warning")) << text;
}

// Every page that says it has marked content finds its entry in the parent tree.
void expectParentTreeCoversPages(const std::string& pdf) {
    auto q = open(pdf);
    QPDFObjectHandle tree = q->getRoot().getKey("/StructTreeRoot").getKey("/ParentTree");
    ASSERT_TRUE(tree.isDictionary());
    QPDFNumberTreeObjectHelper parents(tree, *q);
    for (auto page : std::vector<QPDFObjectHandle>(q->getAllPages())) {
        if (!page.hasKey("/StructParents"))
            continue;
        QPDFObjectHandle found;
        EXPECT_TRUE(parents.findObject(page.getKey("/StructParents").getIntValue(), found) && found.isArray())
            << page.getKey("/StructParents").unparse();
    }
}

TEST(CarryTags, ATaggedFileStaysTagged) {
    forEachJob(Structure::Tagged, [](const Built& out, const Job&) {
        expectInOrder(structureText(out.pdf), {"tagged 1", "tagged 2"});
        EXPECT_EQ(infoField(out.pdf, "Tagged"), "yes");
        expectParentTreeCoversPages(out.pdf);
        auto q = open(out.pdf);
        EXPECT_TRUE(
            q->getRoot().getKey("/StructTreeRoot").getKey("/RoleMap").getKey("/Para").isNameAndEquals("/P"));
        EXPECT_TRUE(q->getRoot().getKey("/StructTreeRoot").getKey("/ClassMap").hasKey("/Stressed"));
    });
}

TEST(CarryTags, ATaggedMergeReadsEveryInputInOrder) {
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::Tagged, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::Tagged, 2);
    for (const auto& [label, inputs, words] : std::vector<std::tuple<std::string, Strings, Strings>>{
             {"forward", {first, second}, {"tagged 1", "tagged 2", "taggedTwo 1", "taggedTwo 2"}},
             {"backward", {second, first}, {"taggedTwo 1", "taggedTwo 2", "tagged 1", "tagged 2"}}}) {
        SCOPED_TRACE(label);
        const Built out = build(dir, label, inputs);
        ASSERT_EQ(out.problems, "");
        expectInOrder(structureText(out.pdf), words);
        expectParentTreeCoversPages(out.pdf);
        EXPECT_EQ(infoField(out.pdf, "Tagged"), "yes");
    }
}

// The fields named "spread" (or renamed from it) of an output, with the pages of their widgets.
std::map<std::string, std::vector<int>> spreadFields(QPDF& q) {
    std::map<std::string, std::vector<int>> fields;
    QPDFAcroFormDocumentHelper form(q);
    for (auto& field : form.getFormFields()) {
        const std::string name = field.getFullyQualifiedName();
        if (name.rfind(kSpreadField, 0) != 0)
            continue;
        for (auto& widget : form.getAnnotationsForField(field))
            fields[name].push_back(pageOfAnnotation(q, widget.getObjectHandle()));
    }
    return fields;
}

// Fills the field `name` and reads the value back from every widget with qpdf's JSON: a field
// split in two would leave one widget with the old value.
void expectOneFieldFilledEverywhere(const TempDir& dir, const std::string& pdf, const std::string& name) {
    const std::string filled = dir.path("filled.pdf").string();
    {
        auto q = open(pdf);
        QPDFAcroFormDocumentHelper form(*q);
        bool set = false;
        for (auto& field : form.getFormFields())
            if (field.getFullyQualifiedName() == name) {
                field.setV("changed", false);
                set = true;
            }
        ASSERT_TRUE(set) << name;
        QPDFWriter w(*q, filled.c_str());
        w.write();
    }
    const auto json = run("qpdf --json --json-key=acroform " + quote(filled)).output;
    const std::regex widget("\"fullname\": \"(u:)?" + name +
                            "\"[^}]*\"parent\": \"([^\"]*)\"[^}]*\"value\": \"(u:)?([^\"]*)\"");
    std::set<std::string> parents;
    int widgets = 0;
    for (std::sregex_iterator it(json.begin(), json.end(), widget), end; it != end; ++it) {
        ++widgets;
        parents.insert((*it)[2]);
        EXPECT_EQ((*it)[4], "changed");
    }
    EXPECT_EQ(widgets, 2) << json;
    EXPECT_EQ(parents.size(), 1u) << json;
}

TEST(CarryForms, AFieldOnTwoPagesStaysOneField) {
    forEachJob(Structure::Form, [](const Built& out, const Job& job) {
        auto q = open(out.pdf);
        const auto fields = spreadFields(*q);
        ASSERT_EQ(fields.size(), 1u) << ::testing::PrintToString(fields);
        EXPECT_EQ(fields.begin()->second, (std::vector<int>{job.offset + 1, job.offset + 2}));
        TempDir fill;
        expectOneFieldFilledEverywhere(fill, out.pdf, fields.begin()->first);
    });
}

TEST(CarryForms, FieldsOfTwoInputsStayApartAndEachStaysWhole) {
    TempDir dir;
    const auto first = makeStructuredPdf(dir.path("first.pdf"), Structure::Form, 1);
    const auto second = makeStructuredPdf(dir.path("second.pdf"), Structure::Form, 2);
    const auto plain = makePdf(dir.path("plain.pdf"), "plain", 3);
    const Built merged = build(dir, "merged", {first, second});
    ASSERT_EQ(merged.problems, "");
    auto q = open(merged.pdf);
    const auto fields = spreadFields(*q);
    ASSERT_EQ(fields.size(), 2u) << ::testing::PrintToString(fields);
    std::set<std::vector<int>> pages;
    for (const auto& [name, on] : fields)
        pages.insert(on);
    EXPECT_EQ(pages, (std::set<std::vector<int>>{{1, 2}, {4, 5}}));
    EXPECT_EQ(fields.count(kSpreadField), 1u);
    expectOneFieldFilledEverywhere(dir, merged.pdf, kSpreadField);

    // The base of an overlay keeps its fields whole.
    const Built overlay = build(dir, "overlay", {first, plain}, Option::Plain, Mode::Overlay);
    ASSERT_EQ(overlay.problems, "");
    auto o = open(overlay.pdf);
    EXPECT_EQ(spreadFields(*o), (std::map<std::string, std::vector<int>>{{kSpreadField, {1, 2}}}));
}

// The outline file's items, each with the action it must still carry.
void expectOutlineActions(const std::string& pdf, int offset) {
    auto q = open(pdf);
    std::map<std::string, QPDFObjectHandle> items;
    Strings titles;
    for (auto& item : outlineItems(*q)) {
        titles.push_back(title(item));
        items[title(item)] = item;
    }
    EXPECT_EQ(titles,
              (Strings{"Web", "Script", "Next page", "Other file", "Inline page 2", "Indirect page 3"}));
    const auto action = [&](const std::string& t) { return items[t].getKey("/A"); };
    EXPECT_EQ(action("Web").getKey("/URI").isString() ? action("Web").getKey("/URI").getUTF8Value() : "",
              "https://example.org/");
    EXPECT_TRUE(action("Script").getKey("/S").isNameAndEquals("/JavaScript"));
    EXPECT_TRUE(action("Next page").getKey("/N").isNameAndEquals("/NextPage"));
    EXPECT_TRUE(action("Other file").getKey("/S").isNameAndEquals("/GoToR"));
    EXPECT_EQ(action("Other file").getKey("/F").isString() ? action("Other file").getKey("/F").getUTF8Value()
                                                           : "",
              "other.pdf");
    EXPECT_EQ(targetPage(*q, items["Inline page 2"]), offset + 2);
    EXPECT_EQ(targetPage(*q, items["Indirect page 3"]), offset + 3);
}

TEST(CarryOutlines, InlineActionsOfEveryTypeCopy) {
    forEachJob(Structure::Outline,
               [](const Built& out, const Job& job) { expectOutlineActions(out.pdf, job.offset); });
}

TEST(CarryOutlines, InlineActionsCopyInOverlayAndRepeat) {
    TempDir dir;
    const auto outline = makeStructuredPdf(dir.path("outline.pdf"), Structure::Outline);
    const auto plain = makePdf(dir.path("plain.pdf"), "plain", 3);
    for (Mode mode : {Mode::Overlay, Mode::Repeat}) {
        const std::string name = mode == Mode::Overlay ? "overlay" : "repeat";
        SCOPED_TRACE(name);
        // As the base, its outline is the output's.
        const Built base = build(dir, name + "-base", {outline, plain}, Option::Plain, mode);
        ASSERT_EQ(base.problems, "");
        expectOutlineActions(base.pdf, 0);
        // Laid over a base, its pages land on the base's pages of the same number.
        const Built over = build(dir, name + "-over", {plain, outline}, Option::Plain, mode);
        ASSERT_EQ(over.problems, "");
        expectOutlineActions(over.pdf, 0);
    }
}

// Plain words a warning may use for a catalog entry instead of its key.
const std::map<std::string, Strings> kEntryWords = {
    {"StructTreeRoot", {"tag"}},
    {"MarkInfo", {"tag"}},
    {"OCProperties", {"optional content", "layer"}},
    {"AA", {"action"}},
    {"OpenAction", {"open action"}},
    {"EmbeddedFiles", {"attachment", "embedded file"}},
    {"JavaScript", {"javascript", "script"}},
    {"Dests", {"destination"}},
    {"Threads", {"thread"}},
    {"PageLabels", {"label"}},
    {"ViewerPreferences", {"viewer"}},
    {"Outlines", {"outline", "bookmark"}},
    {"AcroForm", {"form"}},
};

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether a warning names the input and the entry (by its key or by a plain word for it).
bool warnedAbout(const Strings& warnings, const std::string& input, const std::string& key) {
    Strings words = {lower(key)};
    if (auto it = kEntryWords.find(key); it != kEntryWords.end())
        words.insert(words.end(), it->second.begin(), it->second.end());
    for (const auto& w : warnings) {
        if (!has(w, input))
            continue;
        for (const auto& word : words)
            if (has(lower(w), word))
                return true;
    }
    return false;
}

// Every entry of an input's catalog (and of its /Names) either reaches the output's catalog or
// is named in a warning that names the input: nothing is dropped silently.
TEST(CarryCatalog, NoEntryIsDroppedSilently) {
    TempDir dir;
    const auto plain = makePdf(dir.path("plain.pdf"), "plain", kPlainPages);
    for (Structure s : allStructures()) {
        const std::string file = structureName(s) + ".pdf";
        const auto in = makeStructuredPdf(dir.path(file), s);
        Strings keys;
        {
            auto q = open(in);
            for (const auto& key : q->getRoot().getKeys())
                if (key != "/Type" && key != "/Pages" && key != "/Names")
                    keys.push_back(key.substr(1));
            for (const auto& key : q->getRoot().getKey("/Names").getKeys())
                keys.push_back("Names/" + key.substr(1));
        }
        for (const auto& [label, inputs] : std::vector<std::pair<std::string, Strings>>{
                 {"alone", {in}}, {"then-plain", {in, plain}}, {"after-plain", {plain, in}}}) {
            for (Option option : {Option::Plain, Option::Encrypted}) {
                if (option == Option::Encrypted && label != "alone")
                    continue;
                const std::string job = structureName(s) + "-" + label + "-" + optionName(option);
                SCOPED_TRACE(job);
                const Built out = build(dir, job, inputs, option);
                if (!out.problems.empty()) {
                    ADD_FAILURE() << out.problems;
                    continue;
                }
                auto q = open(out.pdf);
                QPDFObjectHandle root = q->getRoot();
                for (const auto& key : keys) {
                    const bool inNames = key.rfind("Names/", 0) == 0;
                    const std::string name = inNames ? key.substr(6) : key;
                    // A merge carries the catalog's old /Dests in the /Names /Dests tree.
                    const bool reached = inNames
                                             ? root.getKey("/Names").hasKey("/" + name)
                                             : root.hasKey("/" + key) ||
                                                   (key == "Dests" && root.getKey("/Names").hasKey("/Dests"));
                    EXPECT_TRUE(reached || warnedAbout(out.warnings, file, name))
                        << "/" << key << " of " << file << " neither reaches the output nor is warned about";
                }
                expectIndirectCatalog(out.pdf);
            }
        }
    }
}

} // namespace
} // namespace plait::pdf::testing
