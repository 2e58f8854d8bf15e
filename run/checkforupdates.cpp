// The check for a newer version as the user sees it: asked for from the Help menu, or due
// during an update run.

#include "run/checkforupdates.h"

#include "project/project.h"

#include "base/buildinfo.h"
#include "base/launcher.h"
#include "base/messenger.h"
#include "update/updatechecker.h"

#include <wx/translation.h>

void Project::CheckForUpdates(bool quiet)
{
    m_updateCheckDue = false;
    if ( !FEEDQUILL_UPDATE_CHECK )
        return;
    UpdateChecker checker;
    ReportUpdateCheck(*this, checker, checker.Check(GetUpdateInfoUrl(), FEEDQUILL_VERSION), quiet);
}

void ReportUpdateCheck(Project& project, const UpdateChecker& checker, int result, bool quiet)
{
    project.m_updateCheckDue = false;
    const wxString message = checker.GetResultMessage(FEEDQUILL_VERSION_TEXT);
    Messenger* messenger = Messenger::Get();
    if ( result == UPDATE_CHECK_FAILED && !quiet )
        messenger->ShowMessage(message, _("Error"), wxOK | wxICON_ERROR);
    else if ( result == UPDATE_CHECK_LATEST && !quiet )
        messenger->ShowMessage(message, "Feedquill", wxOK | wxICON_INFORMATION);
    else if ( result == UPDATE_CHECK_NEWER
              && messenger->ShowMessage(message, "Feedquill", wxYES_NO | wxICON_INFORMATION)
                     == wxYES )
        Launcher::Get()->OpenBrowser(FEEDQUILL_SITE "/?src=fqa");
}
