#ifndef FEEDQUILL_TESTS_DIALOGTESTING_H
#define FEEDQUILL_TESTS_DIALOGTESTING_H

// Answering modal dialogs in window tests. Include this before anything includes wx/testing.h.

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>

#include <gtest/gtest.h>

#include <memory>

// Reports an unexpected or missing dialog as a test failure instead of an assertion box.
class GTestModalHook;
#define wxTEST_DIALOG_HOOK_CLASS GTestModalHook

#include <wx/testing.h>

class GTestModalHook : public wxTestingModalHook
{
public:
    GTestModalHook(const char* file, int line, const char* func)
        : wxTestingModalHook(file, line, func)
    {
    }

protected:
    void ReportFailure(const wxString& msg) override
    {
        ADD_FAILURE() << msg.utf8_str().data();
    }
};

// Enters a text into a text entry dialog and closes it with the given button.
template <>
class wxExpectModal<wxTextEntryDialog> : public wxExpectModalBase<wxTextEntryDialog>
{
public:
    explicit wxExpectModal(const wxString& value, int id = wxID_OK)
        : m_value(value), m_id(id)
    {
    }

protected:
    int OnInvoked(wxTextEntryDialog* dialog) const override
    {
        dialog->SetValue(m_value);
        return m_id;
    }

    wxString m_value;
    int m_id;
};

// Chooses a file in a file dialog. GTK's chooser only reports a path once it has been shown,
// so the dialog is shown without its modal loop while the path is set.
class ExpectFile : public wxExpectModalBase<wxFileDialog, ExpectFile>
{
public:
    ExpectFile(const wxString& path, int id, std::shared_ptr<long> style,
               std::shared_ptr<int> filter = nullptr, std::shared_ptr<wxString> folder = nullptr)
        : m_path(path), m_id(id), m_style(std::move(style)), m_filter(std::move(filter)),
          m_folder(std::move(folder))
    {
    }

protected:
    int OnInvoked(wxFileDialog* dialog) const override
    {
        *m_style = dialog->GetWindowStyle();
        if ( m_filter )
            *m_filter = dialog->GetFilterIndex();
        if ( m_folder )
            *m_folder = dialog->GetDirectory();
        dialog->Show();
        dialog->SetPath(m_path);
        for ( int i = 0; i < 50 && dialog->GetPath() != m_path; ++i )
        {
            wxTheApp->Yield(true);
            wxMilliSleep(10);
        }
        dialog->Hide();
        return m_id;
    }

    wxString m_path;
    int m_id;
    std::shared_ptr<long> m_style;
    std::shared_ptr<int> m_filter;
    std::shared_ptr<wxString> m_folder;
};

// What a message box said, for checking after the dialog has gone.
struct ShownMessage
{
    wxString message;
    wxString caption;
    long style = 0;
};

// Answers a message box and records what it said.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage>
{
public:
    ExpectMessage(int answer, std::shared_ptr<ShownMessage> shown)
        : m_answer(answer), m_shown(std::move(shown))
    {
    }

protected:
    int OnInvoked(wxMessageDialog* dialog) const override
    {
        m_shown->message = dialog->GetMessage();
        m_shown->caption = dialog->GetCaption();
        m_shown->style = dialog->GetMessageDialogStyle();
        switch ( m_answer )
        {
            case wxYES: return wxID_YES;
            case wxNO: return wxID_NO;
            case wxCANCEL: return wxID_CANCEL;
            default: return wxID_OK;
        }
    }

    int m_answer;
    std::shared_ptr<ShownMessage> m_shown;
};

#endif
