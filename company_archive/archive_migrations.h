#pragma once
// The company archive's schema on the server, as numbered migrations: each
// runs once, in order, in the transaction that records its number in
// korsi7.schema_version. A migration once released is never edited; a change
// is a new one.

#include <span>

namespace korsi::company {

struct Migration {
  int version;
  const char* sql;
};

std::span<const Migration> migrations();

// The schema this program knows: the last migration's number.
int knownSchemaVersion();

}  // namespace korsi::company
