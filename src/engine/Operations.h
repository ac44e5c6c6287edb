#pragma once

#include <span>
#include <string_view>

namespace plait::engine {

// One operation of the merge engine's call protocol: its name and how many text
// arguments it takes. The table is the single authority on what may be called.
struct Operation {
    std::string_view name;
    int arity;
};

// Every set-operation of the protocol, in the order the protocol lists them.
std::span<const Operation> operationTable();

// The operation of that exact (case-sensitive) name, or nullptr.
const Operation* findOperation(std::string_view name);

} // namespace plait::engine
