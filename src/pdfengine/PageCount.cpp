#include "PageCount.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>

#include <cstring>

namespace plait::pdf {

PageCount countPages(const std::string& path, const std::string& password) {
    PageCount result;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str(), password.empty() ? nullptr : password.c_str());
        result.pages = static_cast<int>(pdf.getAllPages().size());
    } catch (const QPDFExc& e) {
        result.problem = e.getErrorCode() == qpdf_e_password ? PageCount::Problem::NeedsPassword
                                                             : PageCount::Problem::Damaged;
        result.reason = e.getMessageDetail();
    } catch (const QPDFSystemError& e) {
        result.problem = PageCount::Problem::CannotOpen;
        result.reason = std::strerror(e.getErrno());
    } catch (const std::exception& e) {
        result.problem = PageCount::Problem::Damaged;
        result.reason = e.what();
    }
    return result;
}

} // namespace plait::pdf
