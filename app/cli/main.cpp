// ksn: the command-line face of the simulator. Thin: parses the sub-command and hands
// over to the core through the command's own file.
#include "Commands.h"

#include <algorithm>
#include <iostream>
#include <new>

namespace ksn::cli {

std::vector<TCommand>& CommandRegistry()
{
    static std::vector<TCommand> commands;
    return commands;
}

} // namespace ksn::cli

namespace {

int PrintUsage(std::ostream& out)
{
    auto commands = ksn::cli::CommandRegistry();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    out << "Kestrin (KSN) optical wave-propagation simulator\n\nUsage:\n";
    for (const auto& c : commands)
        out << "  ksn " << c.usage << '\n';
    out << "  ksn help\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "ksn: no command given.\n";
        PrintUsage(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h")
        return PrintUsage(std::cout);
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : ksn::cli::CommandRegistry())
        if (c.name == name) {
            try {
                return c.run(args);
            } catch (const std::bad_alloc&) {
                std::cerr << "Out of memory: ksn " << name << " could not allocate what it needed." << std::endl;
                return 1;
            } catch (const std::exception& e) {
                std::cerr << e.what() << std::endl;
                return 1;
            }
        }
    std::cerr << "Unknown command \"" << name << "\".\n";
    PrintUsage(std::cerr);
    return 2;
}
