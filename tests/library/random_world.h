// The seeded random worlds of the sweep and the questions asked of each: the same world
// and the same questions for the same seed on every machine and run.
#pragma once

#include "world_model.h"

#include <cstdint>
#include <vector>

ModelWorld GenerateWorld(uint64_t seed);

struct Question {
    Identity identity;
    int index;
};

// Every identity with every telling index, in an order drawn from the seed, as many as a
// budget of interface visits allows.
std::vector<Question> QuestionsToAsk(const ModelWorld& world, uint64_t seed);
