#include "engine/Operations.h"
#include "engine/RecordingEngine.h"
#include "engine/Results.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace plait::engine;

namespace {

TEST(OperationTable, NamesAreUniqueAndArityIsZeroOneTwoOrFour) {
    std::set<std::string_view> names;
    for (const auto& op : operationTable()) {
        EXPECT_TRUE(names.insert(op.name).second) << op.name;
        EXPECT_TRUE(op.arity == 0 || op.arity == 1 || op.arity == 2 || op.arity == 4) << op.name;
        EXPECT_EQ(findOperation(op.name), &op);
    }
    EXPECT_EQ(names.size(), 77u);
    EXPECT_EQ(findOperation("setinfile"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(findOperation(""), nullptr);
}

// The engine refuses a call with the wrong number of arguments before it reaches the
// engine's own handler, so nothing of it is recorded.
TEST(OperationTable, EveryOperationRejectsEveryWrongArgumentCount) {
    RecordingEngine engine;
    for (const auto& op : operationTable()) {
        for (int n = 0; n <= 5; ++n) {
            std::vector<std::string> args(static_cast<std::size_t>(n), "1");
            if (n == op.arity) {
                EXPECT_NO_THROW(engine.call(op.name, args)) << op.name;
            } else {
                EXPECT_THROW(engine.call(op.name, args), EngineCallError) << op.name << " with " << n;
            }
        }
    }
    EXPECT_EQ(engine.log()->calls().size(), operationTable().size());
    EXPECT_THROW(engine.call("setNothing"), EngineCallError);
    EXPECT_THROW(engine.call("SETINFILE", {"a.pdf"}), EngineCallError);
}

TEST(Results, FailuresAreMinusOneToMinusFiveWithTheirMessages) {
    ASSERT_EQ(failureTable().size(), 5u);
    EXPECT_EQ(resultMessage(-1), "Cannot open input file.");
    EXPECT_EQ(resultMessage(-2), "Cannot create output file.");
    EXPECT_EQ(resultMessage(-3), "Cannot decrypt input file.");
    EXPECT_EQ(resultMessage(-4), "Error parsing input file.");
    EXPECT_EQ(resultMessage(-5), "No pages for output PDF.");
    EXPECT_EQ(failureText(BuildFailure::NoPages), "No pages for output PDF");
    for (long long r : {-7LL, -6LL, 0LL, 1LL, 42LL}) {
        EXPECT_FALSE(isFailure(r)) << r;
        EXPECT_EQ(resultMessage(r), std::nullopt) << r;
    }
    for (long long r = -5; r <= -1; ++r) {
        EXPECT_TRUE(isFailure(r)) << r;
    }
    // A cancel lies below the failures and is no failure.
    EXPECT_FALSE(isFailure(*parseResult(kCancelledResult)));
}

TEST(Results, ParseAllowsBlanksAndALineEndButNothingElse) {
    EXPECT_EQ(parseResult(" -3 \r\n"), -3);
    EXPECT_EQ(parseResult("12"), 12);
    EXPECT_EQ(parseResult(""), std::nullopt);
    EXPECT_EQ(parseResult("  "), std::nullopt);
    EXPECT_EQ(parseResult("3 pages"), std::nullopt);
    EXPECT_EQ(parseResult("[BOOKMARK]"), std::nullopt);
    EXPECT_EQ(failureMessage("-2\n"), "Cannot create output file.");
    EXPECT_EQ(failureMessage("-6"), std::nullopt);
    EXPECT_EQ(failureMessage("<BM>"), std::nullopt);
}

} // namespace
