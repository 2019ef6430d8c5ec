#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/sendfile.h>
#endif

#include "platform/file_copy.h"
#include "platform/file_copy_detail.h"
#include "platform/file_lock.h"

namespace platform {

using file_copy_detail::folderOf;
using file_copy_detail::quoted;

namespace {

[[noreturn]] void fail(int error, const std::string& what) {
    throw FileCopyError(error, what + ": " + std::strerror(error));
}

// Reads errno before anything that builds the message can change it.
[[noreturn]] void failWithErrno(const char* what, const std::string& path = {}) {
    const int error = errno;
    fail(error, path.empty() ? std::string(what) : what + (" " + quoted(path)));
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

int openRetrying(const std::string& path, int flags) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The whole-file lock our database engine takes, without waiting: a write lock fails while any
// engine handle holds the file; a read lock fails while one holds it exclusively.
bool tryLock(int fd, bool write) {
    return LockedFile::TryLockDescriptor(fd, write ? FileLock::Exclusive : FileLock::Shared);
}

// Errors that mean "this way of copying is not offered here", as opposed to a failed copy.
bool notOffered(int error) {
    return error == ENOSYS || error == EXDEV || error == EINVAL || error == EOPNOTSUPP ||
           error == ENOTTY || error == EPERM || error == EBADF;
}

void copyThroughBuffer(int in, int out) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failWithErrno("cannot read the source");
        if (got == 0) return;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n =
                ::write(out, buffer.data() + put, static_cast<std::size_t>(got - put));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) failWithErrno("cannot write the copy");
            if (n == 0) fail(EIO, "cannot write the copy");
            put += n;
        }
    }
}

#ifdef __linux__
// Repeats a kernel copy call until it reports the end; the bytes it moved. A call the file system
// does not offer, before any byte moved, is 0 moved, so that the caller tries another way.
template <typename Call>
off_t copyInKernel(Call call) {
    off_t done = 0;
    for (;;) {
        const ssize_t n = call();
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (done > 0 || !notOffered(errno))) failWithErrno("cannot copy the bytes");
        return done;
    }
}
#endif

// Moves every byte of `in` (from its current position) to `out`, in the fastest way offered.
CopyMethod copyBytes(int in, int out, off_t size) {
#ifdef FICLONE
    if (::ioctl(out, FICLONE, in) == 0) return CopyMethod::Clone;
#endif
#ifdef __linux__
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    const off_t copied =
        copyInKernel([&] { return ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0); });
    // Some file systems answer 0 at once for data they produce on demand; those take a slower way.
    if (copied > 0 || size == 0) return CopyMethod::KernelCopy;
    if (copyInKernel([&] { return ::sendfile(out, in, nullptr, kChunk); }) > 0) {
        return CopyMethod::KernelCopy;
    }
#else
    (void)size;
#endif
    copyThroughBuffer(in, out);
    return CopyMethod::UserCopy;
}

// A link at the target is followed, so that the file it names is replaced and the link stays.
std::string resolveTarget(const std::string& to) {
    struct stat link {};
    if (::lstat(to.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return to;
    char resolved[PATH_MAX];
    if (::realpath(to.c_str(), resolved) == nullptr) return to;  // dangling: replace the link
    return resolved;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when `path` still names the file open at `fd`: a lock taken after another run renamed a
// new file over the path would guard a file nobody reaches by that name any more.
bool stillNamed(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && sameFile(open, named);
}

constexpr char kWorkPrefix[] = ".travix-work-";

// Named working files whose run is gone hold no lock: those are removed, live ones are left.
void removeStaleWorkFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kWorkPrefix, sizeof kWorkPrefix - 1) != 0) continue;
        const std::string path = folder + "/" + entry->d_name;
        const Descriptor stale(openRetrying(path, O_RDWR | O_NOFOLLOW | O_NONBLOCK));
        if (stale.get() >= 0 && tryLock(stale.get(), true) && stillNamed(stale.get(), path)) {
            ::unlink(path.c_str());
        }
    }
    ::closedir(dir);
}

std::string randomWorkName(const std::string& folder) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    std::string name = folder + "/" + kWorkPrefix;
    for (int i = 0; i < 12; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    return name;
}

// A new working file in `folder`, locked; `name` stays empty when the file has no name yet.
int createWorkFile(const std::string& folder, std::string& name) {
    removeStaleWorkFiles(folder);
    name.clear();
#ifdef O_TMPFILE
    const int unnamed = openRetrying(folder, O_TMPFILE | O_RDWR);
    if (unnamed >= 0) {
        tryLock(unnamed, true);
        return unnamed;
    }
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = randomWorkName(folder);
        int fd = -1;
        do {
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return -1;
        // Another run's clean-up may have taken it before the lock: then take another name.
        if (tryLock(fd, true) && stillNamed(fd, name)) return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

struct WorkingFile::State {
    Descriptor source;  // locked from the start: shared for a copy, exclusively in place
    Descriptor held;    // the file now at the target of a copy, locked exclusively
    Descriptor work;
    struct stat sourceInfo {};
    std::string given;   // the target as the caller spelled it, for messages
    std::string target;  // the path the working file will take, links resolved
    std::string name;    // the working file's own name, empty while it has none
    bool inPlace = false;
    bool committed = false;
    CopyMethod method = CopyMethod::UserCopy;

    ~State() {
        if (!committed && !name.empty()) ::unlink(name.c_str());
    }
    void createBeside() {
        work.reset(createWorkFile(folderOf(target, "/"), name));
        if (work.get() < 0) failWithErrno("cannot create a file beside", given);
        method = copyBytes(source.get(), work.get(), sourceInfo.st_size);
        struct stat written {};
        if (::fstat(work.get(), &written) != 0) failWithErrno("cannot copy to", given);
        if (written.st_size != sourceInfo.st_size) fail(EIO, "the copy is short");
    }
    // An unnamed working file gets a name of its own first where the target exists, since a
    // link never replaces a file.
    void giveTargetName() {
        const std::string self = "/proc/self/fd/" + std::to_string(work.get());
        if (!inPlace && !held.valid() &&
            ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return;
        }
        for (int attempt = 0; name.empty(); ++attempt) {
            const std::string candidate = randomWorkName(folderOf(target, "/"));
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
                name = candidate;
            } else if (errno != EEXIST || attempt > 100) {
                failWithErrno("cannot replace", given);
            }
        }
        if (::rename(name.c_str(), target.c_str()) != 0) failWithErrno("cannot replace", given);
    }
};

WorkingFile::WorkingFile(std::unique_ptr<State> state) : state_(std::move(state)) {}
WorkingFile::WorkingFile(WorkingFile&&) noexcept = default;
WorkingFile& WorkingFile::operator=(WorkingFile&&) noexcept = default;
WorkingFile::~WorkingFile() = default;

CopyMethod WorkingFile::method() const {
    return state_->method;
}

bool WorkingFile::readOnly() const {
    return (state_->sourceInfo.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::intptr_t WorkingFile::Duplicate() const {
    const int fd = ::fcntl(state_->work.get(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) failWithErrno("cannot open the working copy of", state_->given);
    return fd;
}

WorkingFile WorkingFile::CopyOf(const std::string& from, const std::string& to) {
    for (const std::string* path : {&from, &to}) {
        if (path->empty()) fail(ENOENT, "cannot copy " + quoted(from) + " to " + quoted(to));
        if (path->find('\0') != std::string::npos) fail(EINVAL, "malformed path " + quoted(*path));
    }
    auto state = std::make_unique<State>();
    state->given = to;
    state->source.reset(openRetrying(from, O_RDONLY));
    if (state->source.get() < 0) failWithErrno("cannot read the source", from);
    struct stat& source = state->sourceInfo;
    if (::fstat(state->source.get(), &source) != 0) failWithErrno("cannot read the source", from);
    if (S_ISDIR(source.st_mode)) fail(EISDIR, "cannot copy " + quoted(from));
    if (!S_ISREG(source.st_mode)) fail(EINVAL, "cannot copy " + quoted(from) + ", not a file");
    // Held to the commit: no engine handle changes the source under us, and a source an engine
    // holds exclusively is not copied half-written.
    if (!tryLock(state->source.get(), false)) fail(EBUSY, "cannot copy " + quoted(from));

    if (to.back() == '/') fail(EISDIR, "cannot replace " + quoted(to));
    state->target = resolveTarget(to);
    // The lock on the file now at the target is held until the working file has taken its name:
    // an engine or another apply that opens the old file meanwhile finds it locked, and one that
    // opens it afterwards finds the finished file.
    struct stat existing {};
    if (::stat(state->target.c_str(), &existing) == 0) {
        if (sameFile(existing, source)) {
            throw FileCopyError(EINVAL, "cannot copy " + quoted(from) +
                                            " onto itself: " + quoted(to) + " is the same file");
        }
        if (S_ISDIR(existing.st_mode)) fail(EISDIR, "cannot replace " + quoted(to));
        if (!S_ISREG(existing.st_mode)) fail(EINVAL, "cannot replace " + quoted(to));
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            fail(EACCES, "cannot replace the read-only " + quoted(to));
        }
        state->held.reset(openRetrying(state->target, O_RDWR | O_NONBLOCK));
        if (state->held.get() < 0) failWithErrno("cannot replace", to);
        if (!tryLock(state->held.get(), true) || !stillNamed(state->held.get(), state->target)) {
            fail(EBUSY, "cannot replace " + quoted(to));
        }
    } else if (errno != ENOENT) {
        failWithErrno("cannot replace", to);
    }
    state->createBeside();
    if (::fchmod(state->work.get(), source.st_mode & 0777) != 0) {
        failWithErrno("cannot copy to", to);
    }
    return WorkingFile(std::move(state));
}

WorkingFile WorkingFile::InPlace(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        fail(ENOENT, "cannot open " + quoted(path));
    }
    auto state = std::make_unique<State>();
    state->given = path;
    state->inPlace = true;
    state->target = resolveTarget(path);
    struct stat& source = state->sourceInfo;
    if (::stat(state->target.c_str(), &source) != 0) failWithErrno("cannot open", path);
    if (!S_ISREG(source.st_mode)) fail(EINVAL, "cannot open " + quoted(path) + ", not a file");
    // Read-only for everybody, root included, as the engine treats it.
    if ((source.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        fail(EACCES, "cannot change the read-only " + quoted(path));
    }
    state->source.reset(openRetrying(state->target, O_RDWR | O_NONBLOCK));
    if (state->source.get() < 0) failWithErrno("cannot open", path);
    if (!tryLock(state->source.get(), true) || !stillNamed(state->source.get(), state->target)) {
        fail(EBUSY, "cannot open " + quoted(path) + ", another program holds it");
    }
    if (::fstat(state->source.get(), &source) != 0) failWithErrno("cannot open", path);
    state->createBeside();
    return WorkingFile(std::move(state));
}

void WorkingFile::Commit() {
    State& s = *state_;
    const int work = s.work.get();
    if (s.inPlace) {
        // What a write in place would have kept: the owner, the mode, the time of the last read.
        const struct stat& old = s.sourceInfo;
        if (::fchown(work, old.st_uid, old.st_gid) != 0) {
            failWithErrno("cannot keep the owner of", s.given);
        }
        if (::fchmod(work, old.st_mode & 07777) != 0)
            failWithErrno("cannot keep the mode of", s.given);
        const struct timespec times[2] = {old.st_atim, {0, UTIME_NOW}};
        if (::futimens(work, times) != 0) failWithErrno("cannot keep the times of", s.given);
    }
    if (::fsync(work) != 0) failWithErrno("cannot write", s.given);
    if (s.name.empty()) {
        s.giveTargetName();
    } else if (::rename(s.name.c_str(), s.target.c_str()) != 0) {
        failWithErrno("cannot replace", s.given);
    }
    s.committed = true;
    // The new file is in place now, so a failing sync of the name is not reported as a failed
    // apply: the name is then as durable as the file system makes it by itself.
    const Descriptor folder(openRetrying(folderOf(s.target, "/"), O_RDONLY | O_DIRECTORY));
    if (folder.get() >= 0) ::fsync(folder.get());
}

}  // namespace platform
