#include "app/feedquillapp.h"

#include "ui/feedquillframe.h"
#include "ui/translations.h"

#include <wx/intl.h>

bool FeedquillApp::OnInit()
{
    Messenger::Set(&m_messenger);
    Launcher::Set(&m_launcher);
    if ( !FeedquillAppBase::OnInit() )
        return false;

    // After the command line, whose usage text is the same everywhere. A command-line run
    // gets here only with a display and no terminal to print on: its messages are message
    // boxes a person reads, in their language as the window's are.
    LoadTranslations(GetLocaleDirs());
    StartUp::DecideUpdateCheck();
    if ( g_project.m_cmdMode )
    {
        SetExitOnFrameDelete(false);
        StartCommandLineRun();
        return true;
    }

    auto* frame = new FeedquillFrame(nullptr, ID_MAIN_FRAME,
                                     wxGetTranslation("Spread your blog around the world"),
                                     wxDefaultPosition, wxSize(650, 450),
                                     wxDEFAULT_FRAME_STYLE);
    frame->Show(true);
    frame->Centre(wxBOTH);
    SetTopWindow(frame);
    return true;
}

int FeedquillApp::OnExit()
{
    const int result = FeedquillAppBase::OnExit();
    Messenger::Set(nullptr);
    Launcher::Set(nullptr);
    return result;
}
