#include "base/safefile.h"

#include <wx/filename.h>
#include <wx/file.h>
#include <wx/strconv.h>

#include <climits>
#include <unistd.h>

namespace
{

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

} // anonymous namespace

bool ReplaceFileContents(const wxString& path, const std::function<wxString()>& makeText,
                         const wxMBConv& conv)
{
    wxTempFile file;
    if ( !file.Open(ResolveSymlinks(path)) )
        return false;
    const wxString text = makeText();
    if ( !text.empty() && !file.Write(text, conv) )
        return false;  // the destructor throws the temporary file away
    return file.Commit();
}
