#include "ui/addressdialog.h"

#include "feed/feedreader.h"
#include "project/project.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uri.h>

#include <memory>

// What the worker of a check found, for the dialog's thread.
// The check of one address: a feed read on the fetch task's worker thread.
struct AddressCheck : public FetchJob
{
    explicit AddressCheck(const wxString& url) : reader(url) {}

    void Run(FetchProgress& progress) override
    {
        HttpOptions options = FeedReader::GetDefaultHttpOptions();
        options.progress = [&progress](std::size_t bytes) { return progress.Report(bytes); };
        reader.SetHttpOptions(options);
        error = reader.Read();
    }

    FeedReader reader;
    int error = 0;
};

namespace
{

wxString Trimmed(wxString text)
{
    return text.Trim(true).Trim(false);
}

// The host a check connects to, for its progress.
wxString HostOf(const wxString& address)
{
    const wxString host = wxURI(address.Contains("://") ? address : "http://" + address)
                              .GetServer();
    return host.empty() ? address : host;
}

} // anonymous namespace

AddressDialog::AddressDialog(wxWindow* parent, const wxString& address)
    : wxDialog(parent, wxID_ANY, _("Feedquill: Enter url"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_check(this)
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, _("Enter url of RSS or Atom feed of your blog ")),
               0, wxLEFT | wxRIGHT | wxTOP, 10);
    sizer->Add(new wxStaticText(this, wxID_ANY, _("Your blog's own address will do too, such as "
                                                  "blog.example.com: Feedquill finds its feed.")),
               0, wxLEFT | wxRIGHT | wxTOP, 10);
    m_field = new wxTextCtrl(this, wxID_ANY, address);
    m_field->SetMinSize(wxSize(m_field->GetCharWidth() * 60, -1));
    sizer->Add(m_field, 0, wxEXPAND | wxALL, 10);
    m_outcome = new wxStaticText(this, wxID_ANY, wxString());
    m_outcome->SetMinSize(wxSize(-1, 4 * m_outcome->GetCharHeight()));
    sizer->Add(m_outcome, 1, wxEXPAND | wxLEFT | wxRIGHT, 10);
    sizer->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 10);
    m_ok = static_cast<wxButton*>(FindWindow(wxID_OK));
    SetSizerAndFit(sizer);
    Centre();
    m_field->SetFocus();
    m_field->SelectAll();
    Bind(wxEVT_BUTTON, &AddressDialog::OnOK, this, wxID_OK);
    Bind(wxEVT_BUTTON, &AddressDialog::OnCancel, this, wxID_CANCEL);
}

bool AddressDialog::AskAndStore(wxWindow* parent)
{
    AddressDialog dialog(parent, g_project.m_feedURL);
    if ( dialog.ShowModal() != wxID_OK )
        return false;
    const wxString address = dialog.GetAddress();
    if ( address.empty() )
        return false;
    g_project.SetFeedURL(address);
    if ( dialog.HasPost() )
        g_project.SetLastPost(dialog.GetPostTitle(), dialog.GetPostLink());
    return true;
}

wxString AddressDialog::GetAddress() const
{
    return Trimmed(m_field->GetValue());
}

wxString AddressDialog::GetOutcome() const
{
    return m_outcome->GetLabelText();
}

bool AddressDialog::IsChecked() const
{
    return !m_checked.empty() && GetAddress() == m_checked;
}

void AddressDialog::OnOK(wxCommandEvent& WXUNUSED(event))
{
    if ( IsChecking() )
        return;
    const wxString address = GetAddress();
    // Nothing typed changes nothing; an address checked already, found or not, is taken.
    if ( address.empty() || IsChecked() )
    {
        EndModal(wxID_OK);
        return;
    }
    StartCheck(address);
}

void AddressDialog::OnCancel(wxCommandEvent& WXUNUSED(event))
{
    // Cancel stops a check first, as in the main window; then it closes the dialog.
    if ( IsChecking() )
    {
        m_check.Cancel();
        ShowProgress(0);
        return;
    }
    EndModal(wxID_CANCEL);
}

void AddressDialog::StartCheck(const wxString& address)
{
    m_checked.clear();
    m_found = false;
    m_host = HostOf(address);
    m_ok->Disable();
    ShowProgress(0);
    m_check.Start(std::make_unique<AddressCheck>(address),
                  [this](std::size_t bytes) { ShowProgress(bytes); },
                  [this](std::unique_ptr<FetchJob> job, bool cancelled)
                  { FinishCheck(static_cast<AddressCheck&>(*job), cancelled); });
}

void AddressDialog::ShowProgress(std::size_t bytes)
{
    if ( m_check.IsCancelled() )
        m_outcome->SetLabelText(_("Stopping..."));
    else if ( bytes == 0 )
        m_outcome->SetLabelText(wxString::Format(_("Connecting to %s..."), m_host));
    else
        m_outcome->SetLabelText(wxString::Format(_("Reading the feed: %s KB"),
                                             wxString::Format("%zu", (bytes + 1023) / 1024)));
}

void AddressDialog::FinishCheck(AddressCheck& check, bool cancelled)
{
    m_ok->Enable();
    if ( cancelled )
    {
        m_outcome->SetLabelText(_("Stopped. Nothing was changed."));
        return;
    }
    const FeedReader& reader = check.reader;
    wxString outcome;
    if ( check.error == 0 )
    {
        m_found = true;
        m_title = reader.GetTitle();
        m_link = reader.GetLink();
        m_field->ChangeValue(reader.GetFeedUrl());
        outcome = wxString::Format(_("Newest post: %s"), m_title);
        if ( !reader.GetPageUrl().empty() )
            outcome += "\n" + wxString::Format(_("The page %s names this feed."),
                                               reader.GetPageUrl());
        outcome += "\n" + _("Press OK to store this address.");
    }
    else
    {
        outcome = wxString::Format(_("Error #%i while processing your feed"), check.error);
        if ( !reader.GetErrorDetail().empty() )
            outcome += "\n" + reader.GetErrorDetail();
        outcome += "\n" + _("Change the address, or press OK to store it as it is.");
    }
    m_checked = GetAddress();
    m_outcome->SetLabelText(outcome);
    m_outcome->Wrap(m_field->GetSize().x);
    Fit();
}
