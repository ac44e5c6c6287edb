// Audio and video inputs: recognised by their bytes (or, failing that, their name), turned into
// a page that plays the embedded file.
#include "pdfengine/Fixtures.h"
#include "pdfengine/media/MediaPages.h"

#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>

namespace plait::pdf::testing {
namespace {

std::string le32(unsigned v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// A 44-byte PCM header and eight silent 16-bit mono samples.
std::string tinyWav() {
    const std::string samples(16, '\0');
    return "RIFF" + le32(36 + 16) + "WAVEfmt " + le32(16) + std::string("\x01\x00\x01\x00", 4) + le32(8000) +
           le32(16000) + std::string("\x02\x00\x10\x00", 4) + "data" + le32(16) + samples;
}

// An ID3v2 tag header with no frames, then one MPEG-1 layer III frame header.
std::string fakeMp3() {
    return std::string("ID3\x03\x00\x00\x00\x00\x00\x00", 10) + std::string("\xFF\xFB\x90\x64", 4) +
           std::string(100, '\0');
}

std::optional<MediaType> sniff(const std::string& bytes, const std::string& name = "file.bin") {
    return sniffMediaType(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), name);
}

std::string mime(const std::string& bytes, const std::string& name = "file.bin") {
    auto t = sniff(bytes, name);
    return t ? t->mime : "";
}

TEST(MediaSniff, BytesDecideBeforeTheName) {
    EXPECT_EQ(mime(tinyWav(), "song.mp3"), "audio/wav");
    EXPECT_EQ(mime(fakeMp3()), "audio/mpeg");
    // Bare frames, no tag: MPEG-1 layer III at 128 kbit/s and 44.1 kHz makes 417-byte frames.
    const std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x55');
    EXPECT_EQ(mime(frame + frame), "audio/mpeg");
    EXPECT_EQ(mime("RIFF" + le32(4) + "AVI LIST"), "video/x-msvideo");
    EXPECT_EQ(mime(std::string("\0\0\0\x18", 4) + "ftypisom"), "video/mp4");
    EXPECT_EQ(mime(std::string("\0\0\0\x14", 4) + "ftypqt  "), "video/quicktime");
    EXPECT_EQ(mime(std::string("\0\0\x01\xBA", 4) + "pack"), "video/mpeg");
    EXPECT_EQ(mime(std::string("\0\0\x01\xB3", 4) + "seq"), "video/mpeg");
    EXPECT_EQ(mime("CWS\x0A"), "application/x-shockwave-flash");
    const std::string asf("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9", 10);
    EXPECT_EQ(mime(asf, "clip.wmv"), "video/x-ms-wmv");
    EXPECT_EQ(mime(asf, "tune.WMA"), "audio/x-ms-wma");
}

TEST(MediaSniff, NameDecidesOnlyWhenBytesSayNothing) {
    EXPECT_EQ(mime("random bytes", "song.MP3"), "audio/mpeg");
    EXPECT_EQ(mime("random bytes", "clip.mov"), "video/quicktime");
    EXPECT_FALSE(sniff("random bytes", "notes.txt"));
    EXPECT_FALSE(sniff("", "noext"));
    // 0xFF followed by an impossible frame header (reserved version) is not audio.
    EXPECT_FALSE(sniff(std::string("\xFF\xE8\x00\x00", 4)));
    EXPECT_FALSE(sniff("RIFF" + le32(4) + "WEBPVP8 ")); // RIFF, but not a media form we play
}

TEST(MediaSniff, OnlyASignatureThatIdentifiesTheFormatCounts) {
    // UTF-16 text starts with FF FE or FE FF: the former with any letter after it reads as an
    // MPEG frame header, but no second frame follows where the first would end.
    std::string le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    const std::string text = "Plain text, not audio. " + std::string(400, 'x');
    for (char c : text) {
        le += std::string{c, '\0'};
        be += std::string{'\0', c};
    }
    EXPECT_FALSE(sniff(le, "notes.txt"));
    EXPECT_FALSE(sniff(be, "notes.txt"));
    // One frame header and then something else is no MPEG stream either, however long.
    const std::string frame = std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x55');
    EXPECT_FALSE(sniff(frame + "not a frame"));
    EXPECT_FALSE(sniff(frame.substr(0, 100)));
    EXPECT_EQ(mime(frame + frame + frame), "audio/mpeg");
    // Layer II at 32 kHz, MPEG-2 (half the rate): 144 * 64000 / 16000 = 576-byte frames.
    const std::string mpeg2 = std::string("\xFF\xF4\x88\x00", 4) + std::string(572, '\0');
    EXPECT_EQ(mime(mpeg2 + mpeg2), "audio/mpeg");
    // Text that starts like a signature.
    EXPECT_FALSE(sniff("FWS is a text, not an animation"));
    EXPECT_FALSE(sniff("ID3\xFF\xFF tag with impossible version"));
    EXPECT_FALSE(sniff(std::string("\0\0\0\x04", 4) + "ftypisom")); // a box smaller than its header
    EXPECT_FALSE(sniff(std::string("\0\0\0\x18", 4) + "ftyp\x01\x02\x03\x04"));
}

struct MediaBuild : ::testing::Test {
    TempDir dir;
    std::string a = makePdf(dir.path("a.pdf"), "alpha", 1);
    std::string b = makePdf(dir.path("b.pdf"), "beta", 1);
    std::string wav = dir.path("tone.wav").string();
    std::string mp3 = dir.path("song.mp3").string();
    std::string out = dir.path("out.pdf").string();

    void SetUp() override {
        writeFile(wav, tinyWav());
        writeFile(mp3, fakeMp3());
    }
};

QPDFObjectHandle screenOf(QPDF& pdf, int page) {
    QPDFObjectHandle annots = pageOf(pdf, page).getKey("/Annots");
    EXPECT_TRUE(annots.isArray());
    if (!annots.isArray() || annots.getArrayNItems() != 1)
        return QPDFObjectHandle::newNull();
    return annots.getArrayItem(0);
}

TEST_F(MediaBuild, MediaBetweenPdfsBecomePlayablePagesWithTheFileEmbedded) {
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {a + "," + wav + "," + mp3 + "," + b});
    ASSERT_EQ(build.run(), "4") << (build.engine.warnings().empty() ? "" : build.engine.warnings().back());
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    // mupdf reads every stream without complaint (it always notes that it has no colour management).
    const auto drawn = run("mutool draw -o /dev/null " + quote(out) + " 2>&1 | grep -v 'ICC support'");
    EXPECT_EQ(drawn.output.find("error"), std::string::npos) << drawn.output;
    EXPECT_EQ(drawn.output.find("warning"), std::string::npos) << drawn.output;

    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_NE(texts[1].find("tone.wav"), std::string::npos);
    EXPECT_NE(texts[1].find("WAV audio"), std::string::npos);
    EXPECT_NE(texts[2].find("song.mp3"), std::string::npos);

    QPDF pdf;
    pdf.processFile(out.c_str());
    const std::pair<int, std::string> media[] = {{1, tinyWav()}, {2, fakeMp3()}};
    for (const auto& [index, bytes] : media) {
        QPDFObjectHandle page = pageOf(pdf, index);
        EXPECT_EQ(page.getKey("/MediaBox").unparse(), "[ 0 0 792 612 ]");
        QPDFObjectHandle screen = screenOf(pdf, index);
        ASSERT_TRUE(screen.isDictionary());
        EXPECT_EQ(screen.getKey("/Subtype").getName(), "/Screen");
        QPDFObjectHandle action = screen.getKey("/A");
        EXPECT_EQ(action.getKey("/S").getName(), "/Rendition");
        EXPECT_EQ(action.getKey("/OP").getIntValue(), 0);
        EXPECT_EQ(action.getKey("/AN").getObjGen(), screen.getObjGen());
        EXPECT_FALSE(screen.hasKey("/AA")); // no flags: plays on click only
        // The appearance draws the screen area: real content, readable by every reader.
        QPDFObjectHandle look = screen.getKey("/AP").getKey("/N");
        ASSERT_TRUE(look.isStream());
        const auto picture = look.getStreamData(qpdf_dl_all);
        EXPECT_NE(std::string(reinterpret_cast<const char*>(picture->getBuffer()), picture->getSize())
                      .find(" re f"),
                  std::string::npos);
        QPDFObjectHandle clip = action.getKey("/R").getKey("/C");
        EXPECT_EQ(clip.getKey("/S").getName(), "/MCD");
        EXPECT_EQ(action.getKey("/R").getKey("/P").getKey("/BE").getKey("/RC").getIntValue(), 1);
        QPDFObjectHandle ef = clip.getKey("/D").getKey("/EF").getKey("/F");
        ASSERT_TRUE(ef.isStream());
        EXPECT_EQ(ef.getStreamData(qpdf_dl_all)->getSize(), bytes.size());
        const auto data = ef.getStreamData(qpdf_dl_all);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()), bytes);
    }
    EXPECT_EQ(screenOf(pdf, 1).getKey("/A").getKey("/R").getKey("/C").getKey("/CT").getUTF8Value(),
              "audio/wav");

    // Also listed as plain attachments, the same file objects the screens play.
    auto files = QPDFEmbeddedFileDocumentHelper(pdf).getEmbeddedFiles();
    ASSERT_EQ(files.size(), 2u);
    ASSERT_TRUE(files.count("tone.wav"));
    EXPECT_EQ(files["tone.wav"]->getObjectHandle().getObjGen(),
              screenOf(pdf, 1).getKey("/A").getKey("/R").getKey("/C").getKey("/D").getObjGen());
}

TEST_F(MediaBuild, PlayFlagsAddTriggersAndRepeatLoopsForever) {
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {wav})
        .call("setMediaPlay", {"ov"})
        .call("setMediaRepeat");
    ASSERT_EQ(build.run(), "1");
    EXPECT_TRUE(build.engine.warnings().empty()) << build.engine.warnings().front();
    QPDF pdf;
    pdf.processFile(out.c_str());
    QPDFObjectHandle screen = screenOf(pdf, 0);
    QPDFObjectHandle aa = screen.getKey("/AA");
    ASSERT_TRUE(aa.isDictionary());
    EXPECT_EQ(aa.getKey("/PO").getKey("/S").getName(), "/Rendition");
    EXPECT_EQ(aa.getKey("/PV").getKey("/S").getName(), "/Rendition");
    EXPECT_FALSE(aa.hasKey("/E"));
    EXPECT_EQ(screen.getKey("/A").getKey("/R").getKey("/P").getKey("/BE").getKey("/RC").getIntValue(), 0);

    Build unknown;
    unknown.call("setOutFile", {out}).call("setInFile", {wav}).call("setMediaPlay", {"Mx"});
    ASSERT_EQ(unknown.run(), "1");
    EXPECT_TRUE(unknown.warned("unknown flag \"x\""));
    QPDF again;
    again.processFile(out.c_str());
    EXPECT_TRUE(screenOf(again, 0).getKey("/AA").hasKey("/E"));
}

TEST_F(MediaBuild, UnrecognisableBytesFollowTheMediaNameAndOtherwiseFail) {
    const std::string junk = "\x01\x02 not audio at all \x03";
    const auto named = dir.path("odd.mp3").string();
    writeFile(named, junk);
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {named});
    EXPECT_EQ(build.run(), "1");
    QPDF pdf;
    pdf.processFile(out.c_str());
    EXPECT_EQ(screenOf(pdf, 0).getKey("/A").getKey("/R").getKey("/C").getKey("/CT").getUTF8Value(),
              "audio/mpeg");

    const auto text = dir.path("odd.dat").string();
    writeFile(text, junk);
    Build failing;
    failing.call("setOutFile", {out}).call("setInFile", {a + "," + text});
    EXPECT_EQ(failing.run(), "-4");
}

TEST_F(MediaBuild, PageListSelectsTheSinglePage) {
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {a + "," + wav}).call("setPages", {"1,1"});
    ASSERT_EQ(build.run(), "4");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    QPDF pdf;
    pdf.processFile(out.c_str());
    // Each copy has its own screen pointing back at its own page; the file is embedded once.
    EXPECT_EQ(screenOf(pdf, 2).getKey("/P").getObjGen(), pageOf(pdf, 2).getObjGen());
    EXPECT_EQ(screenOf(pdf, 3).getKey("/P").getObjGen(), pageOf(pdf, 3).getObjGen());
    EXPECT_EQ(QPDFEmbeddedFileDocumentHelper(pdf).getEmbeddedFiles().size(), 1u);
}

} // namespace
} // namespace plait::pdf::testing
