#ifndef FEEDQUILL_BASE_SAFEFILE_H
#define FEEDQUILL_BASE_SAFEFILE_H

#include <wx/string.h>

#include <functional>
#include <string>

class wxMBConv;

// Reads a whole file into bytes; false, with errno's value in error, when it cannot be opened
// or read (ENOENT for a file that is not there).
bool ReadFileBytes(const wxString& path, std::string& bytes, int& error);

// Makes the new content of a file; false to give up, with nothing changed and, where there is
// something to say, why in error.
using MakeBytes = std::function<bool(std::string& bytes, wxString& error)>;

// Replaces the whole content of a user's file so that it is always either the old file or the
// whole new one, even when the program is killed: the bytes go to a temporary file in the same
// folder (".<name>.feedquill-new-XXXXXX"), flushed to the disk, which is then renamed over the
// old one; the old file is never removed first. Under the run lock, such files that killed
// runs left are removed. A path that is a symbolic link stays one (its target is replaced), and the
// file keeps its permissions. Where the folder takes no new file but the file may be written,
// or the file has other hard links, it is rewritten in place. Anything but a regular file, and
// a file the user may not write, is refused. makeBytes runs only once the file is known to be
// writable, so a caller can leave its own state alone otherwise. A file that holds the new
// bytes already is not touched (its modification time stays). False when anything failed;
// error then says what, naming the file or folder and the system's reason (a sentence without
// its full stop, for the caller's message). Nothing is logged.
bool ReplaceFileBytes(const wxString& path, const MakeBytes& makeBytes, wxString& error);

// The same for text, converted with conv; text that conv cannot convert is refused.
bool ReplaceFileContents(const wxString& path, const std::function<wxString()>& makeText,
                         const wxMBConv& conv, wxString& error);

#endif
