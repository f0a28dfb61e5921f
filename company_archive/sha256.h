#pragma once
// SHA-256 (FIPS 180-4) of a byte string, as 64 lowercase hexadecimal digits:
// the company archive knows a job's content again by it.

#include <string>
#include <string_view>

namespace korsi::company {

std::string sha256Hex(std::string_view bytes);

}  // namespace korsi::company
