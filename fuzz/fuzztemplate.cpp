// A template file as the project loads it.

#include "fuzzsetup.h"

#include "base/datafolders.h"
#include "project/project.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetUpFuzzing();
    const wxString path = g_dataDir + "SignatureTemplates/fuzz.txt";
    FILE* file = std::fopen(path.fn_str(), "wb");
    if ( !file )
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    g_project.m_templateName = "fuzz.txt";
    g_project.m_template.clear();
    g_project.LoadTemplate();
    if ( g_project.m_template.empty() )
        __builtin_trap();  // an empty or unreadable file still gives the default text
    return 0;
}
