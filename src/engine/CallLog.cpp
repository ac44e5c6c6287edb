#include "CallLog.h"

namespace plait::engine {

std::string quoteArgument(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\x";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0x0F]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
    return out;
}

std::string formatCall(const Call& call) {
    std::string line = call.operation;
    line.push_back('(');
    for (std::size_t i = 0; i < call.args.size(); ++i) {
        if (i > 0) {
            line += ", ";
        }
        line += quoteArgument(call.args[i]);
    }
    line.push_back(')');
    return line;
}

void CallLog::add(Call call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

std::vector<Call> CallLog::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> CallLog::lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    out.reserve(calls_.size());
    for (const auto& c : calls_) {
        out.push_back(formatCall(c));
    }
    return out;
}

void CallLog::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

} // namespace plait::engine
