#include "base/safefile.h"

#include "base/runlock.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/strconv.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// What the names of this program's temporary files contain, so that leftovers can be told.
const char TEMP_FILE_MARK[] = ".feedquill-new-";

// The same limit as the kernel's ELOOP.
const int MAX_LINK_DEPTH = 40;

bool ReadLink(const wxString& path, wxString& target)
{
    char buffer[PATH_MAX];
    const ssize_t len = readlink(path.fn_str(), buffer, sizeof(buffer) - 1);
    if ( len < 0 )
        return false;
    target = wxString(buffer, wxConvFile, len);
    return true;
}

// Follows symbolic links until a path that is not one; the path itself when it is no link.
wxString ResolveSymlinks(const wxString& path)
{
    wxString current = path;
    for ( int depth = 0; depth < MAX_LINK_DEPTH; ++depth )
    {
        wxString target;
        if ( !ReadLink(current, target) )
            return current;
        wxFileName name(target);
        if ( name.IsRelative() )
            name.MakeAbsolute(wxFileName(current).GetPath());
        current = name.GetFullPath();
    }
    return current;
}

bool WriteAll(int fd, const char* data, size_t size)
{
    while ( size > 0 )
    {
        const ssize_t written = write(fd, data, size);
        if ( written < 0 && errno == EINTR )
            continue;
        if ( written <= 0 )
            return false;
        data += written;
        size -= written;
    }
    return true;
}

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

// What a file that is about to be replaced is now.
struct Target
{
    wxString path;        // symbolic links resolved
    bool exists = false;
    struct stat info = {};
};

// What went wrong with path, with the system's reason for the errno of the failed call.
wxString Reason(const char* what, const wxString& path, int error)
{
    return wxString::Format("%s \"%s\": %s", what, path, wxSysErrorMsgStr(error));
}

// Whether the target may be replaced at all; error says why not.
bool CheckTarget(Target& target, wxString& error)
{
    if ( lstat(target.path.fn_str(), &target.info) != 0 )
    {
        if ( errno == ENOENT )
            return true;
        error = Reason("Cannot look at", target.path, errno);
        return false;
    }
    target.exists = true;
    if ( !S_ISREG(target.info.st_mode) )
    {
        error = wxString::Format("\"%s\" is not a regular file, so it is not replaced",
                                 target.path);
        return false;
    }
    // Root may write anything; everyone else only what the file's permissions allow.
    if ( access(target.path.fn_str(), W_OK) != 0 )
    {
        error = Reason("Cannot write to", target.path, errno);
        return false;
    }
    return true;
}

// Why no temporary file could be made beside path.
wxString TempFileReason(const wxString& path, int error)
{
    const wxString folder = wxFileName(path).GetPath();
    if ( error == ENOENT || error == ENOTDIR )
        return wxString::Format("The folder \"%s\" does not exist", folder);
    return Reason("Cannot create a file in the folder", folder, error);
}

// Whether the file holds exactly these bytes already. It is then left alone: a new time stamp
// alone makes programs that watch the file load it again.
bool HoldsBytes(const Target& target, const std::string& bytes)
{
    if ( !target.exists || static_cast<size_t>(target.info.st_size) != bytes.size() )
        return false;
    FileDescriptor file(open(target.path.fn_str(), O_RDONLY | O_CLOEXEC));
    if ( file.Get() < 0 )
        return false;
    std::string held(bytes.size() + 1, '\0');
    size_t count = 0;
    while ( count < held.size() )
    {
        const ssize_t got = read(file.Get(), &held[count], held.size() - count);
        if ( got < 0 && errno == EINTR )
            continue;
        if ( got <= 0 )
            break;
        count += got;
    }
    return count == bytes.size() && held.compare(0, count, bytes) == 0;
}

// Writes the bytes over the file itself: where its folder does not take new files, or where
// other hard links must keep seeing the same file. Not atomic, but the only way there.
bool RewriteInPlace(const Target& target, const MakeBytes& makeBytes, wxString& error)
{
    FileDescriptor file(open(target.path.fn_str(), O_WRONLY | O_CLOEXEC));
    if ( file.Get() < 0 )
    {
        error = Reason("Cannot open", target.path, errno);
        return false;
    }
    std::string bytes;
    if ( !makeBytes(bytes, error) )
        return false;
    if ( HoldsBytes(target, bytes) )
        return true;
    if ( !WriteAll(file.Get(), bytes.data(), bytes.size())
         || ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0
         || fsync(file.Get()) != 0 || !file.Close() )
    {
        error = Reason("Cannot write", target.path, errno);
        return false;
    }
    return true;
}

// The temporary file's permissions and owner are the old file's, or a new file's.
void TakeOverAttributes(int fd, const Target& target)
{
    if ( !target.exists )
    {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return;
    }
    if ( fchown(fd, target.info.st_uid, target.info.st_gid) != 0 )
    {
        // Only root may give a file away; a user's own file stays the user's anyway.
    }
    fchmod(fd, target.info.st_mode & 07777);
}

bool IsOlder(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Removes the temporary files that runs killed while replacing this file left beside it. Only
// under the run lock, and only those older than it: every run writes under the lock.
void RemoveLeftovers(const wxString& path)
{
    const timespec since = RunLock::HeldSince();
    if ( since.tv_sec == 0 )
        return;
    const wxFileName name(path);
    const std::string folder(name.GetPathWithSep().fn_str());
    const std::string prefix = "." + std::string(name.GetFullName().fn_str()) + TEMP_FILE_MARK;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if ( !dir )
        return;
    while ( const dirent* entry = readdir(dir.get()) )
    {
        const std::string file = entry->d_name;
        struct stat info;
        if ( file.size() == prefix.size() + 6 && file.compare(0, prefix.size(), prefix) == 0
             && lstat((folder + file).c_str(), &info) == 0 && S_ISREG(info.st_mode)
             && IsOlder(info.st_mtim, since) )
            unlink((folder + file).c_str());
    }
}

// The mkstemp pattern of the temporary files for path, beside it.
wxString GetTempFilePattern(const wxString& path)
{
    const wxFileName name(path);
    return name.GetPathWithSep() + "." + name.GetFullName() + TEMP_FILE_MARK + "XXXXXX";
}

} // anonymous namespace

bool ReadFileBytes(const wxString& path, std::string& bytes, int& error)
{
    bytes.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.fn_str(), "rb"), std::fclose);
    if ( !file )
    {
        error = errno;
        return false;
    }
    char buffer[64 * 1024];
    size_t count;
    while ( (count = std::fread(buffer, 1, sizeof(buffer), file.get())) > 0 )
        bytes.append(buffer, count);
    if ( std::ferror(file.get()) )
    {
        error = errno;
        return false;
    }
    return true;
}

bool ReplaceFileBytes(const wxString& path, const MakeBytes& makeBytes, wxString& error)
{
    error.clear();
    Target target;
    target.path = ResolveSymlinks(path);
    if ( !CheckTarget(target, error) )
        return false;
    RemoveLeftovers(target.path);
    if ( target.exists && target.info.st_nlink > 1 )
        return RewriteInPlace(target, makeBytes, error);

    wxCharBuffer pattern = GetTempFilePattern(target.path).fn_str();
    FileDescriptor file(mkostemp(pattern.data(), O_CLOEXEC));
    if ( file.Get() < 0 )
    {
        if ( (errno == EACCES || errno == EROFS || errno == EPERM) && target.exists )
            return RewriteInPlace(target, makeBytes, error);
        error = TempFileReason(target.path, errno);
        return false;
    }
    TakeOverAttributes(file.Get(), target);
    std::string bytes;
    if ( !makeBytes(bytes, error) )
    {
        unlink(pattern.data());
        return false;
    }
    if ( HoldsBytes(target, bytes) )
    {
        unlink(pattern.data());
        return true;
    }
    // Flushed before the rename, so that a crash leaves the old file or the whole new one.
    if ( !WriteAll(file.Get(), bytes.data(), bytes.size()) || fsync(file.Get()) != 0
         || !file.Close() || rename(pattern.data(), target.path.fn_str()) != 0 )
    {
        error = Reason("Cannot write", target.path, errno);
        unlink(pattern.data());
        return false;
    }
    return true;
}

bool ReplaceFileContents(const wxString& path, const std::function<wxString()>& makeText,
                         const wxMBConv& conv, wxString& error)
{
    return ReplaceFileBytes(path,
                            [&](std::string& bytes, wxString& reason)
                            {
                                const wxString text = makeText();
                                const wxCharBuffer converted = text.mb_str(conv);
                                if ( !text.empty() && converted.length() == 0 )
                                {
                                    reason = "The text cannot be written in the file's encoding";
                                    return false;
                                }
                                bytes.assign(converted.data(), converted.length());
                                return true;
                            },
                            error);
}
