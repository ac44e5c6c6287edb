#pragma once

namespace plait::pdf {

// Image reduction (setImageReduce): images drawn at more than `dpi` pixels per inch of the
// page are resampled to `dpi` and encoded again. Off while `dpi` is 0.
struct ImageReduce {
    int dpi = 0;
    int quality = 75; // JPEG quality, 1 to 100, for photographs

    bool wanted() const { return dpi > 0; }
};

} // namespace plait::pdf
