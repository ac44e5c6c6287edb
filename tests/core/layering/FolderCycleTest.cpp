// The folders of the core (app, build, outline, settings, ui, ...) depend on each other in
// one direction only: a folder that includes another's header may never be included back,
// directly or round a longer loop.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Graph = std::map<std::string, std::set<std::string>>;

const fs::path kCore = fs::path(PLAIT_TEST_DATA_DIR) / ".." / ".." / "src" / "core";

// The core folder a file lies in ("build" for build/steps/Stamp.cpp), or "" for none.
std::string folderOf(const fs::path& file, const fs::path& core) {
    const fs::path rel = fs::relative(file, core);
    return rel.begin() == rel.end() || std::next(rel.begin()) == rel.end() ? "" : rel.begin()->string();
}

// Folder to folder edges of the quoted includes under `core` (which lies in a source tree
// whose includes are written from its parent, "core/app/...").
Graph includeGraph(const fs::path& core) {
    Graph graph;
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    for (const auto& entry : fs::recursive_directory_iterator(core)) {
        const fs::path& file = entry.path();
        if (!entry.is_regular_file() || (file.extension() != ".h" && file.extension() != ".cpp")) {
            continue;
        }
        const std::string from = folderOf(file, core);
        std::ifstream in(file);
        std::string line;
        std::smatch m;
        while (std::getline(in, line)) {
            if (!std::regex_search(line, m, include)) {
                continue;
            }
            fs::path target = file.parent_path() / m[1].str();
            if (!fs::exists(target)) {
                target = core.parent_path() / m[1].str();
            }
            if (!fs::exists(target) || fs::relative(target, core).string().starts_with("..")) {
                continue; // outside the core (engine, system)
            }
            const std::string to = folderOf(fs::weakly_canonical(target), fs::weakly_canonical(core));
            if (!from.empty() && !to.empty() && from != to) {
                graph[from].insert(to);
            }
        }
    }
    return graph;
}

// One loop of the graph as "a -> b -> a", or "" when there is none.
std::string findCycle(const Graph& graph) {
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::vector<std::string> path;
    std::string found;
    std::function<bool(const std::string&)> visit = [&](const std::string& node) {
        state[node] = 1;
        path.push_back(node);
        if (auto it = graph.find(node); it != graph.end()) {
            for (const auto& next : it->second) {
                if (state[next] == 1) {
                    for (auto p = std::find(path.begin(), path.end(), next); p != path.end(); ++p) {
                        found += *p + " -> ";
                    }
                    found += next;
                    return true;
                }
                if (state[next] == 0 && visit(next)) {
                    return true;
                }
            }
        }
        path.pop_back();
        state[node] = 2;
        return false;
    };
    for (const auto& [node, edges] : graph) {
        if (state[node] == 0 && visit(node)) {
            break;
        }
    }
    return found;
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

TEST(CoreFolders, NoFolderIncludesOneThatIncludesItBack) {
    ASSERT_TRUE(fs::is_directory(kCore)) << kCore;
    const Graph graph = includeGraph(kCore);
    EXPECT_TRUE(graph.count("app")) << "the scan found the main window's includes";
    EXPECT_EQ(findCycle(graph), "");
}

TEST(CoreFolders, TheCheckFindsALoopRoundThreeFoldersAndRelativeIncludes) {
    const fs::path root = fs::temp_directory_path() / ("plait_cycle_" + std::to_string(::getpid()));
    const fs::path core = root / "core";
    writeFile(core / "a" / "A.h", "#include \"core/b/B.h\"\n");
    writeFile(core / "b" / "B.h", "#include <vector>\n#include \"engine/X.h\"\n");
    writeFile(core / "b" / "deep" / "B2.cpp", "#include \"../B.h\"\n#include \"core/c/C.h\"\n");
    writeFile(core / "c" / "C.h", "#pragma once\n");
    EXPECT_EQ(findCycle(includeGraph(core)), "");

    writeFile(core / "c" / "C.cpp", "#include \"C.h\"\n  #  include \"core/a/A.h\"\n");
    EXPECT_EQ(findCycle(includeGraph(core)), "a -> b -> c -> a");
    fs::remove_all(root);
}

} // namespace
