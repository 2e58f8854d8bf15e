#include "app/windowmodule.h"

#include "base/buildinfo.h"

#include <dlfcn.h>
#include <unistd.h>

namespace WindowModule
{

namespace
{

const char FILE_NAME[] = "feedquill-window.so";

} // anonymous namespace

std::vector<std::string> Candidates(const std::string& programDir)
{
    std::vector<std::string> candidates;
    // Without the program's folder the paths relative to it would be relative to the current
    // folder, where anybody may have put a file of that name.
    if ( !programDir.empty() )
    {
        candidates.push_back(programDir + FILE_NAME);
        candidates.push_back(programDir + FEEDQUILL_WINDOW_MODULE_RELATIVE_DIR "/" + FILE_NAME);
    }
    candidates.push_back(FEEDQUILL_INSTALLED_WINDOW_MODULE_DIR "/" + std::string(FILE_NAME));
    return candidates;
}

RunFunction Load(const std::string& programDir, std::string& error)
{
    const std::vector<std::string> candidates = Candidates(programDir);
    for ( const std::string& path : candidates )
    {
        if ( access(path.c_str(), F_OK) != 0 )
            continue;
        // Every symbol is bound now, so that a module that does not match this executable
        // fails here with a message rather than later with a crash.
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if ( !handle )
        {
            error = dlerror();
            return nullptr;
        }
        void* run = dlsym(handle, RUN_FUNCTION_NAME);
        if ( !run )
        {
            error = path + " has no entry point " + RUN_FUNCTION_NAME;
            dlclose(handle);
            return nullptr;
        }
        return reinterpret_cast<RunFunction>(run);
    }
    error = std::string(FILE_NAME) + " was found neither beside the program nor in "
            + FEEDQUILL_INSTALLED_WINDOW_MODULE_DIR;
    return nullptr;
}

} // namespace WindowModule
