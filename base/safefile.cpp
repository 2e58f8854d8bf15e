#include "base/safefile.h"

#include "base/runlock.h"

#include <wx/filename.h>
#include <wx/log.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace
{

// What the names of this program's temporary files contain, so that leftovers can be told.
const char TEMP_FILE_MARK[] = ".feedquill-new-";
const char TEMP_FILE_SUFFIX[] = "XXXXXX";

// The same limit as the kernel's ELOOP.
const int MAX_LINK_DEPTH = 40;

// Closes a descriptor when it goes out of scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool Close()
    {
        const bool ok = m_fd < 0 || close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

wxString FromFileName(const std::string& name)
{
    return wxString(name.c_str(), wxConvFile);
}

// What went wrong with path, with the system's reason for the errno of the failed call.
wxString Reason(const char* what, const wxString& path, int error)
{
    return wxString::Format("%s \"%s\": %s", what, path, wxSysErrorMsgStr(error));
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while ( size > 0 )
    {
        const ssize_t written = write(fd, data, size);
        if ( written < 0 && errno == EINTR )
            continue;
        if ( written <= 0 )
        {
            if ( written == 0 )
                errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The folder and the last part of a path; "." for a path without a folder.
void SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    const size_t slash = path.rfind('/');
    if ( slash == std::string::npos )
    {
        folder = ".";
        name = path;
        return;
    }
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The kernel's protected_symlinks rule: in a sticky folder that everyone may write, a link is
// followed only by its owner, or when the folder's owner owns it too.
bool IsFollowable(const struct stat& link, const struct stat& folder)
{
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == geteuid() || link.st_uid == folder.st_uid;
}

bool Resolve(const std::string& path, std::string& resolved, wxString& error)
{
    std::string current = path;
    for ( int depth = 0; depth <= MAX_LINK_DEPTH; ++depth )
    {
        std::string folder, name;
        SplitPath(current, folder, name);
        if ( name.empty() || name == "." || name == ".." )
        {
            error = wxString::Format("\"%s\" is a folder, not a file", FromFileName(path));
            return false;
        }
        std::unique_ptr<char, void (*)(void*)> real(realpath(folder.c_str(), nullptr), std::free);
        if ( !real )
        {
            if ( errno == ENOENT || errno == ENOTDIR )
                error = wxString::Format("The folder \"%s\" does not exist",
                                         FromFileName(folder));
            else
                error = Reason("Cannot find the folder", FromFileName(folder), errno);
            return false;
        }
        const std::string full = Join(real.get(), name);
        struct stat info;
        if ( lstat(full.c_str(), &info) != 0 )
        {
            if ( errno != ENOENT )
            {
                error = Reason("Cannot look at", FromFileName(full), errno);
                return false;
            }
            resolved = full;
            return true;
        }
        if ( !S_ISLNK(info.st_mode) )
        {
            resolved = full;
            return true;
        }
        struct stat folderInfo;
        if ( stat(real.get(), &folderInfo) == 0 && !IsFollowable(info, folderInfo) )
        {
            error = wxString::Format("\"%s\" is a symbolic link in the shared folder \"%s\" "
                                     "that belongs to another user; it is not followed, as the "
                                     "system itself would not follow it", FromFileName(full),
                                     FromFileName(real.get()));
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(full.c_str(), target, sizeof(target) - 1);
        if ( length < 0 )
        {
            error = Reason("Cannot read the link", FromFileName(full), errno);
            return false;
        }
        const std::string next(target, length);
        current = next[0] == '/' ? next : Join(real.get(), next);
    }
    error = Reason("Cannot follow", FromFileName(path), ELOOP);
    return false;
}

// The name of a temporary file for name, without the random part; cut so that the whole name
// stays within the file system's limit for one name.
std::string TempFilePrefix(const std::string& name, size_t nameMax)
{
    const size_t fixed = 1 + sizeof(TEMP_FILE_MARK) - 1 + sizeof(TEMP_FILE_SUFFIX) - 1;
    std::string kept = name;
    if ( kept.size() + fixed > nameMax )
    {
        size_t cut = nameMax > fixed ? nameMax - fixed : 0;
        // Not inside a UTF-8 sequence.
        while ( cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xc0) == 0x80 )
            --cut;
        kept.resize(cut);
    }
    return "." + kept + TEMP_FILE_MARK;
}

size_t NameMax(const std::string& folder)
{
    const long max = pathconf(folder.c_str(), _PC_NAME_MAX);
    return max > 0 ? static_cast<size_t>(max) : NAME_MAX;
}

// Removes the temporary files that killed runs left beside this file. Every run writes under
// the run lock, so while this process holds it, any such file is a leftover, however its time
// stamp compares with the clock (which may have been set back since).
void RemoveLeftovers(const std::string& folder, const std::string& prefix)
{
    if ( RunLock::HeldSince().tv_sec == 0 )
        return;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if ( !dir )
        return;
    const size_t length = prefix.size() + sizeof(TEMP_FILE_SUFFIX) - 1;
    while ( const dirent* entry = readdir(dir.get()) )
    {
        const std::string file = entry->d_name;
        struct stat info;
        const std::string full = Join(folder, file);
        if ( file.size() == length && file.compare(0, prefix.size(), prefix) == 0
             && lstat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode) )
            unlink(full.c_str());
    }
}

// Whether the file holds exactly these bytes already. It is then left alone: a new time stamp
// alone makes programs that watch the file load it again.
bool HoldsBytes(const wxString& path, const struct stat& info, const std::string& bytes)
{
    if ( static_cast<size_t>(info.st_size) != bytes.size() )
        return false;
    std::string held;
    int error = 0;
    return ReadFileBytes(path, held, error, bytes.size()) && held == bytes;
}

} // anonymous namespace

bool ReadFileBytes(const wxString& path, std::string& bytes, int& error, std::size_t maxSize)
{
    bytes.clear();
    // Not blocking: a FIFO would otherwise wait for a writer forever.
    FileDescriptor file(open(path.fn_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if ( file.Get() < 0 || fstat(file.Get(), &info) != 0 )
    {
        error = errno;
        return false;
    }
    if ( !S_ISREG(info.st_mode) )
    {
        error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    char buffer[64 * 1024];
    for ( ;; )
    {
        const ssize_t count = read(file.Get(), buffer, sizeof(buffer));
        if ( count < 0 && errno == EINTR )
            continue;
        if ( count < 0 )
        {
            error = errno;
            return false;
        }
        if ( count == 0 )
            return true;
        if ( bytes.size() + count > maxSize )
        {
            error = EFBIG;
            return false;
        }
        bytes.append(buffer, count);
    }
}

bool ResolveFilePath(const wxString& path, wxString& resolved, wxString& error)
{
    std::string result;
    if ( !Resolve(std::string(path.fn_str()), result, error) )
        return false;
    resolved = FromFileName(result);
    return true;
}

bool IsSameFile(const wxString& a, const wxString& b)
{
    wxString first, second, error;
    if ( !ResolveFilePath(a, first, error) || !ResolveFilePath(b, second, error) )
        return false;
    struct stat one, two;
    if ( stat(first.fn_str(), &one) == 0 && stat(second.fn_str(), &two) == 0 )
        return one.st_dev == two.st_dev && one.st_ino == two.st_ino;
    return first == second;
}

FileReplacement::~FileReplacement()
{
    Discard();
}

void FileReplacement::Discard()
{
    if ( m_fd >= 0 )
        close(m_fd);
    m_fd = -1;
    if ( !m_tempPath.empty() )
        unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

bool FileReplacement::Open(const wxString& path, wxString& error, mode_t newFileMode)
{
    Discard();
    error.clear();
    m_exists = false;
    m_inPlace = false;
    if ( !ResolveFilePath(path, m_path, error) )
        return false;
    const std::string target(m_path.fn_str());
    if ( lstat(target.c_str(), &m_info) == 0 )
    {
        m_exists = true;
        if ( !S_ISREG(m_info.st_mode) )
        {
            error = wxString::Format("\"%s\" is not a regular file, so it is not replaced", m_path);
            return false;
        }
        // Root may write anything; everyone else only what the file's permissions allow.
        if ( access(target.c_str(), W_OK) != 0 )
        {
            error = Reason("Cannot write to", m_path, errno);
            return false;
        }
    }
    else if ( errno != ENOENT )
    {
        error = Reason("Cannot look at", m_path, errno);
        return false;
    }

    std::string folder, name;
    SplitPath(target, folder, name);
    const std::string prefix = TempFilePrefix(name, NameMax(folder));
    RemoveLeftovers(folder, prefix);
    // Other hard links must keep seeing the same file.
    if ( m_exists && m_info.st_nlink > 1 )
    {
        m_inPlace = true;
        return true;
    }
    std::string pattern = Join(folder, prefix) + TEMP_FILE_SUFFIX;
    m_fd = mkostemp(&pattern[0], O_CLOEXEC);
    if ( m_fd < 0 )
    {
        const int code = errno;
        if ( (code == EACCES || code == EROFS || code == EPERM) && m_exists )
        {
            m_inPlace = true;
            return true;
        }
        if ( code == ENOENT || code == ENOTDIR )
            error = wxString::Format("The folder \"%s\" does not exist", FromFileName(folder));
        else
            error = Reason("Cannot create a file in the folder", FromFileName(folder), code);
        return false;
    }
    m_tempPath = pattern;
    if ( m_exists )
    {
        if ( fchown(m_fd, m_info.st_uid, m_info.st_gid) != 0 )
        {
            // Only root may give a file away; a user's own file stays the user's anyway.
        }
        fchmod(m_fd, m_info.st_mode & 07777);
    }
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(m_fd, newFileMode & ~mask & 07777);
    }
    return true;
}

bool FileReplacement::RewriteInPlace(const std::string& bytes, wxString& error)
{
    FileDescriptor file(open(m_path.fn_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if ( file.Get() < 0 )
    {
        error = Reason("Cannot open", m_path, errno);
        return false;
    }
    // The space first: a full disk must find the old content whole, not cut at a block.
    if ( bytes.size() > static_cast<size_t>(m_info.st_size) )
    {
        const int code = posix_fallocate(file.Get(), 0, static_cast<off_t>(bytes.size()));
        if ( code != 0 )
        {
            error = Reason("Cannot write", m_path, code);
            return false;
        }
    }
    if ( !WriteAll(file.Get(), bytes.data(), bytes.size())
         || ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0
         || fsync(file.Get()) != 0 || !file.Close() )
    {
        error = Reason("Cannot write", m_path, errno);
        return false;
    }
    return true;
}

bool FileReplacement::Commit(const std::string& bytes, wxString& error)
{
    error.clear();
    if ( m_path.empty() )
    {
        error = "No file was opened for writing";
        return false;
    }
    if ( m_exists && HoldsBytes(m_path, m_info, bytes) )
    {
        Discard();
        return true;
    }
    if ( m_inPlace )
        return RewriteInPlace(bytes, error);
    if ( m_fd < 0 )
    {
        error = wxString::Format("\"%s\" was written already", m_path);
        return false;
    }
    // Flushed before the rename, so that a crash leaves the old file or the whole new one.
    const int fd = m_fd;
    m_fd = -1;
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if ( close(fd) != 0 && ok )
    {
        ok = false;
        code = errno;
    }
    if ( ok && rename(m_tempPath.c_str(), m_path.fn_str()) != 0 )
    {
        ok = false;
        code = errno;
    }
    if ( !ok )
    {
        error = Reason("Cannot write", m_path, code);
        Discard();
        return false;
    }
    m_tempPath.clear();
    return true;
}

bool ReplaceFile(const wxString& path, const std::string& bytes, wxString& error,
                 mode_t newFileMode)
{
    FileReplacement replacement;
    return replacement.Open(path, error, newFileMode) && replacement.Commit(bytes, error);
}
