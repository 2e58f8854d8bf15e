#ifndef FEEDQUILL_UI_PROJECTCHOOSER_H
#define FEEDQUILL_UI_PROJECTCHOOSER_H

#include <wx/panel.h>

class FeedquillFrame;
class wxChoice;

// Identifiers of the project row, apart from the window's own.
enum
{
    ID_PROJECT = 10100,
    ID_NEW_PROJECT
};

// The row at the top of the main window: which project the window edits, the projects to switch
// to, and a button that makes a new one. A switch is remembered as the settings' current project
// and never drops template edits that were not saved.
class ProjectChooser : public wxPanel
{
public:
    ProjectChooser(wxWindow* parent, FeedquillFrame* frame);

    // Lists the projects of the settings again, with g_project's chosen.
    void ShowProjects();
    // Makes name the window's project. False, with the window's project as it was, when the user
    // kept the template edits or the switch was refused.
    bool SwitchTo(const wxString& name);

private:
    // Whether the window may leave its project: true when the template holds no unsaved edits
    // or the user saved or dropped them.
    bool MayLeaveProject(const wxString& next);
    // Loads the project, remembers it in the settings and shows it.
    void Open(const wxString& name);
    void OnChoice(wxCommandEvent& event);
    void OnNewProject(wxCommandEvent& event);

    FeedquillFrame* m_frame;
    wxChoice* m_choice;
};

#endif
