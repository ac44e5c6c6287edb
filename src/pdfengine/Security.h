#pragma once

#include "Aes256.h"
#include "Job.h"

#include <optional>

#include <string>
#include <vector>

class QPDFWriter;

namespace plait::pdf {

// The output's encryption for the job's passwords and restrictions, worked out when a build
// starts: the owner password (a random one where the restrictions need it), and for 256-bit
// AES the key and password entries, computed on a thread of their own while the inputs are
// read, since the password hash of that level is slow on purpose.
//
// Strength: 40-bit RC4 by default (the oldest readers' level, which knows only the four
// permissions print, change, copy and annotate), 128-bit RC4 with setEncrypt128, or AES
// with setEncryptAES128/setEncryptAES256 or when setCmds asks for aes128 or aes256.
class SecurityPlan {
public:
    SecurityPlan(const Security& security, WriterOptions::Cipher cipher);

    // Sets up the writer's encryption; does nothing when neither a password nor a restriction
    // was given. Notes go to `notes` (a restriction the chosen strength cannot express, a
    // generated owner password). For 256-bit AES returns the file key (Aes256.h).
    std::optional<FileKey> apply(QPDFWriter& writer, std::vector<std::string>& notes) const;

private:
    Security s_;
    WriterOptions::Cipher cipher_;
    std::string owner_;
    bool randomOwner_ = false;
    std::shared_future<Aes256Setup> aes256_;
};

// The same, worked out and applied at once.
std::optional<FileKey> applySecurity(QPDFWriter& writer, const Security& security,
                                     WriterOptions::Cipher cipher, std::vector<std::string>& notes);

// The byte strings to try, in order, for a password the user typed (UTF-8, or Latin-1 when it is
// not UTF-8), the way PDF readers match it against any file: the bytes as typed, then without
// blanks around them, then re-encoded for the older encryption levels (PDFDocEncoding,
// Latin-1) or from Latin-1 to UTF-8, and for 256-bit AES the SASLprep-normalised UTF-8.
// No string appears twice; the empty password is not in the list.
std::vector<std::string> passwordCandidates(const std::string& typed);

} // namespace plait::pdf
