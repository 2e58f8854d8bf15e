#ifndef FEEDQUILL_APP_FEEDQUILLAPP_H
#define FEEDQUILL_APP_FEEDQUILLAPP_H

#include "app/appbase.h"
#include "ui/windowmessenger.h"

// The application with a display: the main window, or a command-line run whose messages are
// message boxes.
class FeedquillApp : public FeedquillAppBase<wxApp>
{
public:
    bool OnInit() override;
    int OnExit() override;

private:
    WindowMessenger m_messenger;
    WindowLauncher m_launcher;
};

wxDECLARE_APP(FeedquillApp);

#endif
