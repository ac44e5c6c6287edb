#include "Security.h"
#include "Background.h"
#include "Scripts.h"
#include "Text.h"

#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <memory>

namespace plait::pdf {
namespace {

// A long random owner password. Nobody learns it, so the restrictions cannot be lifted by
// opening the file with the owner password.
std::string randomPassword() {
    std::string bytes(24, '\0');
    QUtil::initializeWithRandomBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    std::string out;
    for (unsigned char c : bytes) {
        out += alphabet[c % (sizeof(alphabet) - 1)];
    }
    return out;
}

qpdf_r3_print_e printLevel(const Security& s) {
    return s.noPrint ? qpdf_r3p_none : (s.noDigital ? qpdf_r3p_low : qpdf_r3p_full);
}

// Passwords of the older levels are in PDFDocEncoding; the callers hand us UTF-8.
std::string legacyPassword(const std::string& utf8, std::vector<std::string>& notes) {
    std::string encoded;
    if (!QUtil::utf8_to_pdf_doc(utf8, encoded, '?')) {
        notes.push_back("A password holds characters the chosen encryption cannot store; use aes256 in the "
                        "parameters for such passwords");
    }
    return encoded;
}

} // namespace

std::vector<std::string> passwordCandidates(const std::string& typed) {
    std::vector<std::string> out;
    const auto add = [&](const std::string& candidate) {
        if (!candidate.empty() && std::find(out.begin(), out.end(), candidate) == out.end()) {
            out.push_back(candidate);
        }
    };
    std::vector<std::string> forms{typed};
    const std::string trimmed(text::trim(typed));
    if (trimmed != typed) {
        forms.push_back(trimmed);
    }
    for (const auto& form : forms) {
        // The form itself first, then its other encodings.
        for (const auto& encoded : QUtil::possible_repaired_encodings(form)) {
            add(encoded);
        }
        add(saslPrep(form));
    }
    return out;
}

SecurityPlan::SecurityPlan(const Security& s, WriterOptions::Cipher cipher)
    : s_(s), cipher_(cipher), owner_(s.owner) {
    if (!s.wanted()) {
        return;
    }
    if (owner_.empty()) {
        // An empty owner password opens the file with full rights for anyone, which would
        // undo both the restrictions and the open password.
        if (s.anyRestriction() || s.user.empty()) {
            owner_ = randomPassword();
            randomOwner_ = true;
        } else {
            owner_ = s.user;
        }
    }
    if (cipher_ == WriterOptions::Cipher::Aes256) {
        const int permissions =
            aes256Permissions(!s.noCopy, !s.noAssemble, !s.noAnnote, !s.noFillIn, !s.noChange, printLevel(s));
        auto prepare = [user = s.user, owner = owner_, permissions] {
            return prepareAes256(user, owner, permissions);
        };
        aes256_ = inBackground(prepare);
    }
}

std::optional<FileKey> SecurityPlan::apply(QPDFWriter& writer, std::vector<std::string>& notes) const {
    const Security& s = s_;
    if (!s.wanted()) {
        // Encryption without a password or a restriction would protect nothing.
        if (s.aes) {
            notes.push_back(std::string(*s.aes == WriterOptions::Cipher::Aes256 ? "256" : "128") +
                            "-bit AES encryption was asked for without a password or a restriction; "
                            "the output is not encrypted");
        } else if (s.encrypt128) {
            notes.push_back("128-bit encryption was asked for without a password or a restriction; "
                            "the output is not encrypted");
        }
        return std::nullopt;
    }
    if (randomOwner_) {
        notes.push_back("No permissions password was given; a random one protects the restrictions");
    }
    const std::string& owner = owner_;
    const std::string& user = s.user;
    const bool print = !s.noPrint;

    switch (cipher_) {
    case WriterOptions::Cipher::Aes256: {
        const Aes256Setup& setup = aes256_.get();
        encryptWithAes256(writer, setup);
        return setup.fileKey;
    }
    case WriterOptions::Cipher::Aes128:
        writer.setR4EncryptionParametersInsecure(
            legacyPassword(user, notes).c_str(), legacyPassword(owner, notes).c_str(), true, !s.noCopy,
            !s.noAssemble, !s.noAnnote, !s.noFillIn, !s.noChange, printLevel(s), true, true);
        return std::nullopt;
    case WriterOptions::Cipher::Standard:
        break;
    }
    if (s.encrypt128) {
        writer.setR3EncryptionParametersInsecure(
            legacyPassword(user, notes).c_str(), legacyPassword(owner, notes).c_str(), true, !s.noCopy,
            !s.noAssemble, !s.noAnnote, !s.noFillIn, !s.noChange, printLevel(s));
        return std::nullopt;
    }
    // 40-bit knows four permissions. The three finer ones fold into the coarser bit that
    // covers them, so that what the user forbade stays forbidden.
    bool modify = !s.noChange;
    bool annotate = !s.noAnnote;
    if (s.noFillIn && annotate) {
        annotate = false;
        notes.push_back(
            "40-bit encryption cannot forbid form fill-in alone; adding and changing annotations is "
            "forbidden too");
    }
    if (s.noAssemble && modify) {
        modify = false;
        notes.push_back(
            "40-bit encryption cannot forbid assembly alone; changing the document is forbidden too");
    }
    if (s.noDigital && print) {
        notes.push_back(
            "40-bit encryption cannot forbid high-resolution printing alone; printing stays allowed "
            "(use 128-bit encryption to limit printing to low resolution)");
    }
    writer.setR2EncryptionParametersInsecure(legacyPassword(user, notes).c_str(),
                                             legacyPassword(owner, notes).c_str(), print, modify, !s.noCopy,
                                             annotate);
    return std::nullopt;
}

std::optional<FileKey> applySecurity(QPDFWriter& writer, const Security& security,
                                     WriterOptions::Cipher cipher, std::vector<std::string>& notes) {
    return SecurityPlan(security, cipher).apply(writer, notes);
}

} // namespace plait::pdf
