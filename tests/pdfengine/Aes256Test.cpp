// 256-bit AES with a file key the engine knows: the same dictionary qpdf would write, passwords
// that open the file, and a read-back that needs the right key.
#include "Fixtures.h"

#include "pdfengine/Aes256.h"
#include "pdfengine/Soundness.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <regex>

namespace plait::pdf::testing {
namespace {

// The written /P of the encryption dictionary (not itself encrypted).
long long permissionsIn(const std::string& pdf) {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(pdf, m, std::regex("/P (-?[0-9]+)"))) << pdf.substr(0, 200);
    return m.empty() ? 0 : std::stoll(m[1]);
}

// A one-page file, its catalog in an (encrypted) object stream.
std::string writeOnePage(const std::function<void(QPDFWriter&)>& setUp, const std::string& path = {}) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper(pdf).addPage(
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>")), false);
    QPDFWriter writer(pdf);
    writer.setObjectStreamMode(qpdf_o_generate);
    if (path.empty()) {
        writer.setOutputMemory();
    } else {
        writer.setOutputFilename(path.c_str());
    }
    setUp(writer);
    writer.write();
    if (!path.empty()) {
        return readFile(path);
    }
    auto buffer = writer.getBufferSharedPointer();
    return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

TEST(Aes256, PermissionsAreTheOnesQpdfWrites) {
    struct Rights {
        bool extract = true, assemble = true, annotate = true, fillIn = true, modify = true;
        qpdf_r3_print_e print = qpdf_r3p_full;
    };
    std::vector<Rights> cases(8);
    cases[1].extract = false;
    cases[2].assemble = false;
    cases[3].annotate = false;
    cases[4].fillIn = false;
    cases[5].modify = false;
    cases[6].print = qpdf_r3p_low;
    cases[7] = {false, false, false, false, false, qpdf_r3p_none};
    for (const Rights& r : cases) {
        const std::string byQpdf = writeOnePage([&](QPDFWriter& w) {
            w.setR6EncryptionParameters("u", "o", true, r.extract, r.assemble, r.annotate, r.fillIn, r.modify,
                                        r.print, true);
        });
        EXPECT_EQ(aes256Permissions(r.extract, r.assemble, r.annotate, r.fillIn, r.modify, r.print),
                  permissionsIn(byQpdf));
    }
}

TEST(Aes256, TheFileOpensWithEachPasswordAndIsReadBackWithItsKey) {
    TempDir dir;
    const std::string path = dir.path("locked.pdf").string();
    const int permissions = aes256Permissions(false, true, true, true, true, qpdf_r3p_low);
    const Aes256Setup setup = prepareAes256("пароль", "owner", permissions);
    const FileKey& key = setup.fileKey;
    writeOnePage([&](QPDFWriter& w) { encryptWithAes256(w, setup); }, path);
    EXPECT_EQ(key.check.get(), "");

    const std::string asUser = run("qpdf --show-encryption --password=пароль " + quote(path)).output;
    EXPECT_NE(asUser.find("R = 6"), std::string::npos) << asUser;
    EXPECT_NE(asUser.find("Supplied password is user password"), std::string::npos) << asUser;
    EXPECT_NE(asUser.find("extract for any purpose: not allowed"), std::string::npos) << asUser;
    EXPECT_NE(asUser.find("print high resolution: not allowed"), std::string::npos) << asUser;
    const std::string asOwner = run("qpdf --show-encryption --password=owner " + quote(path)).output;
    EXPECT_NE(asOwner.find("Supplied password is owner password"), std::string::npos) << asOwner;
    EXPECT_EQ(run("qpdf --check --password=owner " + quote(path)).exitCode, 0);

    // The read-back opens it with the key alone; another key reads nothing sound.
    EXPECT_EQ(checkWrittenPdf(path, 1, "", key.key), "") << "with its key";
    std::string wrong = key.key;
    wrong[0] = static_cast<char>(wrong[0] ^ 1);
    EXPECT_NE(checkWrittenPdf(path, 1, "", wrong), "");
}

} // namespace
} // namespace plait::pdf::testing
