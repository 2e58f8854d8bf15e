#include "base/messenger.h"

#include <wx/defs.h>

#include <cstdio>

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
    FILE* out = (style & wxICON_ERROR) ? stderr : stdout;
    const wxScopedCharBuffer text = message.utf8_str();
    std::fprintf(out, "%s\n", text.data());
    std::fflush(out);
    if ( style & wxYES_NO )
        return wxNO;
    return (style & wxCANCEL) ? wxCANCEL : wxOK;
}
