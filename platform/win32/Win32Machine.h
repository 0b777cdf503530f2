// The live Windows machine.
#pragma once

#include <memory>

#include "platform/Machine.h"

namespace korvane {

std::unique_ptr<Machine> openLiveMachine();

}  // namespace korvane
