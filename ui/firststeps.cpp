#include "ui/firststeps.h"

#include "project/project.h"
#include "ui/feedquillframe.h"

#include <wx/filename.h>
#include <wx/textctrl.h>

wxString GetNextStep(const Project& project)
{
    if ( project.m_feedURL.empty() )
        return _("Start here: press \"...\" beside the address field and enter your blog's "
                 "address.");
    if ( project.m_filePath.empty() )
        return _("Next: press \"...\" beside the file field and choose your signature file.");
    if ( project.m_lastTitle.empty() )
        return _("Next: edit the template below, then press Get Data to read your newest post "
                 "and write the signature.");
    if ( !wxFileName::FileExists(project.GetSignaturePath()) )
        return _("Next: check the preview of the signature, then press Update to write the signature.");
    return wxString();
}

void ShowNextStep(wxFrame& frame, const Project& project)
{
    if ( auto* field = dynamic_cast<wxTextCtrl*>(frame.FindWindow(ID_FEED_URL)) )
        field->SetHint(_("Your blog's address, such as blog.example.com"));
    const wxString step = GetNextStep(project);
    // Once everything is done, what the last command said stays.
    if ( !step.empty() )
        frame.SetStatusText(step);
}
