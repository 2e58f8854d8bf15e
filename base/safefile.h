#ifndef FEEDQUILL_BASE_SAFEFILE_H
#define FEEDQUILL_BASE_SAFEFILE_H

#include <wx/string.h>

#include <functional>

class wxMBConv;

// Replaces the whole content of a user's file without ever leaving it truncated: the text goes
// to a temporary file in the same folder, which is then renamed over the old one. A path that
// is a symbolic link stays one (its target is replaced), and the file keeps its permissions.
// makeText runs only once the temporary file is open, so a caller can leave its own state alone
// when the file cannot be written at all. False when anything failed; wx has then logged why and
// the old file is untouched.
bool ReplaceFileContents(const wxString& path, const std::function<wxString()>& makeText,
                         const wxMBConv& conv);

#endif
