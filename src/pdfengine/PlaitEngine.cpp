#include "PlaitEngine.h"

namespace plait::pdf {

void registerPlaitEngine(engine::EngineRegistry& /*registry*/) {}

} // namespace plait::pdf
