// The command-line convention of the programs: -h/--help and -v/--version
// answer on standard output with exit status 0; an unknown or misplaced
// option or a stray argument is one line on standard error and exit status 2.
#pragma once

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

class CommandLine {
public:
    CommandLine(QString program, QString version, const QString& description);

    QCommandLineParser& parser() { return parser_; }

    // Parses the arguments (the program's own path first). Returns the exit
    // status when the program ends here: 0 after the help or the version,
    // 2 after a bad command line. strayAdvice says what to use instead of a
    // stray argument.
    std::optional<int> parse(const QStringList& arguments, const QString& strayAdvice = {});

    // Writes "program: text" on standard error; returns 2, the status of a
    // bad command line.
    int fail(const QString& text) const;

    // 2 after a line when option is given without required.
    std::optional<int> requireWith(const QCommandLineOption& option, const QCommandLineOption& required) const;

    // 2 after a line when the file that --screenshot names is of no format
    // the screenshot can be written in.
    std::optional<int> checkScreenshotFile(const QCommandLineOption& screenshot) const;

private:
    QString program_;
    QString version_;
    QCommandLineParser parser_;
    QCommandLineOption helpOption_;
    QCommandLineOption versionOption_;
};

// The image format a screenshot file's extension names: "png" for .png,
// "jpeg" for .jpg and .jpeg (in any case); empty for any other.
QByteArray screenshotFormat(const QString& path);

// The arguments of main as Qt strings, before any application exists.
QStringList argumentList(int argc, char** argv);
