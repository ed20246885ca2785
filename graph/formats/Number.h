// Weights read as C's strtod reads them, but the whole text must be the
// number: "1.5abc" is not one. Plain decimals take a fast exact path; every
// other form (hex floats, inf, nan, long mantissas, far exponents) goes to
// strtod itself, so the double is always the one strtod gives.
#pragma once

#include <string_view>

// True, with value set, when strtod, given text, consumes every byte of it
// (and text is not empty); false otherwise, value untouched. Like strtod,
// leading white space is accepted. strtod follows LC_NUMERIC: nothing here
// sets a locale, so its decimal point is '.'.
bool Number_Read(std::string_view text, double& value);
