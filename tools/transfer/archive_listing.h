#pragma once
// korsi7-transfer archive list's output: one line of tab-separated fields per
// job under a header line, or with --json an array of one object per job.

#include <string>
#include <vector>

#include "company_archive/archive_browse.h"

namespace korsi::transfer {

std::string listingText(const std::vector<company::ListedJob>& jobs);
std::string listingJson(const std::vector<company::ListedJob>& jobs);

}  // namespace korsi::transfer
