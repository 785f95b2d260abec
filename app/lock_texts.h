// What the list says about holding files, in the user's words. The protection core knows only
// states, errors, counts and names; the words are made here, for the rows' tooltips and the
// notices alike.
#pragma once

#include "app/protection/protection_model.h"

#include <string>

// Why something is not held, as a clause: "Zugriff verweigert".
std::string LockReason(LockState state, unsigned long error, bool folder, const std::string& holder);
std::string LockReason(const Unheld& why);
// A folder row's tooltip: counts, then the first few entries not held with their reasons, one
// per line, then the released parts.
std::string FolderSummary(const ProtectedTree& tree);
// What the tooltip of a row not held says; empty for a row that holds all it should.
std::string UnprotectedReason(const ProtectedFile& file);
