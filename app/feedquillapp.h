#ifndef FEEDQUILL_APP_FEEDQUILLAPP_H
#define FEEDQUILL_APP_FEEDQUILLAPP_H

#include "app/appbase.h"
#include "ui/singleinstance.h"
#include "ui/windowmessenger.h"

#include <memory>

// The application with a display: the main window, or a command-line run whose messages are
// message boxes.
class FeedquillApp : public FeedquillAppBase<wxApp>
{
public:
    bool OnInit() override;
    int OnExit() override;

private:
    void RaiseMainWindow();

    std::unique_ptr<SingleInstance> m_instance;
    WindowMessenger m_messenger;
    WindowLauncher m_launcher;
};

wxDECLARE_APP(FeedquillApp);

#endif
