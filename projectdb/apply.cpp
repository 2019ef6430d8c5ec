#include "projectdb/apply.h"

#include <exception>
#include <filesystem>
#include <memory>

#include "jet/error.h"
#include "platform/file_copy.h"
#include "platform/runtime_error.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/connection_text.h"
#include "projectdb/project_settings.h"

namespace projectdb {

namespace {

std::string DescribeFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const jet::JetError& error) {
        return std::to_string(error.number()) + " " + error.description();
    } catch (const platform::RuntimeError& error) {
        return std::to_string(error.number()) + " " + error.description();
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown failure";
    }
}

// The project settings component is handed the trimmed path. Where blanks are part of file names
// the trimmed path may name another file, even the source; then the levels go where the probe
// looked and the other steps write, to the target as given.
std::string ProjectPath(const std::string& target) {
    const std::string trimmed = TrimBlanks(target);
    if (trimmed == target) return trimmed;
    std::error_code error;
    return std::filesystem::equivalent(trimmed, target, error) ? trimmed : target;
}

// The levels go through the project settings component, which is let go of (closing any project
// a failure left open) before the next step opens the file on its own.
void WriteLevels(const std::string& target, DatabaseState state,
                 std::span<ListControl* const> levelLists) {
    // Not ConnectionText: ProjectPath has already decided whether the blanks stay.
    std::string connection = ProjectPath(target);
    if (state == kStateStandardPassword) connection += "|" + GetStandardPassword();
    ProjectSettings settings;
    const ProjectSettings::Handle handle = settings.OpenProject(connection);
    SaveAuthorizationLevels(settings, handle, levelLists);
    settings.CloseProject(handle);
}

}  // namespace

const char* ApplyFailureMessage(ApplyStep step) {
    return step == ApplyStep::Copy ? kCopyFailedMessage : kChangesFailedMessage;
}

ApplyResult ApplyChanges(const ApplyChoices& choices, std::span<ListControl* const> levelLists,
                         const ListControl& languages, const MessageSink& showLanguageMessage) {
    ApplyResult result;
    ApplyStep step = ApplyStep::Copy;
    try {
        std::string target;
        if (!TrimBlanks(choices.copyPath).empty()) {
            platform::CopyFileReplacing(choices.sourcePath, choices.copyPath);
            target = choices.copyPath;
        } else {
            result.workedInPlace = true;
            target = choices.sourcePath;
        }
        step = ApplyStep::Changes;

        result.targetState = GetDatabaseState(target);
        // A target that opens neither way (gone, or held by another program) has had nothing
        // done to it, which must not look like a finished job.
        if (result.targetState != kStateNoPassword &&
            result.targetState != kStateStandardPassword) {
            result.failedStep = step;
            result.failure = result.targetState == kStateMissing
                                 ? "'" + target + "' does not exist"
                                 : "'" + target +
                                       "' opens neither without nor with the standard password, "
                                       "or another program holds it";
            return result;
        }
        WriteLevels(target, result.targetState, levelLists);
        SaveLanguageReleases(target, result.targetState, languages, showLanguageMessage);
        if (result.targetState == kStateNoPassword && choices.passwordSet) {
            SetStandardPassword(target);
        } else if (result.targetState == kStateStandardPassword && choices.passwordClear) {
            ClearStandardPassword(target);
        }
        result.completed = true;
    } catch (...) {
        result.failedStep = step;
        result.failure = DescribeFailure(std::current_exception());
    }
    return result;
}

}  // namespace projectdb
