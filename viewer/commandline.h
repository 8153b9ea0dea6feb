// The program's command line: --threads, --help, --version, and Qt's own
// options, which QApplication takes for itself.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

class CommandLine {
public:
    enum class Outcome { Run, ShowHelp, ShowVersion, Error };
    static constexpr int maxThreads = 256;

    CommandLine();

    // Reads the arguments, the program's name first. Needs no application
    // object and no display, so that help, the version and errors never do.
    Outcome parse(const QStringList& arguments);

    // The threads a drawing pass runs on: --threads, or else one per core.
    int threads() const { return m_threads; }
    // After Error: what was wrong, in one line.
    QString errorText() const { return m_error; }
    QString helpText() const { return m_parser.helpText(); }
    // "Quenthar " and the version, e.g. "Quenthar 1.00.5458".
    static QString versionText();

    // Prints what an outcome other than Run asks for (help or the version on
    // stdout, an error and the usage on stderr) and returns the exit status:
    // 0, or 2 after an error.
    int report(Outcome outcome) const;

    // The arguments of main() as strings.
    static QStringList arguments(int argc, char* argv[]);

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_threadsOption;
    int m_threads = 1;
    QString m_error;
};
