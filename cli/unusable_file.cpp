// Why a file probes as state 3. The probe only learns "opens neither way"; a script's user needs
// to know what to do about it, so the two opens are repeated here and their errors told apart.
#include <unistd.h>

#include <optional>

#include "cli/commands.h"
#include "jet/error.h"
#include "platform/file_system.h"
#include "projectdb/db_engine.h"

namespace cli {
namespace {

// The error of an exclusive read-write open with or without the standard password; 0 if it opened.
int OpenError(const std::string& path, bool withPassword, std::string& description) {
    try {
        projectdb::DbEngine::Engine()
            .OpenDatabase(path, true, false,
                          withPassword ? projectdb::GetPasswordConnectText() : std::string())
            ->Close();
        return 0;
    } catch (const jet::JetError& error) {
        description = error.description();
        return error.number();
    } catch (const std::exception& error) {
        description = error.what();
        return -1;
    }
}

std::string Reason(const std::string& path) {
    // The platform's query takes the UTF-8 path as it is on Windows too.
    const std::optional<platform::FileAttributes> attributes = platform::GetFileAttributes(path);
    if (attributes && attributes->directory) return "it is a folder";
    std::string description;
    int error = OpenError(path, false, description);
    // A file with some password fails without one; what the standard password meets decides.
    if (error == jet::kNotAValidPassword) error = OpenError(path, true, description);
    switch (error) {
        case jet::kNotAValidPassword:
            return "it carries a password other than the standard one";
        case jet::kFileInUse:
            return "another program holds it open";
        case jet::kCannotOpenFile:
        case jet::kReadOnly:
            if (access(path.c_str(), R_OK) != 0) return "it may not be read (permissions)";
            return "it is read-only (permissions or a read-only file system)";
        case jet::kUnrecognizedFormat:
        case jet::kCorruptDatabase:
            return "it is damaged or no Jet database (" + description + ")";
        case 0:
            return "it opened when asked again, so it was busy a moment ago";
        default:
            return std::to_string(error) + ' ' + description;
    }
}

}  // namespace

std::string DescribeUnusable(const std::string& path, projectdb::DatabaseState state) {
    if (state == projectdb::kStateMissing) return "no such file (state 0)";
    return "does not open, neither without nor with the standard password: " + Reason(path) +
           " (state " + std::to_string(state) + ")";
}

}  // namespace cli
