#pragma once
// The handlers behind travix-cli's commands; cli.cpp lists them.

#include <iosfwd>
#include <string>

#include "cli/cli.h"
#include "projectdb/password.h"

namespace cli {

// Fills the string table for the level names, in the UI language the product's registry chooses;
// without a readable registry, in the table's first language.
void PrepareStringTable();

// Why a project database in `state` (0 or 3) cannot be worked on, as far as can be told: "no such
// file (state 0)", or for state 3 whether another program holds it, it is read-only, damaged, or
// carries a password other than the standard one.
std::string DescribeUnusable(const std::string& path, projectdb::DatabaseState state);

// probe PATH: prints the database state (0..3) on a line of its own; for 3 the reason on `err`.
int Probe(Arguments args, std::ostream& out, std::ostream& err);
// check PATH: prints each inconsistency of the file's structures on a line of its own (the open's
// failure when it does not open); 0 when there is none, 1 otherwise.
int Check(Arguments args, std::ostream& out, std::ostream& err);
// password set PATH / password clear PATH: puts the standard password on or takes it off.
int PasswordSet(Arguments args, std::ostream& out, std::ostream& err);
int PasswordClear(Arguments args, std::ostream& out, std::ostream& err);
// show PATH [--json]: the state, format, component levels and language releases of a project.
int Show(Arguments args, std::ostream& out, std::ostream& err);
// export SRC [DST] [options]: the window's OK, copying SRC to DST or changing SRC in place.
int Export(Arguments args, std::ostream& out, std::ostream& err);

}  // namespace cli
