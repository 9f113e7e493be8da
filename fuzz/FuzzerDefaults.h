// Flags a target gives libFuzzer for itself. libFuzzer calls LLVMFuzzerInitialize before it reads
// its command line, which may change the command line: each default joins it unless a flag of
// that name is there already, so a run can still ask for anything.
//
//   extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
//   {
//       dv::fuzz::addDefaultFlags(argc, argv, { "-entropic=0" });
//       return 0;
//   }
#pragma once

#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace dv::fuzz {

inline void addDefaultFlags(int* argc, char*** argv, std::initializer_list<const char*> defaults)
{
    // Kept for the process: libFuzzer reads the arguments from here.
    static std::vector<char*> arguments;
    arguments.assign(*argv, *argv + *argc);
    for (const char* flag : defaults) {
        std::string_view name(flag, std::strcspn(flag, "="));
        bool given = false;
        for (int i = 1; i < *argc; ++i) {
            std::string_view argument((*argv)[i]);
            given = given || (argument.starts_with(name) && argument.size() > name.size() && argument[name.size()] == '=');
        }
        if (!given)
            arguments.push_back(const_cast<char*>(flag));
    }
    arguments.push_back(nullptr);
    *argc = int(arguments.size() - 1);
    *argv = arguments.data();
}

} // namespace dv::fuzz
