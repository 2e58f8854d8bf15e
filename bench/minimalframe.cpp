// feedquill_minimalframe TITLE: the smallest wxWidgets GTK program with a window, an empty
// 650 x 450 frame, for comparing Feedquill's window start-up with the toolkit's own.

#include <wx/app.h>
#include <wx/frame.h>

class MinimalApp : public wxApp
{
public:
    bool OnInit() override
    {
        const wxString title = argc > 1 ? argv[1] : wxString("Minimal frame");
        auto* frame = new wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxSize(650, 450));
        frame->Show(true);
        frame->Centre(wxBOTH);
        SetTopWindow(frame);
        return true;
    }
};

wxIMPLEMENT_APP(MinimalApp);
