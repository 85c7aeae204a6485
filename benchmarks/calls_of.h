// The platform calls that one call makes, as the device simulator's journal records them.
#pragma once

#include "support/simulated_world.h"

#include <functional>
#include <string>
#include <vector>

inline std::vector<std::string> CallsOf(const SimulatedWorld& world,
                                        const std::function<void()>& call) {
    world.ClearJournal();
    call();
    return world.Journal();
}
