#include <ostream>

#include "cli/commands.h"
#include "projectdb/password.h"

namespace cli {

int Probe(Arguments args, std::ostream& out, std::ostream&) {
    out << projectdb::GetDatabaseState(args[0]) << '\n';
    return kExitOk;
}

int PasswordSet(Arguments args, std::ostream&, std::ostream&) {
    projectdb::SetStandardPassword(args[0]);
    return kExitOk;
}

int PasswordClear(Arguments args, std::ostream&, std::ostream&) {
    projectdb::ClearStandardPassword(args[0]);
    return kExitOk;
}

}  // namespace cli
