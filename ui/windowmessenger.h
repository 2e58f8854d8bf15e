#ifndef FEEDQUILL_UI_WINDOWMESSENGER_H
#define FEEDQUILL_UI_WINDOWMESSENGER_H

#include "base/launcher.h"
#include "base/messenger.h"

// Messages as the toolkit's message boxes, without a parent window.
class WindowMessenger : public Messenger
{
public:
    int ShowMessage(const wxString& message, const wxString& caption, long style) override;
};

// The desktop's default browser and programs.
class WindowLauncher : public Launcher
{
public:
    bool OpenBrowser(const wxString& url) override;
    bool Execute(const wxString& command) override;
    bool OpenFile(const wxString& path) override;
    int Run(const wxString& command, wxString& output) override;
};

// What xdg-open's exit status says went wrong, in words.
wxString DescribeOpenStatus(int status);
// Tells the user that path could not be opened, and why.
void ReportOpenFailure(const wxString& path, const wxString& reason);

#endif
