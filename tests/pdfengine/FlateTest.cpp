// Flate streams decoded and made in one piece: what they decode to agrees with qpdf's own
// filters, anything they cannot take whole is left to qpdf, and what they make reads back in
// qpdf and the readers.
#include "pdfengine/Flate.h"
#include "Fixtures.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace plait::pdf::testing {
namespace {

using QOH = QPDFObjectHandle;

// `data` compressed by qpdf's own filter.
std::string deflated(const std::string& data) {
    Pl_Buffer out("deflated");
    Pl_Flate flate("deflate", &out, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
    flate.finish();
    auto b = out.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(b->getBuffer()), b->getSize());
}

QOH streamOf(QPDF& pdf, const std::string& raw, QOH filter = QOH::newName("/FlateDecode"),
             QOH parms = QOH::newNull()) {
    QOH s = pdf.newStream();
    s.replaceStreamData(raw, filter, parms);
    return s;
}

std::string decodedByQpdf(QOH stream) {
    auto b = stream.getStreamData(qpdf_dl_generalized);
    return std::string(reinterpret_cast<const char*>(b->getBuffer()), b->getSize());
}

constexpr std::size_t kNoLimit = std::size_t(1) << 30;

TEST(Flate, WholeStreamsDecodeAsQpdfDecodesThem) {
    QPDF pdf;
    pdf.emptyPDF();
    const std::string text = "BT /F1 12 Tf 72 700 Td (q and Q in a string) Tj ET\nq 1 0 0 1 5 5 cm Q\n";
    EXPECT_EQ(inflateWhole(streamOf(pdf, deflated(text)), kNoLimit), text);
    // Filters given as a one-item array or by their short name, parameters as null.
    EXPECT_EQ(inflateWhole(streamOf(pdf, deflated(text), QOH::parse("[/FlateDecode]")), kNoLimit), text);
    EXPECT_EQ(
        inflateWhole(streamOf(pdf, deflated(text), QOH::newName("/Fl"), QOH::parse("[null]")), kNoLimit),
        text);
    // Far more than eight times its compressed size: the output buffer has to grow, more than once.
    std::string repetitive;
    while (repetitive.size() < (3u << 20))
        repetitive += "q Q 0 0 m 10 10 l S\n";
    QOH big = streamOf(pdf, deflated(repetitive));
    const auto whole = inflateWhole(big, kNoLimit);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, decodedByQpdf(big));
    // Over the limit it is left to qpdf, which streams it.
    EXPECT_FALSE(inflateWhole(big, 1u << 20));
}

// An encrypted file's streams are decrypted before they are decoded.
TEST(Flate, EncryptedStreamsDecodeAsQpdfDecodesThem) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"secret words"};
    layout.userPassword = "user";
    layout.ownerPassword = "owner";
    const std::string path = makePdf(dir.path("encrypted.pdf"), layout);
    QPDF pdf;
    pdf.processFile(path.c_str(), "user");
    ASSERT_TRUE(pdf.isEncrypted());
    QOH content = pageOf(pdf, 0).getKey("/Contents");
    ASSERT_TRUE(content.isStream());
    const auto whole = inflateWhole(content, kNoLimit);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, decodedByQpdf(content));
    EXPECT_NE(whole->find("secret words"), std::string::npos);
}

TEST(Flate, StreamsNotWholeFlateAreLeftToQpdf) {
    QPDF pdf;
    pdf.emptyPDF();
    const std::string text = "BT (a page of text) Tj ET\n";
    const std::string packed = deflated(text);
    EXPECT_FALSE(inflateWhole(pdf.newStream(text), kNoLimit)); // no filter
    EXPECT_FALSE(
        inflateWhole(streamOf(pdf, "4254", QOH::newName("/ASCIIHexDecode")), kNoLimit)); // another one
    EXPECT_FALSE(inflateWhole(streamOf(pdf, packed, QOH::parse("[/ASCII85Decode /FlateDecode]")), kNoLimit));
    EXPECT_FALSE(inflateWhole(
        streamOf(pdf, packed, QOH::newName("/FlateDecode"), QOH::parse("<< /Predictor 12 /Columns 4 >>")),
        kNoLimit));
    EXPECT_FALSE(inflateWhole(QOH::parse("<< /Filter /FlateDecode >>"), kNoLimit)); // no stream at all
    // Damaged data: cut short, followed by other bytes, or with a byte changed.
    EXPECT_FALSE(inflateWhole(streamOf(pdf, packed.substr(0, packed.size() - 6)), kNoLimit));
    EXPECT_FALSE(inflateWhole(streamOf(pdf, packed + "endstream junk"), kNoLimit));
    std::string garbled = packed;
    garbled[garbled.size() / 2] = static_cast<char>(garbled[garbled.size() / 2] ^ 0x5A);
    EXPECT_FALSE(inflateWhole(streamOf(pdf, garbled), kNoLimit));
}

TEST(Flate, NewStreamsReadBackInQpdfAndReaders) {
    TempDir dir;
    QPDF pdf;
    pdf.emptyPDF();
    // Small data is stored, larger data compressed; both decode to what was given.
    const std::string small = "BT /F1 24 Tf 72 700 Td (Stored words) Tj ET\n";
    std::string large;
    for (int i = 0; i < 60; ++i)
        large += "BT /F1 10 Tf 72 " + std::to_string(100 + i * 10) + " Td (Packed line " + std::to_string(i) +
                 ") Tj ET\n";
    QOH a = newFlateStream(pdf, small), b = newFlateStream(pdf, large);
    for (QOH s : {a, b}) {
        EXPECT_TRUE(s.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"));
    }
    EXPECT_EQ(decodedByQpdf(a), small);
    EXPECT_EQ(decodedByQpdf(b), large);
    EXPECT_LT(b.getRawStreamData()->getSize(), large.size() / 2);
    EXPECT_EQ(inflateWhole(b, kNoLimit), large);

    // On pages of a written file: sound to qpdf, read by poppler as the text drawn.
    QOH font = pdf.makeIndirectObject(QOH::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    QPDFPageDocumentHelper pages(pdf);
    for (QOH content : {a, b}) {
        QOH page = pdf.makeIndirectObject(QOH::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
        page.replaceKey("/Resources", QOH::parse("<< /Font << >> >>"));
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", content);
        pages.addPage(QPDFPageObjectHelper(page), false);
    }
    const std::string out = dir.path("flate.pdf").string();
    QPDFWriter w(pdf, out.c_str());
    w.write();
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("Stored words"), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find("Packed line 59"), std::string::npos) << texts[1];
}

} // namespace
} // namespace plait::pdf::testing
