// The update information file as the check reads it.

#include "fuzzsetup.h"

#include "update/updatechecker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SetUpFuzzing();
    UpdateChecker checker;
    checker.SetResponse(wxString::FromUTF8(reinterpret_cast<const char*>(data), size));
    checker.ReadResponse(1.0);
    checker.GetResultMessage("1.0");
    return 0;
}
