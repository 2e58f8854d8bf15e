// The window without the mouse, and for screen readers.

#include "uitest.h"

#include "ui/accessiblename.h"
#include "project/project.h"

#include <wx/accel.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

#include <gtest/gtest.h>

using FrameKeys = FrameTest;

TEST_F(FrameKeys, ChooseButtonsSayWhatTheyDo)
{
    MakeFrame();
    const struct
    {
        int id;
        const char* text;
    } buttons[] = { { ID_ENTER_URL, "Enter the feed address" },
                    { ID_SELECT_FILE, "Choose the signature file" } };
    for ( const auto& button : buttons )
    {
        wxWindow* window = m_frame->FindWindow(button.id);
        ASSERT_TRUE(window);
        EXPECT_EQ(window->GetToolTipText(), button.text);
        EXPECT_EQ(GetAccessibleName(window), button.text);
    }
}

TEST_F(FrameKeys, ControlSSavesTheTemplate)
{
    MakeFrame();
    wxKeyEvent key(wxEVT_KEY_DOWN);
    key.m_keyCode = 'S';
    key.m_controlDown = true;
    const int command = m_frame->GetAcceleratorTable()->GetCommand(key);
    ASSERT_EQ(command, ID_SAVE_TEMPLATE);
    m_frame->GetTemplateCtrl()->ChangeValue("saved by key");
    m_frame->GetTemplateCtrl()->MarkDirty();
    Command(wxEVT_MENU, command);
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "saved by key");
}

TEST_F(FrameKeys, EnterOrADoubleClickInAFieldOpensItsDialog)
{
    MakeFrame();
    wxCommandEvent enter(wxEVT_TEXT_ENTER, ID_FEED_URL);
    Find<wxTextCtrl>(ID_FEED_URL)->GetEventHandler()->ProcessEvent(enter);
    wxTEST_DIALOG(wxTheApp->ProcessPendingEvents(),
                  ExpectAddress("http://blog.example/by-enter"));
    EXPECT_EQ(g_project.m_feedURL, "http://blog.example/by-enter");

    const wxString path = m_dir.File("double-clicked");
    auto style = std::make_shared<long>(0);
    wxMouseEvent click(wxEVT_LEFT_DCLICK);
    Find<wxTextCtrl>(ID_FILE_PATH)->GetEventHandler()->ProcessEvent(click);
    wxTEST_DIALOG(wxTheApp->ProcessPendingEvents(), ExpectFile(path, wxID_OK, style));
    EXPECT_EQ(g_project.m_filePath, path);
}
