#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "projectdb/database_check.h"
#include "projectdb/password.h"

namespace cli {

int Probe(Arguments args, std::ostream& out, std::ostream& err) {
    const projectdb::DatabaseState state = projectdb::GetDatabaseState(args[0]);
    out << state << '\n';
    if (state == projectdb::kStateUnreadable)
        err << args[0] << ": " << DescribeUnusable(args[0], state) << '\n';
    return kExitOk;
}

int Check(Arguments args, std::ostream& out, std::ostream&) {
    const std::vector<std::string> problems = projectdb::CheckDatabaseFile(args[0]);
    for (const std::string& problem : problems) out << problem << '\n';
    return problems.empty() ? kExitOk : kExitFailure;
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
