// Runs a fuzz target over every file of the folders given, as a plain test: the corpora and
// every input that once crashed a target keep being tried without a fuzzing compiler.

#include "fuzzsetup.h"

#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    size_t count = 0;
    for ( int i = 1; i < argc; ++i )
    {
        DIR* dir = opendir(argv[i]);
        if ( !dir )
        {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        std::vector<std::string> files;
        while ( dirent* entry = readdir(dir) )
        {
            if ( entry->d_name[0] != '.' )
                files.push_back(std::string(argv[i]) + "/" + entry->d_name);
        }
        closedir(dir);
        for ( const std::string& file : files )
        {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            ++count;
        }
    }
    std::printf("%zu passed, 0 failed\n", count);
    return count > 0 ? 0 : 1;
}
