// A signature for a mail program that reads one from a command's output (mutt's
// "signature=...|", Evolution's signature scripts).

#include "run/printsignature.h"

#include "base/consoleoutput.h"
#include "project/project.h"
#include "run/updaterun.h"

#include <wx/strconv.h>

bool PrintSignature(const Project& project, std::FILE* out)
{
    wxString problem;
    if ( project.m_lastTitle.empty() || project.m_lastLink.empty() )
        problem = wxString::Format("No post is stored for the project \"%s\" yet, so there is "
                                   "no signature to print.\nRun \"feedquill -q\" once (or Get "
                                   "Data in the window) to read the feed.", project.m_name);
    else if ( !project.m_templateError.empty() )
        problem = project.m_templateError;
    else if ( project.m_templateIsSample )
        problem = wxString::Format("No signature template is saved for the project \"%s\" yet, "
                                   "so there is no signature to print.\nStart Feedquill without "
                                   "-c or -q, edit the template and press Save, or write it to "
                                   "\"%s\".", project.m_name,
                                   project.GetTemplateDir() + project.m_templateName);
    if ( !problem.empty() )
    {
        WriteConsoleText(stderr, problem, CONSOLE_ERROR);
        return false;
    }
    const wxString text = ExpandSignature(project, IsHtmlSignature(project.GetSignaturePath()));
    // As the file would be written: the local encoding when it can say everything, else UTF-8.
    const wxMBConv& conv = wxConvLocal.FromWChar(nullptr, 0, text.wc_str()) != wxCONV_FAILED
                               ? static_cast<const wxMBConv&>(wxConvLocal)
                               : static_cast<const wxMBConv&>(wxConvUTF8);
    const wxCharBuffer bytes = text.mb_str(conv);
    std::fwrite(bytes.data(), 1, bytes.length(), out);
    return std::fflush(out) == 0 && !std::ferror(out);
}
