#pragma once

#include <qpdf/Constants.h>

#include <future>
#include <string>

class QPDFWriter;

namespace plait::pdf {

// 256-bit AES with a file key this program knows. Opening a file of this level with a password
// runs the deliberately slow password hash of revision 6 three to five times; the written
// output is instead read back with its key, and a thread checks, while the output is made,
// that each password gives that key as a reader derives it from the encryption dictionary.
struct FileKey {
    std::string key;                       // the 32-byte file key
    std::shared_future<std::string> check; // "" when both passwords give the key; else what is wrong
};

// The encryption worked out ahead of the writer: the key, the encryption dictionary (in a
// stand-in file with no page), and the password check, started on a thread of its own.
struct Aes256Setup {
    FileKey fileKey;
    std::string holder;
};

// The permission flags (/P) of revision 6 for these rights. Accessibility is always allowed
// at this level.
int aes256Permissions(bool extract, bool assemble, bool annotate, bool fillIn, bool modify,
                      qpdf_r3_print_e print);

// Computes a random key and the password entries for the two passwords and the flags, as
// QPDFWriter::setR6EncryptionParameters does (four runs of the slow hash), and starts the
// password check. Safe on any thread.
Aes256Setup prepareAes256(const std::string& user, const std::string& owner, int permissions);

// Sets `writer` up to encrypt with the prepared key and dictionary.
void encryptWithAes256(QPDFWriter& writer, const Aes256Setup& setup);

} // namespace plait::pdf
