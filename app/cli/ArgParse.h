#pragma once
// The arguments of one sub-command, read front to back. Every fault is a usage error
// that says what was wrong: an unknown option, an option without its value (or with
// another option where the value belongs: "-o --quiet"), a value that is no whole
// number in its range, a second file name.
#include <string>
#include <vector>

namespace ksn::cli {

class TArgReader {
public:
    explicit TArgReader(std::vector<std::string> args) : myArgs(std::move(args)) {}

    bool More() const { return myNext < myArgs.size() && myError.empty(); }
    // The next argument; advances.
    const std::string& Next() { return myArgs[myNext++]; }

    // "-x" or "--xyz": an option name. "-" alone and negative numbers ("-1", "-.5") are
    // values.
    static bool LooksLikeOption(const std::string& text);

    // The value of `option`: the next argument, which must be there and not look like
    // an option.
    bool Value(const std::string& option, std::string& value);
    // A whole number in lo ... hi (all of the text).
    bool Integer(const std::string& option, long long lo, long long hi, int& value);

    // Records the first reason and returns false.
    bool Fail(const std::string& why);
    const std::string& Error() const { return myError; }

private:
    std::vector<std::string> myArgs;
    size_t myNext = 0;
    std::string myError;
};

// Prints "ksn <command>: <why>" and the usage line to stderr; returns 2, the exit status
// of a usage error.
int UsageError(const std::string& command, const std::string& usage, const std::string& why);

// The largest thread count a run accepts: four per processor.
int MaxThreadCount();

} // namespace ksn::cli
