// Feedquill.cfg as start-up reads it, with the project it names.

#include "fuzzsetup.h"

#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/convauto.h>
#include <wx/fileconf.h>
#include <wx/mstream.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetUpFuzzing();
    wxMemoryInputStream input(data, size);
    std::unique_ptr<wxConfigBase> config(new wxFileConfig(input, wxConvAuto()));
    wxConfigBase* previous = wxConfigBase::Set(config.get());
    // The file names the template to open; names that leave the template folder are the
    // user's own business, and a fuzzer must not create files all over the disk.
    const wxString name = config->Read(OPTION_PROJECT, OPTION_PROJECT_DEFAULT);
    const wxString templateName =
        config->Read(PROJECT_GROUP + name + "/" + ENTRY_TEMPLATE, name + TEMPLATE_EXTENSION);
    if ( templateName.find('/') == wxString::npos && !templateName.StartsWith(".") )
        g_project.Load(name);
    bool readOnly = false;
    config->Read(OPTION_READ_ONLY, &readOnly, OPTION_READ_ONLY_DEFAULT);
    wxConfigBase::Set(previous);
    return 0;
}
