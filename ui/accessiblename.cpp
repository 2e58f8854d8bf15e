#include "ui/accessiblename.h"

#include <wx/window.h>

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

namespace
{

#ifdef __WXGTK__
// The GTK and ATK calls, looked up in the libraries the toolkit has loaded already, so that
// building needs no GTK headers.
template <class Function>
Function FindCall(const char* library, const char* name)
{
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    return handle ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

void* GetAccessible(wxWindow* window)
{
    using Call = void* (*)(void*);
    static const Call getAccessible = FindCall<Call>("libgtk-3.so.0", "gtk_widget_get_accessible");
    return getAccessible && window->GetHandle() ? getAccessible(window->GetHandle()) : nullptr;
}
#endif

} // anonymous namespace

void SetAccessibleName(wxWindow* window, const wxString& name)
{
#ifdef __WXGTK__
    using Call = void (*)(void*, const char*);
    static const Call setName = FindCall<Call>("libatk-1.0.so.0", "atk_object_set_name");
    if ( void* accessible = GetAccessible(window); accessible && setName )
        setName(accessible, name.utf8_str());
#else
    wxUnusedVar(window);
    wxUnusedVar(name);
#endif
}

wxString GetAccessibleName(wxWindow* window)
{
#ifdef __WXGTK__
    using Call = const char* (*)(void*);
    static const Call getName = FindCall<Call>("libatk-1.0.so.0", "atk_object_get_name");
    if ( void* accessible = GetAccessible(window); accessible && getName )
    {
        const char* name = getName(accessible);
        return name ? wxString::FromUTF8(name) : wxString();
    }
#else
    wxUnusedVar(window);
#endif
    return wxString();
}
