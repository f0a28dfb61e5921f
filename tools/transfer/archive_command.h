#pragma once
// korsi7-transfer's commands on the company archive (PostgreSQL):
//
//   korsi7-transfer publish JOB.kjob
//   korsi7-transfer archive init | upgrade | sync | outbox
//   korsi7-transfer archive list [--object O] [--client C] [--inspector I]
//                   [--since DATE] [--until DATE] [--verdict V] [--json]
//   korsi7-transfer archive get ID -o JOB.kjob [--revision N]
//   korsi7-transfer archive approve ID
//
// each with [--config FILE] [--outbox FILE] [--quiet]. The server is the
// configuration's "company_archive" line; the outbox sits beside the
// configuration unless --outbox names it. Messages are Russian, as the
// desktop program's.

#include <cstdio>
#include <string>
#include <vector>

namespace korsi::transfer {

// Exit statuses of these commands beyond the program's own.
inline constexpr int kExitQueued = 6;   // the server not reached: the job waits in the outbox
inline constexpr int kExitRefused = 7;  // the server refused: no permission, no archive, a newer schema

// Whether the arguments (after the program's name) are one of these commands.
bool isArchiveCommand(const std::vector<std::string>& args);

// The whole command, from the arguments after the program's name.
int archiveCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

std::string archiveHelpText();
// The paragraph of the program's --help on these commands.
std::string archiveHelpSummary();

}  // namespace korsi::transfer
