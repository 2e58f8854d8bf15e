#include "app/feedquillapp.h"

#include "base/datafolders.h"
#include "ui/feedquillframe.h"
#include "ui/singleinstance.h"
#include "ui/translations.h"

#include <wx/intl.h>
#include <wx/toplevel.h>

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

    // One window per data folder: a second start raises the first one's and ends.
    m_instance = std::make_unique<SingleInstance>(g_dataDir);
    if ( m_instance->IsAnotherRunning() )
    {
        m_instance->AskToRaise();
        StartUp::SetExitStatus(EXIT_STATUS_OK);
        return false;
    }
    m_instance->Listen([this] { RaiseMainWindow(); });

    auto* frame = new FeedquillFrame(nullptr, ID_MAIN_FRAME,
                                     wxGetTranslation("Spread your blog around the world"),
                                     wxDefaultPosition, wxSize(650, 450),
                                     wxDEFAULT_FRAME_STYLE);
    frame->Show(true);
    frame->Centre(wxBOTH);
    SetTopWindow(frame);
    return true;
}

void FeedquillApp::RaiseMainWindow()
{
    auto* window = dynamic_cast<wxTopLevelWindow*>(GetTopWindow());
    if ( !window )
        return;
    window->Iconize(false);
    window->Show();
    window->Raise();
}

int FeedquillApp::OnExit()
{
    m_instance.reset();
    const int result = FeedquillAppBase::OnExit();
    Messenger::Set(nullptr);
    Launcher::Set(nullptr);
    return result;
}
