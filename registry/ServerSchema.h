#pragma once
// The registry's tables on the server (docs/registry.md): made on first use, brought forward
// by later versions, with their version in `registry_meta`.
#include "registry/Odbc.h"

namespace virel {

// The version of the server's tables this program writes.
inline constexpr int kServerSchemaVersion = 2;

// Makes or brings forward the tables, in one transaction under an advisory lock, so that rooms
// pushing for the first time at the same moment make them once. Throws odbc::EOdbc; a newer
// version than this program's is a Failed "newer" error (odbc::EOdbc with state "VRL01").
void EnsureServerSchema(odbc::TConnection& connection);

}  // namespace virel
