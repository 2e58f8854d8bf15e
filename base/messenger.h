#ifndef FEEDQUILL_BASE_MESSENGER_H
#define FEEDQUILL_BASE_MESSENGER_H

#include <wx/string.h>

// How the core tells and asks the user: message boxes in a window, text on a console, a script
// in tests. Installed once at start-up and reached through Get(), as wxConfigBase is.
class Messenger
{
public:
    virtual ~Messenger() = default;

    // The contract of wxMessageBox: style takes wxOK, wxYES_NO, wxCANCEL and wxICON_* flags;
    // the result is wxOK, wxYES, wxNO or wxCANCEL.
    virtual int ShowMessage(const wxString& message, const wxString& caption, long style) = 0;

    // Never null: without an installed messenger the console one answers.
    static Messenger* Get();
    // Installs a messenger (null for the default) and returns the previous one; the caller
    // keeps ownership of both.
    static Messenger* Set(Messenger* messenger);
};

// Messages for a run without a display: errors go to standard error, everything else to
// standard output, and a question gets the safe answer, No.
class ConsoleMessenger : public Messenger
{
public:
    int ShowMessage(const wxString& message, const wxString& caption, long style) override;
};

#endif
