#ifndef FEEDQUILL_APP_CONSOLEAPP_H
#define FEEDQUILL_APP_CONSOLEAPP_H

#include "app/appbase.h"

// The application of a run without a display: the same start-up and command-line run as the
// window application, with messages written as text.
class FeedquillConsoleApp : public FeedquillAppBase<wxAppConsole>
{
public:
    bool OnInit() override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

    // Why there is no window, for the message given when one is asked for; by default, that
    // there is no display.
    static void SetNoWindowReason(const char* reason);
};

#endif
