#include "Usage.h"

#include <algorithm>
#include <initializer_list>
#include <iostream>

namespace usage {

namespace {

// A bad command line's text, from its pieces.
BadCommandLine bad(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (const std::string_view piece : pieces)
        text += piece;
    return BadCommandLine(text);
}

} // namespace

std::string seeHelp(std::string_view program)
{
    return " (see " + std::string(program) + " --help)";
}

Arguments::Arguments(std::string_view program, const std::vector<Option>& options, const std::vector<std::string>& args,
                     Operands operands, std::string_view strayAdvice)
    : program_(program)
{
    const std::string seeHelpText = seeHelp(program);
    const auto find = [&](std::string_view name) -> const Option* {
        static const Option help{"help"}, version{"version"};
        if (name == help.name)
            return &help;
        if (name == version.name)
            return &version;
        const auto found
            = std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.name == name; });
        return found == options.end() ? nullptr : &*found;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "-" alone is an argument too: standard input, where a program reads files.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (operands == Operands::Refused) {
                if (strayAdvice.empty())
                    throw bad({"unexpected argument \"", arg, "\"", seeHelpText});
                throw bad({"unexpected argument \"", arg, "\" (", strayAdvice, ")"});
            }
            operands_.push_back(arg);
            continue;
        }
        std::string typed = arg;
        std::optional<std::string> inlineValue;
        const Option* option = nullptr;
        if (arg == "-h" || arg == "-v") {
            option = find(arg == "-h" ? "help" : "version");
        } else if (arg.starts_with("--")) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                typed.resize(eq);
            }
            option = find(std::string_view(typed).substr(2));
        }
        if (!option)
            throw bad({"unknown option '", typed, "'", seeHelpText});
        std::string value;
        if (option->takesValue && inlineValue)
            value = *inlineValue;
        else if (option->takesValue && i + 1 < args.size())
            value = args[++i];
        else if (option->takesValue)
            throw bad({typed, " needs a value", seeHelpText});
        else if (inlineValue)
            throw bad({typed, " takes no value", seeHelpText});
        // A second value would quietly replace the first; which one was meant is not for us to guess.
        if (isSet(option->name))
            throw bad({typed, " is given twice (give it once)"});
        given_.emplace_back(option->name, std::move(value));
    }
}

bool Arguments::isSet(std::string_view name) const
{
    return std::any_of(given_.begin(), given_.end(), [&](const auto& option) { return option.first == name; });
}

std::string Arguments::value(std::string_view name, std::string_view fallback) const
{
    const auto found
        = std::find_if(given_.begin(), given_.end(), [&](const auto& option) { return option.first == name; });
    return found == given_.end() ? std::string(fallback) : found->second;
}

std::vector<std::string> Arguments::given() const
{
    std::vector<std::string> names;
    for (const auto& option : given_)
        names.push_back(option.first);
    return names;
}

std::optional<int> Arguments::answer(std::string_view helpText, std::string_view version) const
{
    if (asksForHelp()) {
        std::cout << helpText << std::flush;
        return 0;
    }
    if (isSet("version")) {
        printVersion(program_, version);
        return 0;
    }
    return std::nullopt;
}

int failCommandLine(std::string_view program, std::string_view what)
{
    // An argument may hold a line break; the report stays one line.
    std::string line(what);
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::cerr << program << ": " << line << '\n';
    return kBadCommandLine;
}

void printVersion(std::string_view program, std::string_view version)
{
    std::cout << program << ' ' << version << '\n' << std::flush;
}

} // namespace usage
