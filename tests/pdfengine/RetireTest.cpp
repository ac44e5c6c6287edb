// Documents a build is done with: freed at once, or kept to the end of a one-build process.
#include "pdfengine/Retire.h"

#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>

namespace plait::pdf {
namespace {

TEST(Retire, FreesUnlessTheProcessEndsAfterItsBuild) {
    QPDFObjectHandle root;
    const auto document = [&root] {
        auto doc = std::make_unique<QPDF>();
        doc->emptyPDF();
        root = doc->getRoot();
        return doc;
    };
    retire(document());
    EXPECT_TRUE(root.isDestroyed()); // the desktop program frees as it goes

    setOneBuildPerProcess(true);
    retire(document());
    setOneBuildPerProcess(false);
    EXPECT_FALSE(root.isDestroyed());
    EXPECT_TRUE(root.getKey("/Pages").isDictionary());
}

} // namespace
} // namespace plait::pdf
