// Text helpers that the run's report files share.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orvex {

// Characters (not bytes) of a UTF-8 text.
std::size_t CharCount(const std::string& S);

// Prefix followed by Items joined with ", ", broken after a comma where a line would pass 100
// characters; continuation lines are indented by three spaces.
void AppendWrapped(std::vector<std::string>& Lines, const std::string& Prefix,
                   const std::vector<std::string>& Items);

}  // namespace orvex
