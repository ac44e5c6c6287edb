#include "Aes256.h"

#include "Background.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

namespace plait::pdf {
namespace {

// A PDF with no page whose trailer carries the encryption dictionary, for QPDFWriter to copy
// the encryption from.
std::string keyHolder(int permissions, const std::string& id, const std::string& O, const std::string& U,
                      const std::string& OE, const std::string& UE, const std::string& perms) {
    const auto hex = [](const std::string& bytes) { return "<" + QUtil::hex_encode(bytes) + ">"; };
    const auto offset = [](std::size_t at) {
        std::string digits = std::to_string(at);
        return std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
    };
    std::string pdf = "%PDF-1.7\n";
    const std::size_t catalog = pdf.size();
    pdf += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    const std::size_t pages = pdf.size();
    pdf += "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 3\n0000000000 65535 f \n" + offset(catalog) + offset(pages);
    pdf += "trailer\n<< /Size 3 /Root 1 0 R /ID [" + hex(id) + hex(id) + "]\n";
    pdf += "/Encrypt << /Filter /Standard /V 5 /R 6 /Length 256 /P " + std::to_string(permissions);
    pdf +=
        " /O " + hex(O) + " /U " + hex(U) + " /OE " + hex(OE) + " /UE " + hex(UE) + " /Perms " + hex(perms);
    pdf += " /StmF /StdCF /StrF /StdCF /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >> >>";
    pdf += " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// "" when `password` gives `key` as a reader derives it from the encryption dictionary.
std::string checkPassword(const QPDF::EncryptionData& data, const std::string& key,
                          const std::string& password, const char* which) {
    try {
        if (QPDF::compute_encryption_key(password, data) != key) {
            return std::string("its ") + which + " does not give its key";
        }
        return {};
    } catch (const std::exception& e) {
        return std::string("its ") + which + " does not open it: " + e.what();
    }
}

} // namespace

int aes256Permissions(bool extract, bool assemble, bool annotate, bool fillIn, bool modify,
                      qpdf_r3_print_e print) {
    // Bits are numbered from 1; 1 and 2 are always clear, and the rest set unless forbidden.
    const auto bit = [](int n) { return 1 << (n - 1); };
    int clear = bit(1) | bit(2);
    if (!extract)
        clear |= bit(5);
    if (print == qpdf_r3p_none)
        clear |= bit(3) | bit(12);
    if (print == qpdf_r3p_low)
        clear |= bit(12);
    if (!assemble)
        clear |= bit(11);
    if (!annotate)
        clear |= bit(6);
    if (!fillIn)
        clear |= bit(9);
    if (!modify)
        clear |= bit(4);
    return ~clear;
}

Aes256Setup prepareAes256(const std::string& user, const std::string& owner, int permissions) {
    // The same computation QPDFWriter makes for revision 6: a random key, and the password
    // entries that lead to it (the first part of the file ID plays no part at this level).
    std::string id(16, '\0');
    QUtil::initializeWithRandomBytes(reinterpret_cast<unsigned char*>(id.data()), id.size());
    std::string key, O, U, OE, UE, perms;
    QPDF::compute_encryption_parameters_V5(user.c_str(), owner.c_str(), 5, 6, 32, permissions, true, id, key,
                                           O, U, OE, UE, perms);
    Aes256Setup setup{{key, {}}, keyHolder(permissions, id, O, U, OE, UE, perms)};
    auto check = [=] {
        const QPDF::EncryptionData data(5, 6, 32, permissions, O, U, OE, UE, perms, id, true);
        std::string problem = checkPassword(data, key, user, "open password");
        return problem.empty() ? checkPassword(data, key, owner, "permissions password") : problem;
    };
    setup.fileKey.check = inBackground(check);
    return setup;
}

void encryptWithAes256(QPDFWriter& writer, const Aes256Setup& setup) {
    QPDF keyed;
    keyed.setSuppressWarnings(true);
    keyed.setPasswordIsHexKey(true);
    keyed.processMemoryFile("encryption", setup.holder.data(), setup.holder.size(),
                            QUtil::hex_encode(setup.fileKey.key).c_str());
    writer.copyEncryptionParameters(keyed);
}

} // namespace plait::pdf
