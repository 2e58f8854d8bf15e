// Switching the window to another project, and making a new one.

#include "uitest.h"

#include "fixtureserver.h"

#include "project/project.h"
#include "ui/projectchooser.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/config.h>
#include <wx/textctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>

namespace
{

// One command of the project row and what the window shows after it.
struct SwitchCase
{
    const char* name;
    const char* edits;    // typed into the template first; nullptr for none
    int answer;           // to the question about unsaved edits; 0 when none may come
    const char* choose;   // a project chosen from the list, or nullptr
    const char* create;   // else the name given to New Project
    const char* shown;    // the project the window edits afterwards
    const char* error;    // how the one logged error begins; "" for none
};

const SwitchCase SWITCH_CASES[] = {
    { "ChooseAnother", nullptr, 0, "work", nullptr, "work", "" },
    { "EditsCancelKeepsAll", "mine", wxCANCEL, "work", nullptr, "home", "" },
    { "EditsSaved", "mine", wxYES, "work", nullptr, "work", "" },
    { "EditsDiscarded", "mine", wxNO, "work", nullptr, "work", "" },
    { "NewProject", nullptr, 0, nullptr, "private", "private", "" },
    { "NewWithSlashRefused", nullptr, 0, nullptr, "a/b", "home",
      "The project \"a/b\" cannot be made: a project's name cannot hold \"/\"" },
    { "NewEmptyRefused", nullptr, 0, nullptr, "", "home",
      "The project \"\" cannot be made: a project needs a name" },
    { "NewBlankEndRefused", nullptr, 0, nullptr, "private ", "home",
      "The project \"private \" cannot be made: a project's name cannot begin or end" },
    { "NewExistingRefused", nullptr, 0, nullptr, "work", "home",
      "The project \"work\" cannot be made: there is one of that name already." },
    { "NewWithEditsCancelMakesNothing", "mine", wxCANCEL, nullptr, "private", "home", "" },
};

const char* const TWO_PROJECTS =
    "[options]\nProject=home\n"
    "[project/home]\nFeedURL=http://home.example/feed\nFilePath=/tmp/home.sig\n"
    "LastTitle=Home post\n"
    "[project/work]\nFeedURL=http://work.example/feed\nFilePath=/tmp/work.sig\n"
    "LastTitle=Work post\n";

void PrintTo(const SwitchCase& c, std::ostream* out)
{
    *out << c.name;
}

struct ProjectFields
{
    const char* feed;
    const char* file;
    const char* title;
    wxString text;  // the template shown
};

} // anonymous namespace

class ProjectSwitch : public FrameTest, public ::testing::WithParamInterface<SwitchCase>
{
protected:
    void SetUp() override
    {
        WriteBytes(GetConfigPath(), TWO_PROJECTS);
        WriteBytes(GetTemplatePath("home.txt"), "Home: %title%");
        WriteBytes(GetTemplatePath("work.txt"), "Work: %link%");
        ReopenConfig();
        MakeFrame();
    }

    // "/options/Project" as the file holds it now.
    std::string StoredProject() const
    {
        const std::string text = ReadBytes(GetConfigPath());
        size_t at = text.find("\nProject=");
        if ( at == std::string::npos )
            return std::string();
        at += 9;
        return text.substr(at, text.find('\n', at) - at);
    }

    void Choose(const wxString& name)
    {
        wxChoice* choice = Find<wxChoice>(ID_PROJECT);
        ASSERT_TRUE(choice);
        ASSERT_TRUE(choice->SetStringSelection(name));
        wxCommandEvent event(wxEVT_CHOICE, ID_PROJECT);
        event.SetEventObject(choice);
        event.SetString(name);
        event.SetInt(choice->GetSelection());
        choice->GetEventHandler()->ProcessEvent(event);
    }

    void PressNewProject()
    {
        wxButton* button = Find<wxButton>(ID_NEW_PROJECT);
        ASSERT_TRUE(button);
        wxCommandEvent event(wxEVT_BUTTON, ID_NEW_PROJECT);
        event.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(event);
    }
};

TEST_P(ProjectSwitch, ShowsTheProjectChosenAndKeepsUnsavedEdits)
{
    const SwitchCase& c = GetParam();
    wxTextCtrl* editor = m_frame->GetTemplateCtrl();
    ASSERT_EQ(editor->GetValue(), "Home: %title%");
    wxChoice* choice = Find<wxChoice>(ID_PROJECT);
    ASSERT_TRUE(choice);
    ASSERT_EQ(choice->GetStringSelection(), "home");
    if ( c.edits )
    {
        editor->ChangeValue(c.edits);
        editor->MarkDirty();
    }

    LogCollector log;
    auto question = std::make_shared<ShownMessage>();
    {
        GTestModalHook hook(__FILE__, __LINE__, c.name);
        const wxExpectModal<wxTextEntryDialog> name(c.create ? c.create : "");
        const ExpectMessage answer(c.answer, question);
        if ( c.create )
            hook.AddExpectation(name);
        if ( c.answer )
            hook.AddExpectation(answer);
        if ( c.create )
            PressNewProject();
        else
            Choose(c.choose);
        hook.CheckUnmetExpectations();
    }

    if ( c.answer )
    {
        EXPECT_EQ(question->message, "Save changes in signature template?");
        EXPECT_TRUE(question->style & wxCANCEL);
    }
    if ( *c.error )
    {
        ASSERT_EQ(log.GetErrors().size(), 1u);
        EXPECT_TRUE(log.GetErrors()[0].StartsWith(c.error)) << log.GetErrors()[0];
    }
    else
        EXPECT_TRUE(log.GetErrors().empty()) << log.GetAll();

    const std::map<wxString, ProjectFields> projects = {
        { "home", { "http://home.example/feed", "/tmp/home.sig", "Home post", "Home: %title%" } },
        { "work", { "http://work.example/feed", "/tmp/work.sig", "Work post", "Work: %link%" } },
        { "private", { "", "", "", kDefaultTemplate } },
    };
    const ProjectFields& shown = projects.at(c.shown);
    EXPECT_EQ(g_project.m_name, c.shown);
    EXPECT_EQ(choice->GetStringSelection(), c.shown);
    EXPECT_EQ(Find<wxTextCtrl>(ID_FEED_URL)->GetValue(), shown.feed);
    EXPECT_EQ(Find<wxTextCtrl>(ID_FILE_PATH)->GetValue(), shown.file);
    EXPECT_EQ(Find<wxTextCtrl>(ID_LAST_TITLE)->GetValue(), shown.title);
    // Edits the user kept stay in the editor, still to be saved; a switch shows the new text.
    const bool kept = c.edits && wxString(c.shown) == "home";
    EXPECT_EQ(editor->GetValue(), kept ? wxString(c.edits) : shown.text);
    EXPECT_EQ(editor->IsModified(), kept);
    EXPECT_EQ(ReadBytes(GetTemplatePath("home.txt")),
              c.answer == wxYES ? c.edits : "Home: %title%");
    // The settings remember a switch at once, and only a switch.
    EXPECT_EQ(StoredProject(), c.shown);

    const wxArrayString names = ListProjects();
    const bool made = wxString(c.shown) == "private";
    EXPECT_EQ(names.size(), made ? 3u : 2u);
    EXPECT_EQ(FileExists(GetTemplatePath("private.txt")), made);
    if ( made )
    {
        EXPECT_EQ(ReadBytes(GetTemplatePath("private.txt")), "");
        EXPECT_EQ(choice->GetCount(), 3u);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, ProjectSwitch, ::testing::ValuesIn(SWITCH_CASES),
                         [](const ::testing::TestParamInfo<SwitchCase>& info)
                         { return std::string(info.param.name); });

using ProjectRow = FrameTest;

TEST_F(ProjectRow, AFreshStartListsTheDefaultProject)
{
    MakeFrame();
    wxChoice* choice = Find<wxChoice>(ID_PROJECT);
    ASSERT_TRUE(choice);
    ASSERT_EQ(choice->GetCount(), 1u);
    EXPECT_EQ(choice->GetStringSelection(), "default");
}

TEST_F(ProjectRow, StaysWhileAFetchRuns)
{
    // The fetch ends in the project it started from.
    FixtureServer server;
    server.Handle("/feed", [](const FixtureRequest&, FixtureConnection& connection)
    {
        connection.Hold(std::chrono::seconds(30));
    });
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=" + server.Url("/feed")
                                + "\n[project/work]\nFeedURL=http://work.example/feed\n");
    ReopenConfig();
    MakeFrame();
    Command(wxEVT_BUTTON, ID_GET_DATA);
    ASSERT_TRUE(m_frame->IsFetching());
    m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    wxChoice* choice = Find<wxChoice>(ID_PROJECT);
    ASSERT_TRUE(choice);
    EXPECT_FALSE(choice->IsEnabled());
    EXPECT_FALSE(Find<wxButton>(ID_NEW_PROJECT)->IsEnabled());
    auto* chooser = dynamic_cast<ProjectChooser*>(choice->GetParent());
    ASSERT_TRUE(chooser);
    EXPECT_FALSE(chooser->SwitchTo("work"));
    EXPECT_EQ(g_project.m_name, "default");
    EXPECT_EQ(choice->GetStringSelection(), "default");

    Command(wxEVT_BUTTON, ID_CANCEL_FETCH);
    ASSERT_TRUE(WaitForFetch(std::chrono::seconds(3)));
    m_frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    EXPECT_TRUE(choice->IsEnabled());
    EXPECT_TRUE(chooser->SwitchTo("work"));
    EXPECT_EQ(Find<wxTextCtrl>(ID_FEED_URL)->GetValue(), "http://work.example/feed");
}
