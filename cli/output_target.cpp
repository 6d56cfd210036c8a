#include "output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>

namespace tessory {
namespace {

std::string Reason(int error) { return std::strerror(error); }

void SplitPath(const std::string& path, std::string& folder, std::string& base) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        base = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
}

// Mode of a newly created file under the process's umask (mkstemp gives 0600).
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Fewer, larger writes.
void UseLargeBuffer(std::FILE* file, std::unique_ptr<char[]>& buffer) {
    constexpr size_t kSize = 1 << 20;
    if (!buffer) buffer.reset(new (std::nothrow) char[kSize]);
    if (buffer) std::setvbuf(file, buffer.get(), _IOFBF, kSize);
}

// A stdio file whose bytes go to a C++ stream, so that the writers can write straight to it.
UniqueFile StreamFile(std::ostream& out) {
    cookie_io_functions_t functions{};
    functions.write = [](void* cookie, const char* data, size_t size) -> ssize_t {
        auto& stream = *static_cast<std::ostream*>(cookie);
        stream.write(data, static_cast<std::streamsize>(size));
        if (!stream) {
            errno = EIO;
            return -1;
        }
        return static_cast<ssize_t>(size);
    };
    UniqueFile file(::fopencookie(&out, "w", functions));
    if (file) std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);
    return file;
}

bool CopyToStream(std::FILE* in, std::ostream& out) {
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) out.write(buffer, static_cast<std::streamsize>(n));
    out.flush();
    return !std::ferror(in) && out.good();
}

}  // namespace

OutputTarget::~OutputTarget() { Discard(); }

bool OutputTarget::CreateBeside(const std::string& target, std::string& error) {
    std::string folder, base;
    SplitPath(target, folder, base);
    // Created exclusively (an existing name or link there makes mkstemp pick another); the name
    // says whose it is, should a crash leave it behind.
    std::string pattern = folder + "/." + base + ".tessory-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file in " + folder + ": " + Reason(errno);
        return false;
    }
    file_.reset(::fdopen(fd, "wb"));
    if (!file_) {
        error = "cannot write " + pattern + ": " + Reason(errno);
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    UseLargeBuffer(file_.get(), buffer_);
    kind_ = Kind::Replace;
    newPath_ = pattern;
    target_ = target;
    shownName_ = pattern;
    ownFiles_.push_back(pattern);
    return true;
}

bool OutputTarget::OpenFile(const std::string& path, std::string& error) {
    ownFiles_.push_back(path);
    std::string target = path;
    struct stat info;
    bool exists = ::lstat(path.c_str(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode)) {
        // Follow the link to its final target and replace that, in its own folder.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) == nullptr) {
            const int reason = errno;
            error = reason == ENOENT ? "cannot write " + path + ": it is a link to a file that does not exist"
                                     : "cannot follow the link " + path + ": " + Reason(reason);
            return false;
        }
        target = resolved;
        ownFiles_.push_back(target);
        exists = ::stat(target.c_str(), &info) == 0;
    }
    if (!exists) {
        mode_ = NewFileMode();
        return CreateBeside(target, error);
    }
    if (S_ISDIR(info.st_mode)) {
        error = "cannot replace " + path + ": " + Reason(EISDIR);
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        mode_ = info.st_mode & 0777;
        keepOwner_ = ::geteuid() == 0;
        owner_ = info.st_uid;
        group_ = info.st_gid;
        return CreateBeside(target, error);
    }
    // A FIFO, device or socket: written to as it is, in order.
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !(file_ = UniqueFile(::fdopen(fd, "wb")))) {
        error = "cannot write " + path + ": " + Reason(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    UseLargeBuffer(file_.get(), buffer_);
    kind_ = Kind::Direct;
    shownName_ = path;
    return true;
}

bool OutputTarget::OpenStream(std::ostream& out, bool direct, std::string& error) {
    stream_ = &out;
    if (direct) {
        file_ = StreamFile(out);
        kind_ = Kind::Stream;
        shownName_ = "standard output";
        if (!file_) error = "cannot write to standard output: " + Reason(errno);
        return file_ != nullptr;
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = folder + "/.tessory-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file in " + folder + ": " + Reason(errno);
        return false;
    }
    ::unlink(pattern.c_str());  // gone with the process, whatever happens
    file_.reset(::fdopen(fd, "w+b"));
    if (!file_) {
        error = "cannot write a temporary file: " + Reason(errno);
        ::close(fd);
        return false;
    }
    UseLargeBuffer(file_.get(), buffer_);
    kind_ = Kind::BufferedStream;
    shownName_ = "the temporary file";
    return true;
}

bool OutputTarget::Commit(std::string& error) {
    std::FILE* file = file_.get();
    switch (kind_) {
        case Kind::None: return false;
        case Kind::BufferedStream: {
            std::rewind(file);
            const bool copied = CopyToStream(file, *stream_);
            file_.reset();
            if (!copied) error = "cannot write the listing to standard output";
            return copied;
        }
        case Kind::Stream:
        case Kind::Direct: {
            const int closed = std::fclose(file_.release());
            if (closed != 0) error = "cannot write " + shownName_ + ": " + Reason(errno);
            return closed == 0;
        }
        case Kind::Replace: break;
    }
    const int fd = ::fileno(file);
    // Owner first: changing it may clear mode bits.
    if (keepOwner_) (void)::fchown(fd, owner_, group_);
    ::fchmod(fd, mode_);
    // On the disk before the rename, so that a power cut leaves the old output or the whole new one.
    bool written = std::fflush(file) == 0 && ::fsync(fd) == 0;
    int reason = errno;
    if (std::fclose(file_.release()) != 0 && written) {
        written = false;
        reason = errno;
    }
    if (!written) {
        ::unlink(newPath_.c_str());
        error = "cannot write " + newPath_ + ": " + Reason(reason);
        return false;
    }
    if (std::rename(newPath_.c_str(), target_.c_str()) != 0) {
        reason = errno;
        ::unlink(newPath_.c_str());
        error = "cannot replace " + target_ + ": " + Reason(reason);
        return false;
    }
    newPath_.clear();
    return true;
}

void OutputTarget::Discard() {
    file_.reset();
    if (!newPath_.empty()) ::unlink(newPath_.c_str());
    newPath_.clear();
}

}  // namespace tessory
