// A build as the program makes it: the engine calls of a build (as `plait calls` prints them)
// replayed on the isolated engine, which starts the engine worker and relays its status until
// it ends. Usage:
//   worker_bench WORKER CALLS_FILE
// Prints the build's result; exits 0 when it succeeded.

#include "worker/IsolatedEngine.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

// `name("a","b")` to the name and its arguments. The bench's calls hold plain file names, so
// an argument is whatever lies between its quotes.
bool parseCall(const std::string& line, std::string& name, std::vector<std::string>& args) {
    const auto open = line.find('(');
    if (open == std::string::npos || line.back() != ')') {
        return false;
    }
    name = line.substr(0, open);
    args.clear();
    std::size_t at = open + 1;
    while (at < line.size() && line[at] == '"') {
        const auto end = line.find('"', at + 1);
        if (end == std::string::npos) {
            return false;
        }
        args.push_back(line.substr(at + 1, end - at - 1));
        at = end + 1;
        if (at < line.size() && line[at] == ',') {
            ++at;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: worker_bench WORKER CALLS_FILE\n";
        return 2;
    }
    plait::worker::IsolatedEngine::Options options;
    options.workerPath = argv[1];
    options.seconds = 0;
    plait::worker::IsolatedEngine engine(options);
    std::ifstream calls(argv[2]);
    std::string name;
    std::vector<std::string> args;
    for (std::string line; std::getline(calls, line);) {
        if (line.empty() || line == "BuildPDF()") {
            continue;
        }
        if (!parseCall(line, name, args)) {
            std::cerr << "worker_bench: cannot read the call " << line << "\n";
            return 2;
        }
        engine.call(name, std::vector<std::string>(args));
    }
    const std::string result = engine.BuildPDF();
    std::cout << result << "\n";
    for (const auto& w : engine.warnings()) {
        std::cerr << "worker_bench: warning: " << w << "\n";
    }
    return !result.empty() && result[0] == '-' ? 1 : 0;
}
