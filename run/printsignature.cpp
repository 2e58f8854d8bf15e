// A signature for a mail program that reads one from a command's output (mutt's
// "signature=...|", Evolution's signature scripts).

#include "run/printsignature.h"

#include "base/consoleoutput.h"
#include "project/project.h"
#include "run/signaturetext.h"

#include <string>

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
    const wxString path = project.GetSignaturePath();
    const wxString refusal = RefuseSignatureLink(project.m_template, project, path);
    if ( !refusal.empty() )
    {
        WriteConsoleText(stderr, refusal, CONSOLE_ERROR);
        return false;
    }
    // As the file would be written.
    wxString codeset;
    size_t replaced = 0;
    const std::string bytes = EncodeSignature(MakeSignatureText(project.m_template, project, path),
                                              codeset, replaced);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    return std::fflush(out) == 0 && !std::ferror(out);
}
