#pragma once

#include "engine/EngineRegistry.h"

namespace plait::pdf {

// Registers the real engine under "PDF.PlaitApp".
void registerPlaitEngine(engine::EngineRegistry& registry);

} // namespace plait::pdf
