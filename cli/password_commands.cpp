#include <ostream>

#include "cli/commands.h"
#include "projectdb/password.h"

namespace cli {

int Probe(Arguments args, std::ostream& out, std::ostream& err) {
    const projectdb::DatabaseState state = projectdb::GetDatabaseState(args[0]);
    out << state << '\n';
    if (state == projectdb::kStateUnreadable)
        err << args[0] << ": " << DescribeUnusable(args[0], state) << '\n';
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
