// ICU's SASLprep, for passwords of 256-bit AES (saslPrep in Scripts.h).
#include <unicode/usprep.h>
#include <unicode/ustring.h>

#include <memory>
#include <string>

namespace {

// SASLprep (the profile 256-bit AES passwords are normalised with): spaces mapped, invisible
// characters removed, compatibility forms composed (NFKC). Empty when the text is not UTF-8 or
// holds what the profile forbids.
std::string prepare(const std::string& utf8) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UStringPrepProfile, decltype(&usprep_close)> profile(
        usprep_openByType(USPREP_RFC4013_SASLPREP, &status), &usprep_close);
    if (U_FAILURE(status)) {
        return {};
    }
    std::u16string in;
    UErrorCode convert = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &convert);
    if (convert != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(convert)) {
        return {};
    }
    in.resize(static_cast<std::size_t>(length));
    convert = U_ZERO_ERROR;
    u_strFromUTF8(in.data(), length, nullptr, utf8.data(), static_cast<int32_t>(utf8.size()), &convert);
    if (U_FAILURE(convert)) {
        return {};
    }
    // The profile can only shrink or keep the length, save for compatibility forms that expand.
    std::u16string out(in.size() * 4 + 16, u'\0');
    UParseError parseError;
    const int32_t outLength =
        usprep_prepare(profile.get(), in.data(), static_cast<int32_t>(in.size()), out.data(),
                       static_cast<int32_t>(out.size()), USPREP_DEFAULT, &parseError, &status);
    if (U_FAILURE(status)) {
        return {};
    }
    std::string result(static_cast<std::size_t>(outLength) * 3 + 1, '\0');
    int32_t written = 0;
    u_strToUTF8(result.data(), static_cast<int32_t>(result.size()), &written, out.data(), outLength, &status);
    if (U_FAILURE(status)) {
        return {};
    }
    result.resize(static_cast<std::size_t>(written));
    return result;
}

} // namespace

// The module's entry for saslPrep.
extern "C" __attribute__((visibility("default"))) void plait_scripts_saslprep(const std::string* utf8,
                                                                              std::string* out) {
    *out = prepare(*utf8);
}
