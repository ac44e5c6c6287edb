#pragma once

#include "Job.h"

#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// Fills a Job from the set-operations in the order the program makes them.
//
// Two operations change how later ones are read: setUnits sets the unit of the lengths that
// come after it, and setStamp starts the stamp's part of the calls, so that the angle, scale,
// offsets and overlay pages that follow it belong to the stamp and not to the pages. A
// value given twice keeps the later one.
class JobBuilder {
public:
    explicit JobBuilder(Job& job) : job_(job) {}

    void apply(std::string_view operation, const std::vector<std::string>& args);

private:
    enum class Unit { Points, Inches, Centimeters, Millimeters };

    std::optional<double> length(std::string_view op, const std::string& text);
    std::optional<double> plainNumber(std::string_view op, const std::string& text);
    void box(std::optional<BoxValues>& target, std::string_view op, const std::vector<std::string>& args);

    Job& job_;
    Unit unit_ = Unit::Points;
    bool stampMode_ = false;
};

} // namespace plait::pdf
