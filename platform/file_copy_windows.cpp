#include <windows.h>

#include <random>

#include "platform/file_copy.h"
#include "platform/file_copy_detail.h"
#include "platform/utf16.h"

namespace platform {

using file_copy_detail::quoted;

namespace {

[[noreturn]] void fail(DWORD error, const std::string& what) {
    char buffer[512] = {};
    const DWORD n =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, buffer, static_cast<DWORD>(sizeof buffer), nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    throw FileCopyError(static_cast<int>(error), what + ": " + text);
}

// Paths as Windows normalises them, long ones with the \\?\ prefix; a path that is not UTF-8 or
// holds a NUL names no file.
std::wstring widen(const std::string& utf8) {
    std::optional<std::wstring> wide = WidePath(utf8);
    if (!wide) fail(ERROR_INVALID_NAME, "malformed path " + quoted(utf8));
    return std::move(*wide);
}

// A new name in `folder` that nothing has: "tvx", random hex, ".tmp". GetTempFileNameW would do,
// but takes no folder longer than MAX_PATH.
std::wstring randomWorkName(const std::wstring& folder) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::random_device random;
    std::wstring name = folder + L"\\tvx";
    for (int i = 0; i < 12; ++i) name += kDigits[random() % 16];
    return name + L".tmp";
}

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

bool sameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!GetFileInformationByHandle(a, &x) || !GetFileInformationByHandle(b, &y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

struct WorkingFile::State {
    std::wstring target, temporary;
    HANDLE source = INVALID_HANDLE_VALUE;  // shared for reading only, until the commit
    HANDLE held = INVALID_HANDLE_VALUE;    // the file now at the target, ditto
    HANDLE work = INVALID_HANDLE_VALUE;
    std::string given;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;  // in place: the file's own, which it keeps
    bool inPlace = false, readOnly = false, committed = false;

    static void release(HANDLE& h) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
    ~State() {
        release(work);
        release(held);
        release(source);
        if (!committed && !temporary.empty()) DeleteFileW(temporary.c_str());
    }
    // A handle that lets others read but neither write nor open it as a database; it lets the
    // file be deleted or replaced, which the commit does after letting go of it.
    static HANDLE hold(const std::wstring& path) {
        return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    void createBeside(const std::wstring& from) {
        const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
        // Working files of runs that are gone; a live run holds its own without sharing.
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder + L"\\tvx*.tmp").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        for (int attempt = 0; temporary.empty(); ++attempt) {
            const std::wstring name = randomWorkName(folder);
            const HANDLE created = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (created != INVALID_HANDLE_VALUE) {
                CloseHandle(created);
                temporary = name;
            } else if (const DWORD error = GetLastError();
                       error != ERROR_FILE_EXISTS || attempt > 100) {
                fail(error, "cannot create a file beside " + quoted(given));
            }
        }
        if (!CopyFileW(from.c_str(), temporary.c_str(), FALSE)) {
            fail(GetLastError(), "cannot copy to " + quoted(given));
        }
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        work = CreateFileW(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (work == INVALID_HANDLE_VALUE) fail(GetLastError(), "cannot copy to " + quoted(given));
    }
};

WorkingFile::WorkingFile(std::unique_ptr<State> state) : state_(std::move(state)) {}
WorkingFile::WorkingFile(WorkingFile&&) noexcept = default;
WorkingFile& WorkingFile::operator=(WorkingFile&&) noexcept = default;
WorkingFile::~WorkingFile() = default;

CopyMethod WorkingFile::method() const {
    return CopyMethod::KernelCopy;
}

bool WorkingFile::readOnly() const {
    return state_->readOnly;
}

std::intptr_t WorkingFile::Duplicate() const {
    HANDLE copy = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), state_->work, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        fail(GetLastError(), "cannot open the working copy of " + quoted(state_->given));
    }
    return reinterpret_cast<std::intptr_t>(copy);
}

WorkingFile WorkingFile::CopyOf(const std::string& from, const std::string& to) {
    auto state = std::make_unique<State>();
    state->given = to;
    const std::wstring source = widen(from);
    state->target = widen(to);
    state->source = State::hold(source);
    if (state->source == INVALID_HANDLE_VALUE) {
        fail(GetLastError(), "cannot read the source " + quoted(from));
    }
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    state->readOnly = sourceAttributes & FILE_ATTRIBUTE_READONLY;
    const DWORD attributes = GetFileAttributesW(state->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        Handle existing(CreateFileW(state->target.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (existing.valid() && sameFile(state->source, existing.get())) {
            throw FileCopyError(ERROR_INVALID_PARAMETER, "cannot copy " + quoted(from) +
                                                             " onto itself: " + quoted(to) +
                                                             " is the same file");
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            fail(ERROR_ACCESS_DENIED, "cannot replace the folder " + quoted(to));
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            fail(ERROR_ACCESS_DENIED, "cannot replace the read-only " + quoted(to));
        }
        // Fails while anybody, a database handle above all, has the file open for writing.
        state->held = State::hold(state->target);
        if (state->held == INVALID_HANDLE_VALUE)
            fail(GetLastError(), "cannot replace " + quoted(to));
    }
    state->createBeside(source);
    return WorkingFile(std::move(state));
}

WorkingFile WorkingFile::InPlace(const std::string& path) {
    auto state = std::make_unique<State>();
    state->given = path;
    state->inPlace = true;
    state->target = widen(path);
    const DWORD attributes = GetFileAttributesW(state->target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) fail(GetLastError(), "cannot open " + quoted(path));
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
        fail(ERROR_ACCESS_DENIED, "cannot change " + quoted(path));
    }
    state->attributes = attributes;
    state->source = State::hold(state->target);
    if (state->source == INVALID_HANDLE_VALUE) fail(GetLastError(), "cannot open " + quoted(path));
    state->createBeside(state->target);
    return WorkingFile(std::move(state));
}

void WorkingFile::Commit() {
    State& s = *state_;
    if (!FlushFileBuffers(s.work)) fail(GetLastError(), "cannot write " + quoted(s.given));
    State::release(s.work);
    if (!s.inPlace && s.readOnly) SetFileAttributesW(s.temporary.c_str(), FILE_ATTRIBUTE_READONLY);
    // ReplaceFileW keeps the creation time and security but not every attribute (Wine keeps none),
    // so the working file takes the old file's attributes itself.
    if (s.inPlace && !SetFileAttributesW(s.temporary.c_str(), s.attributes)) {
        fail(GetLastError(), "cannot keep the attributes of " + quoted(s.given));
    }
    // Let go just before the replacement, which needs the old file unopened by us.
    State::release(s.held);
    State::release(s.source);
    // In place, ReplaceFileW keeps the old file's creation time and security.
    const BOOL done = s.inPlace ? ReplaceFileW(s.target.c_str(), s.temporary.c_str(), nullptr,
                                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                : MoveFileExW(s.temporary.c_str(), s.target.c_str(),
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done) fail(GetLastError(), "cannot replace " + quoted(s.given));
    s.committed = true;
}

}  // namespace platform
