#pragma once
// Sub-commands of `ksn`. Each command lives in its own file and registers itself with a
// static TCommandRegistration; main() dispatches on the first argument.
#include <string>
#include <vector>

namespace ksn::cli {

using TCommandFunction = int (*)(const std::vector<std::string>& args);

struct TCommand {
    std::string name;
    std::string usage; // one line, shown by "ksn help"
    TCommandFunction run;
};

std::vector<TCommand>& CommandRegistry();

struct TCommandRegistration {
    TCommandRegistration(std::string name, std::string usage, TCommandFunction run)
    {
        CommandRegistry().push_back({std::move(name), std::move(usage), run});
    }
};

} // namespace ksn::cli
