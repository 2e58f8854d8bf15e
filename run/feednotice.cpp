#include "run/feednotice.h"

#include "base/messenger.h"
#include "feed/feedreader.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "project/project.h"

#include <wx/defs.h>
#include <wx/translation.h>

void TellFeedFoundOnPage(const Project& project, const FeedReader& reader)
{
    if ( !project.m_cmdMode || project.m_quiet || reader.GetPageUrl().empty() )
        return;
    const wxString text = wxString::Format(
        _("The address %s is a web page; Feedquill read the feed it names, %s.\n"
          "To read the feed directly, enter its address in the window or set %s=%s under "
          "[project/%s] in %s."),
        project.m_feedURL, reader.GetFeedUrl(), ENTRY_FEED_URL, reader.GetFeedUrl(),
        project.m_name, GetConfigPath());
    Messenger::Get()->ShowMessage(text, _("Message"), wxOK | wxICON_INFORMATION);
}
