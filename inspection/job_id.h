#pragma once
// A job's identity: a random UUID (version 4) in its lowercase text form,
// given to the job on its first save or publication and kept by every later
// copy, so that the company archive knows a job again wherever it comes from.

#include <string>
#include <string_view>

namespace korsi::job {

// "3f2b…-…": 36 characters, lowercase hexadecimal with four dashes.
std::string newJobId();

// Whether the text is a UUID in that form.
bool isJobId(std::string_view text);

}  // namespace korsi::job
