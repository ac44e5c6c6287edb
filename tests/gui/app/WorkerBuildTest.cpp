// The program as it is installed builds through the engine worker: a build from the window
// writes its output there and leaves nothing else behind.
#include "gui/app/ProgramHarness.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace plait;
namespace fs = std::filesystem;

namespace {

void writePages(const fs::path& path, int pages) {
    QPDF pdf;
    pdf.emptyPDF();
    for (int i = 0; i < pages; ++i) {
        auto page =
            pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter w(pdf, path.c_str());
    w.write();
}

} // namespace

TEST(WorkerBuild, TheWindowBuildsThroughTheWorkerAndLeavesOnlyTheOutput) {
    const fs::path dir =
        fs::temp_directory_path() / ("plait-worker-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    writePages(dir / "a.pdf", 2);
    writePages(dir / "b.pdf", 3);
    {
        test::ProgramHarness harness({}, PLAIT_WORKER_PATH);
        core::app::MainWindow& window = harness.program.window();
        ASSERT_TRUE(window.insertFile((dir / "a.pdf").string()));
        ASSERT_TRUE(window.insertFile((dir / "b.pdf").string()));
        window.form().setText("txtOutfile", (dir / "out.pdf").string());
        window.buildPDF();
    }
    ASSERT_TRUE(fs::exists(dir / "out.pdf"));
    QPDF out;
    out.processFile((dir / "out.pdf").c_str());
    EXPECT_EQ(out.getAllPages().size(), 5u);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.pdf", "b.pdf", "out.pdf"}));
    fs::remove_all(dir);
}
