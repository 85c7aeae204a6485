// One figure for the table that scripts/benchmarks.sh prints after all benchmarks:
//     SUMMARY|<figure>|<measured>|<goal>|<verdict>
#pragma once

#include <cstdio>

inline void PrintSummary(const char* figure, const char* measured, const char* goal, bool met) {
    std::printf("SUMMARY|%s|%s|%s|%s\n", figure, measured, goal, met ? "met" : "MISSED");
}
