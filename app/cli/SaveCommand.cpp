// ksn save FILE OUT: loads a configuration file and writes it back as Save does.
#include "ArgParse.h"
#include "CliSink.h"
#include "Commands.h"

#include "config/Configuration.h"
#include "config/Messages.h"

#include <iostream>

namespace ksn::cli {

namespace {

int RunSave(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return UsageError("save", "save FILE OUT",
            args.size() < 2 ? "FILE and OUT are both needed." : "only FILE and OUT are taken.");
    for (const std::string& a : args)
        if (TArgReader::LooksLikeOption(a))
            return UsageError("save", "save FILE OUT", "unknown option " + a + ".");
    TCliSink sink;
    TScopedMessageSink scope(&sink);
    TConfiguration config;
    if (!LoadConfiguration(args[0], config))
        return 1;
    return SaveConfiguration(args[1], config) ? 0 : 1;
}

const TCommandRegistration theSaveCommand("save", "save FILE OUT    load a configuration file and write it to OUT",
                                          RunSave);

} // namespace

} // namespace ksn::cli
