#pragma once

#include <string>

// "2,000,000" with separator between the groups of three digits.
std::string GroupedNumber(long long number, const std::string& separator = ",");
