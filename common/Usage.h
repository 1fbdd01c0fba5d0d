// The command-line convention of every program (the Qt programs follow it
// through CommandLine): -h/--help and -v/--version answer on standard output
// with exit status 0; a bad command line is one line "program: what (see
// program --help)" on standard error and exit status 2.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace usage {

constexpr int kBadCommandLine = 2;

// A command line that cannot be used; what() is the line's text after "program: ".
class BadCommandLine : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An option a program takes besides -h/--help and -v/--version, as --name.
// One that takes a value takes it as the next argument or after "=".
struct Option {
    std::string name;
    bool takesValue = false;
};

// Whether the arguments that are not options are the program's (meshgrid's
// captures) or strays.
enum class Operands { Refused, Taken };

// " (see program --help)", the advice a bad command line ends with.
std::string seeHelp(std::string_view program);

// One command line read by the convention's rules. An unknown option, a
// value missing or given to an option that takes none, an option given twice
// and a stray argument are each a bad command line, also beside -h or -v;
// the first one in the line is named. "--" ends the options.
class Arguments {
public:
    // args are main's arguments after the program's path. Throws
    // BadCommandLine; a stray argument's line ends in strayAdvice, by default
    // "see program --help".
    Arguments(std::string_view program, const std::vector<Option>& options, const std::vector<std::string>& args,
              Operands operands = Operands::Refused, std::string_view strayAdvice = {});

    bool isSet(std::string_view name) const;
    // The value given to the option name, or fallback when it was not given.
    std::string value(std::string_view name, std::string_view fallback = {}) const;
    // The options given, by name, in the order given.
    std::vector<std::string> given() const;
    const std::vector<std::string>& operands() const { return operands_; }

    bool asksForHelp() const { return isSet("help"); }
    // After -h/--help writes helpText, after -v/--version "program version",
    // on standard output and returns 0 (the help when both are given);
    // nullopt when neither was given.
    std::optional<int> answer(std::string_view helpText, std::string_view version) const;

private:
    std::string program_;
    std::vector<std::pair<std::string, std::string>> given_; // name and value
    std::vector<std::string> operands_;
};

// Writes "program: what" as one line on standard error; returns 2.
int failCommandLine(std::string_view program, std::string_view what);

// The answer to -v/--version.
void printVersion(std::string_view program, std::string_view version);

} // namespace usage
