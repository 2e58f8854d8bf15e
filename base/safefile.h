#ifndef FEEDQUILL_BASE_SAFEFILE_H
#define FEEDQUILL_BASE_SAFEFILE_H

#include <wx/string.h>

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

// Reads a whole regular file into bytes; false, with errno's value in error, when it cannot be
// opened or read (ENOENT for a file that is not there). Anything but a regular file (a FIFO, a
// device, a folder) is refused with EINVAL without waiting on it, and so is a file larger than
// maxSize (EFBIG), so that nothing a path leads to can hang the program or fill its memory.
bool ReadFileBytes(const wxString& path, std::string& bytes, int& error,
                   std::size_t maxSize = 16 << 20);

// Where path leads, as the kernel resolves it: the folder through realpath, the last part's
// symbolic links followed one by one from the folder they are in. A link that the kernel's
// protected_symlinks rule would not follow (in a sticky, world-writable folder such as /tmp,
// owned by neither this user nor the folder's owner) is refused. The file itself need not
// exist. False with the reason in error (a sentence without its full stop).
bool ResolveFilePath(const wxString& path, wxString& resolved, wxString& error);

// Whether two paths lead to the same file (or, where neither exists yet, the same place).
bool IsSameFile(const wxString& a, const wxString& b);

// Replaces the whole content of a user's file in two steps, so that the file is always either
// the old one or the whole new one, even when the program is killed: Open resolves the path,
// checks that the file may be replaced and makes a temporary file beside it
// (".<name>.feedquill-new-XXXXXX", cut to fit the file system's name limit); Commit writes the
// bytes there, flushes them to the disk and renames the temporary file over the old one, which
// is never removed first. An object that is not committed removes its temporary file.
//
// A path that is a symbolic link stays one (its target is replaced), and the file keeps its
// permissions and owner; a new file gets newFileMode, less the umask. Where the folder takes no
// new file but the file may be written, or the file has other hard links, it is rewritten in
// place: the space is reserved first, so that a full disk leaves the old content whole, but a
// kill between the write and the end of it can leave the file cut. Anything but a regular
// file, and a file the user may not write, is refused. A file that holds the new bytes already
// is not touched (its modification time stays). Under the run lock, temporary files that killed
// runs left are removed. Errors name the file or folder and the system's reason, as a sentence
// without its full stop, for the caller's message; nothing is logged.
class FileReplacement
{
public:
    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool Open(const wxString& path, wxString& error, mode_t newFileMode = 0666);
    bool Commit(const std::string& bytes, wxString& error);

    // The file that Commit replaces: the path with its links resolved.
    const wxString& GetPath() const { return m_path; }
    bool Exists() const { return m_exists; }

private:
    bool RewriteInPlace(const std::string& bytes, wxString& error);
    void Discard();

    wxString m_path;
    bool m_exists = false;
    bool m_inPlace = false;
    struct stat m_info = {};
    std::string m_tempPath;  // empty when no temporary file is open
    int m_fd = -1;
};

// Both steps at once.
bool ReplaceFile(const wxString& path, const std::string& bytes, wxString& error,
                 mode_t newFileMode = 0666);

#endif
