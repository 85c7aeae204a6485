// The faults a world injects: which platform functions fail for an interface (fail=), and
// which of them write over their caller's record first (scribble=).
#pragma once

#include "world_line.h"

#include <set>
#include <string>

// Each reads a comma-separated list of function names into `functions` and answers what it
// expected instead, or nothing when the list was right.
std::string ReadFailingFunctions(const Setting& s, std::set<std::string>& functions);
std::string ReadScribblingFunctions(const Setting& s, std::set<std::string>& functions);
