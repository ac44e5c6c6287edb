#pragma once

#include <qpdf/Constants.h>

#include <future>
#include <string>

class QPDFWriter;

namespace plait::pdf {

// 256-bit AES with a file key this program knows. Opening a file of this level with a password
// runs the deliberately slow password hash of revision 6 three to five times; the written
// output is instead read back with its key, and a thread checks, while the output is written,
// that each password opens a file with this encryption dictionary and gives that key.
struct FileKey {
    std::string key;                       // the 32-byte file key
    std::shared_future<std::string> check; // "" when both passwords give the key; else what is wrong
};

// The permission flags (/P) of revision 6 for these rights. Accessibility is always allowed
// at this level.
int aes256Permissions(bool extract, bool assemble, bool annotate, bool fillIn, bool modify,
                      qpdf_r3_print_e print);

// Sets `writer` up for 256-bit AES (revision 6) with the two passwords and the flags, as
// QPDFWriter::setR6EncryptionParameters does, and returns the key and the password check.
FileKey encryptWithAes256(QPDFWriter& writer, const std::string& user, const std::string& owner,
                          int permissions);

} // namespace plait::pdf
