#include "base/messenger.h"

#include "base/consoleoutput.h"

#include <wx/defs.h>


namespace
{

ConsoleMessenger s_consoleMessenger;
Messenger* s_messenger = nullptr;

} // anonymous namespace

Messenger* Messenger::Get()
{
    return s_messenger ? s_messenger : &s_consoleMessenger;
}

Messenger* Messenger::Set(Messenger* messenger)
{
    Messenger* previous = s_messenger;
    s_messenger = messenger;
    return previous;
}

int ConsoleMessenger::ShowMessage(const wxString& message, const wxString& WXUNUSED(caption),
                                  long style)
{
    if ( style & wxICON_ERROR )
        WriteConsoleText(stderr, message, CONSOLE_ERROR);
    else if ( style & wxICON_WARNING )
        WriteConsoleText(stdout, message, CONSOLE_WARNING);
    else
        WriteConsoleText(stdout, message, CONSOLE_INFO);
    if ( style & wxYES_NO )
        return wxNO;
    return (style & wxCANCEL) ? wxCANCEL : wxOK;
}
