#pragma once

#include "Job.h"

#include <string>
#include <vector>

class QPDFWriter;

namespace plait::pdf {

// Sets up the writer's encryption for the job's passwords and restrictions. Does nothing
// when neither a password nor a restriction was given. Notes go to `notes` (a restriction
// the chosen strength cannot express, a generated owner password).
//
// Strength: 40-bit RC4 by default (the oldest readers' level, which knows only the four
// permissions print, change, copy and annotate), 128-bit RC4 with setEncrypt128, or AES
// when setCmds asks for aes128 or aes256.
void applySecurity(QPDFWriter& writer, const Security& security, WriterOptions::Cipher cipher,
                   std::vector<std::string>& notes);

} // namespace plait::pdf
