#include "ui/mainicon.h"

#include "mainicon_data.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>

wxIconBundle GetMainIcon()
{
    if ( !wxImage::FindHandler(wxBITMAP_TYPE_PNG) )
        wxImage::AddHandler(new wxPNGHandler);
    wxIconBundle icons;
    for ( const MainIconImage& image : s_mainIconImages )
    {
        wxIcon icon;
        icon.CopyFromBitmap(wxBitmap::NewFromPNGData(image.data, image.size));
        if ( icon.IsOk() )
            icons.AddIcon(icon);
    }
    return icons;
}
