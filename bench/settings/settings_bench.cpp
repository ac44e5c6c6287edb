// Times the settings file's load and the reset of the settings dialog.
//
//   settings_bench make FILE [INPUTS]   writes a settings file with INPUTS input paths (10000)
//   settings_bench load FILE            loads FILE once, as "Open..." does minus adding inputs
//   settings_bench time FILE [RUNS]     in-process timings of load and reset (median of RUNS)
//
// "load" exists so that hyperfine can put it beside `cat FILE`.
#include "core/settings/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace plait::core::settings;
using Clock = std::chrono::steady_clock;

namespace {

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The load's own work: decode, split into records, reset, apply every dialog record and split
// the input paths (adding them to the input list is the list's business, not timed here).
std::size_t loadOnce(const std::string& bytes) {
    std::unique_ptr<SettingsModel> model;
    resetSettings(model);
    std::size_t inputs = 0;
    for (const SettingsRecord& r : parseSettingsFile(bytes)) {
        if (r.field == "TreeView1") {
            inputs += splitInputPaths(r.value).size();
        } else if (r.type != "1") {
            applySettingsRecord(*model, r);
        }
    }
    return inputs;
}

double medianMs(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: settings_bench make|load|time FILE [N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const char* file = argv[2];

    if (mode == "make") {
        const int count = argc > 3 ? std::stoi(argv[3]) : 10000;
        auto model = SettingsModel::create();
        model->setChecked("chkPage", true);
        model->setListIndex("Compat_Com", 2);
        model->setText("perm1_txt", "owner");
        model->setText("txtNote", "A note\r\nover two lines");
        std::vector<std::string> inputs;
        inputs.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            inputs.push_back("/home/user/Documents/scans/2024/batch-" + std::to_string(i / 100) + "/page-" +
                             std::to_string(i) + ".pdf");
        }
        const std::string err = saveFileAtomically(file, writeSettingsFile(*model, 0, inputs), false);
        if (!err.empty()) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
        return 0;
    }

    if (mode == "load") {
        return loadOnce(readAll(file)) > 0 ? 0 : 1;
    }

    if (mode == "time") {
        const int runs = argc > 3 ? std::stoi(argv[3]) : 21;
        const std::string bytes = readAll(file);
        std::vector<double> load;
        std::vector<double> reset;
        std::size_t inputs = 0;
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            inputs = loadOnce(bytes);
            auto t1 = Clock::now();
            auto m = SettingsModel::create();
            auto t2 = Clock::now();
            load.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            reset.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
        std::printf("file: %zu bytes, %zu inputs\n", bytes.size(), inputs);
        std::printf("load (decode, records, reset, apply, split inputs): median %.3f ms\n", medianMs(load));
        std::printf("reset (fresh dialog, combos to entry 0, rules run): median %.3f ms\n", medianMs(reset));
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
