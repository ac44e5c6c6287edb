#include "Fakes.h"

#include <fstream>
#include <random>

namespace plait::test {

TestPlatform::TestPlatform() {
    std::random_device rd;
    root = std::filesystem::temp_directory_path() /
           ("plait-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(root / "tmp");
    std::filesystem::create_directories(root / "cwd");
    std::filesystem::create_directories(root / "bin");
}

TestPlatform::~TestPlatform() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

std::string writeFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

Harness::Harness() {
    engines.add(std::string(engine::kPlaitEngineName), [this] {
        auto e = std::make_unique<engine::RecordingEngine>(log);
        e->setResult(engineResult);
        if (configureEngine) {
            configureEngine(*e);
        }
        return e;
    });
    window = std::make_unique<core::app::MainWindow>(
        core::app::MainWindowServices{messages, files, shell, preview, events, host, engines, platform});
    host.window = window.get();
}

} // namespace plait::test
