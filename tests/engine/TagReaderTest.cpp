#include "engine/TagReader.h"
#include "engine/RecordingEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

using plait::engine::TagReader;

namespace {

// Every tag of a text as "NAME k=v k=v", for compact expectations.
std::vector<std::string> render(std::string_view text) {
    std::vector<std::string> out;
    for (const auto& tag : TagReader::parseAll(text)) {
        std::string line = tag.name;
        for (const auto& [k, v] : tag.attributes) {
            line += " " + k + "=" + v;
        }
        out.push_back(line);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(TagReader, ReadsBookmarkLinesAsTheWriterWritesThem) {
    TagReader reader;
    reader.setText("<BOOKMARK LEVEL=1 DESCR=\"Intro\" PAGE=3 CLOSED>\r\n"
                   "<BOOKMARK LEVEL=2 DESCR=\"\" PAGE=>\r\n");
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.param("LEVEL"), "1");
    EXPECT_EQ(reader.param("DESCR"), "Intro");
    EXPECT_EQ(reader.param("PAGE"), "3");
    EXPECT_EQ(reader.param("closed"), "1"); // names without regard to case
    EXPECT_EQ(reader.param("MISSING"), "");
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.param("LEVEL"), "2");
    EXPECT_EQ(reader.param("DESCR"), "");
    EXPECT_EQ(reader.param("PAGE"), "");
    EXPECT_EQ(reader.param("CLOSED"), "");
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.param("LEVEL"), ""); // no current tag after the end
    EXPECT_FALSE(reader.next());
}

TEST(TagReader, QuotedAndBareValuesOfOtherMarkup) {
    EXPECT_EQ(render("<UNITS VALUE='mm'><TEXT PAGES=\"1-3\" SIZE=\"12\" X=10 Y=20 ANGLE=0  COLOR=\"FF0000\" "
                     " FROMTOP >hello</TEXT>"),
              (Lines{"UNITS VALUE=mm", "TEXT PAGES=1-3 SIZE=12 X=10 Y=20 ANGLE=0 COLOR=FF0000 FROMTOP=1"}));
    EXPECT_EQ(render("<A X1=72 Y1=288 X2=288 Y2=72 TITLE=\"t\" NOTE=\"a\r\nb\" PAGES=\"1\">"),
              (Lines{"A X1=72 Y1=288 X2=288 Y2=72 TITLE=t NOTE=a\r\nb PAGES=1"}));
    EXPECT_EQ(render("<EMBED SRC=\"/tmp/a b.pdf\" DESCR=\"\"><EMBED SRC=\"c\" DESCR=\"d\"/>"),
              (Lines{"EMBED SRC=/tmp/a b.pdf DESCR=", "EMBED SRC=c DESCR=d"}));
}

TEST(TagReader, TitlesContainingQuotesAndAngleBrackets) {
    const auto title = [](std::string_view line) {
        TagReader reader;
        reader.setText(std::string(line));
        EXPECT_TRUE(reader.next());
        std::string t = reader.param("DESCR") + "|" + reader.param("PAGE") + "|" + reader.param("CLOSED");
        EXPECT_FALSE(reader.next()) << line;
        return t;
    };
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"Say \"hi\" now\" PAGE=2>\r\n"), "Say \"hi\" now|2|");
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"A \"B\" C D\" PAGE=2 CLOSED>\r\n"), "A \"B\" C D|2|1");
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"He said \"x\"\" PAGE=1>"), "He said \"x\"|1|");
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"\"\" PAGE=1>"), "\"|1|");
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"a > b < c\" PAGE=4>"), "a > b < c|4|");
    // A title that itself reads like a PAGE attribute: a name never comes twice in a tag.
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"x\" PAGE=5\" PAGE=3>"), "x\" PAGE=5|3|");
    EXPECT_EQ(title("<BOOKMARK LEVEL=1 DESCR=\"x\" CLOSED y\" PAGE=3 CLOSED>"), "x\" CLOSED y|3|1");
}

TEST(TagReader, MalformedTextNeverFailsAndSkipsWhatItCannotRead) {
    EXPECT_EQ(render(""), Lines{});
    EXPECT_EQ(render("no tags at all > here"), Lines{});
    EXPECT_EQ(render("< <> <=x> </END> <1 A=1>"), (Lines{"1 A=1"}));
    // Unterminated quote: the value runs to the next '>'.
    EXPECT_EQ(render("<B D=\"abc> <C E=1>"), (Lines{"B D=abc", "C E=1"}));
    // Text ending inside a tag keeps what was read.
    EXPECT_EQ(render("<B LEVEL=3 DESCR=\"t\" PA"), (Lines{"B LEVEL=3 DESCR=t PA=1"}));
    EXPECT_EQ(render("<B X=\"a\"b\""), (Lines{"B X=a\"b"}));
    // A broken line never swallows the good line after it.
    EXPECT_EQ(render("<BOOKMARK LEVEL=1 DESCR=\"Trunc\r\n<BOOKMARK LEVEL=2 DESCR=\"Good\" PAGE=1>\r\n"),
              (Lines{"BOOKMARK LEVEL=1 DESCR=Trunc\r", "BOOKMARK LEVEL=2 DESCR=Good PAGE=1"}));
    EXPECT_EQ(render("<BOOKMARK LEVEL=1 DESCR=\"a \" b\r\n<BOOKMARK LEVEL=2 DESCR=\"c\" PAGE=1>"),
              (Lines{"BOOKMARK LEVEL=1 DESCR=a  b=1", "BOOKMARK LEVEL=2 DESCR=c PAGE=1"}));
    // Stray characters inside a tag are passed over.
    EXPECT_EQ(render("<B ? ! LEVEL=2 = >"), (Lines{"B LEVEL=2"}));
}

TEST(TagReader, EngineServesTheReaderAfterSetTags) {
    plait::engine::RecordingEngine engine;
    EXPECT_EQ(engine.getNextTag(), 0); // nothing set yet
    engine.call("setTags", {"<BOOKMARK LEVEL=1 DESCR=\"a\" PAGE=1>\r\n<BOOKMARK LEVEL=2 DESCR=\"b\" PAGE=>"});
    EXPECT_EQ(engine.getNextTag(), 1);
    EXPECT_EQ(engine.getTagParams("DESCR"), "a");
    EXPECT_EQ(engine.getNextTag(), 1);
    EXPECT_EQ(engine.getTagParams("LEVEL"), "2");
    EXPECT_EQ(engine.getNextTag(), 0);
    // A new text starts over.
    engine.call("setTags", {"<X A=1>"});
    EXPECT_EQ(engine.getNextTag(), 1);
    EXPECT_EQ(engine.getTagParams("A"), "1");
}

// Random markup-like text: the reader always ends, always moves forward, and never reads
// out of bounds (run under the sanitizers to see the last).
TEST(TagReader, FuzzedTextNeverCrashesOrHangs) {
    std::mt19937 rng(20240611);
    const std::string alphabet = "<>\"'= /\r\nABCDELPGVU01234|";
    const std::vector<std::string> pieces = {
        "<BOOKMARK ", "LEVEL=", "DESCR=\"", "PAGE=", " CLOSED", ">\r\n", "\"", "'", "<", ">", " ", "=", "x"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 200);
        for (int i = 0; i < length; ++i) {
            if (rng() % 2 == 0) {
                text += alphabet[rng() % alphabet.size()];
            } else {
                text += pieces[rng() % pieces.size()];
            }
        }
        TagReader reader;
        reader.setText(text);
        std::size_t tags = 0;
        while (reader.next()) {
            ASSERT_LE(++tags, text.size()) << "no progress on: " << text;
            (void)reader.param("LEVEL");
            (void)reader.param("DESCR");
        }
    }
}

// Text full of broken tags must still be read in about linear time, and a long list of
// good lines after it still reads right.
TEST(TagReader, HostileTextIsReadQuicklyAndGoodLinesStillReadRight) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "<a b=\"x\" \" y=\"z> ";
    }
    text += ">\r\n";
    for (int i = 0; i < 5000; ++i) {
        text += "<BOOKMARK LEVEL=1 DESCR=\"A \"B\" C D\" PAGE=2>\r\n";
    }
    const auto start = std::chrono::steady_clock::now();
    const auto tags = TagReader::parseAll(text);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    ASSERT_GE(tags.size(), 5000u);
    for (std::size_t i = tags.size() - 5000; i < tags.size(); ++i) {
        ASSERT_EQ(tags[i].attributes.at(1).second, "A \"B\" C D");
    }
}

} // namespace
