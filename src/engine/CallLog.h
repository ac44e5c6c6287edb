#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plait::engine {

struct Call {
    std::string operation;
    std::vector<std::string> args;
    bool operator==(const Call&) const = default;
};

// The fixed one-line form of a call: name("a", "b"), each argument quoted with \ " CR LF
// and other control characters escaped as \\ \" \r \n \xHH; a call without arguments is
// name(). Other tools compare these lines, so the form never changes.
std::string formatCall(const Call& call);
std::string quoteArgument(std::string_view text);

// Calls made to an engine, in order. Shared between an engine and whoever inspects it,
// so the record outlives the engine.
class CallLog {
public:
    void add(Call call);
    std::vector<Call> calls() const;
    std::vector<std::string> lines() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

} // namespace plait::engine
