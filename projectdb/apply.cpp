#include "projectdb/apply.h"

#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "jet/error.h"
#include "jet/file_io.h"
#include "platform/file_copy.h"
#include "platform/runtime_error.h"
#include "projectdb/authorization_levels.h"
#include "projectdb/connection_text.h"
#include "projectdb/database_check.h"
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

// The engine's view of the working file: every failed read or write is remembered, since a run
// whose write failed midway may hold a half-written file that must never take the target's name.
class WatchedFile : public jet::FileIo {
    // A short read (3049) is the file's own damage, which the engine reports; anything else is the
    // disk's.
    template <typename Call>
    auto watch(Call call) const {
        try {
            return call();
        } catch (const jet::JetError& error) {
            if (error.number() == jet::kDiskIo) failed_ = true;
            throw;
        } catch (...) {
            failed_ = true;
            throw;
        }
    }

  public:
    WatchedFile(std::unique_ptr<jet::FileIo> file, bool& failed)
        : file_(std::move(file)), failed_(failed) {}
    std::uint64_t size() const override {
        return watch([&] { return file_->size(); });
    }
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
        watch([&] { file_->readAt(offset, out); });
    }
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        watch([&] { file_->writeAt(offset, data); });
    }
    void flush() override {
        watch([&] { file_->flush(); });
    }

  private:
    std::unique_ptr<jet::FileIo> file_;
    bool& failed_;
};

// One engine handle on the working file for the whole run, opened the way the probe opens a
// file: without a password (state 1), else with the standard one (state 2).
struct WorkingDatabase {
    DatabaseState state = kStateUnreadable;
    std::unique_ptr<jet::Database> database;
    bool ioFailed = false;
};

std::unique_ptr<jet::Database> OpenWorking(const platform::WorkingFile& work,
                                           const std::string& target, bool withPassword,
                                           bool& ioFailed, const jet::Database::FileWrapper& wrap) {
    auto file = jet::adoptFile(static_cast<jet::NativeFile>(work.Duplicate()), target);
    if (wrap) file = wrap(std::move(file));
    const jet::OpenOptions options{
        .connect = withPassword ? GetPasswordConnectText() : std::string(), .deferSync = true};
    return jet::Database::Open(std::make_unique<WatchedFile>(std::move(file), ioFailed), target,
                               options);
}

void ProbeWorking(const platform::WorkingFile& work, const std::string& target,
                  const jet::Database::FileWrapper& wrap, WorkingDatabase& out) {
    if (work.readOnly()) return;  // the engine opens no read-only file for writing
    for (const bool withPassword : {false, true}) {
        try {
            out.database = OpenWorking(work, target, withPassword, out.ioFailed, wrap);
            out.state = withPassword ? kStateStandardPassword : kStateNoPassword;
            return;
        } catch (...) {
            // As in the probe: only whether it opens counts.
        }
    }
}

std::string Joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& problem : problems) text += (text.empty() ? "" : "; ") + problem;
    return text;
}

}  // namespace

const char* ApplyFailureMessage(ApplyStep step) {
    return step == ApplyStep::Copy ? kCopyFailedMessage : kChangesFailedMessage;
}

ApplyResult ApplyChanges(const ApplyChoices& choices, std::span<ListControl* const> levelLists,
                         const ListControl& languages, const MessageSink& showLanguageMessage) {
    return ApplyChanges(choices, levelLists, languages, showLanguageMessage, {});
}

// Every step runs on the working file; what a step did before a failure stays in it, and it takes
// the target's name at the end as long as it is sound. A file that a failed write or the check
// found broken is dropped whole: then the target keeps its old content.
ApplyResult ApplyChanges(const ApplyChoices& choices, std::span<ListControl* const> levelLists,
                         const ListControl& languages, const MessageSink& showLanguageMessage,
                         const jet::Database::FileWrapper& wrap) {
    ApplyResult result;
    ApplyStep step = ApplyStep::Copy;
    std::optional<platform::WorkingFile> work;
    WorkingDatabase working;
    try {
        std::string target;
        if (!TrimBlanks(choices.copyPath).empty()) {
            work.emplace(platform::WorkingFile::CopyOf(choices.sourcePath, choices.copyPath));
            target = choices.copyPath;
        } else {
            result.workedInPlace = true;
            target = choices.sourcePath;
        }
        step = ApplyStep::Changes;

        if (!work && FileExists(target)) {
            try {
                work.emplace(platform::WorkingFile::InPlace(target));
            } catch (const platform::FileCopyError&) {
                // Held by another program, read-only or no file: it opens neither way.
            }
        }
        if (work) ProbeWorking(*work, target, wrap, working);
        result.targetState = work                 ? working.state
                             : FileExists(target) ? kStateUnreadable
                                                  : kStateMissing;
        // A target that opens neither way (gone, or held by another program) has had nothing
        // done to it, which must not look like a finished job. A copy made stays.
        if (result.targetState != kStateNoPassword &&
            result.targetState != kStateStandardPassword) {
            result.failedStep = step;
            result.failure = result.targetState == kStateMissing
                                 ? "'" + target + "' does not exist"
                                 : "'" + target +
                                       "' opens neither without nor with the standard password, "
                                       "or another program holds it";
            if (work && !result.workedInPlace) work->Commit();
            return result;
        }
        jet::Database& database = *working.database;
        try {
            ProjectSettings settings;
            SaveAuthorizationLevels(settings, settings.AttachProject(database), levelLists);
            SaveLanguageReleases(database, languages, showLanguageMessage);
            if (result.targetState == kStateNoPassword && choices.passwordSet) {
                SetStandardPasswordOf(database);
            } else if (result.targetState == kStateStandardPassword && choices.passwordClear) {
                ClearStandardPasswordOf(database);
            }
            result.completed = true;
        } catch (...) {
            result.failedStep = step;
            result.failure = DescribeFailure(std::current_exception());
        }
        if (working.ioFailed) {
            throw jet::diskIo("a write to the working copy of '" + target +
                              "' failed; it is left unchanged");
        }
        if (const auto problems = CheckWrittenStructures(database); !problems.empty()) {
            throw jet::corrupt("the changes to '" + target +
                               "' would damage it: " + Joined(problems));
        }
        working.database.reset();
        work->Commit();
    } catch (...) {
        result.completed = false;
        result.failedStep = step;
        result.failure = DescribeFailure(std::current_exception());
    }
    return result;
}

}  // namespace projectdb
