// Messages and output on the standard streams: names as messages and lists show them, and
// writes that keep off the progress line.
#ifndef KORVADEX_CLI_BATCH_MESSAGES_H
#define KORVADEX_CLI_BATCH_MESSAGES_H

#include <string>

// How an input is named in messages: "standard input" for "-", else the path.
std::string InputName(const std::string& path);

// A name as the "Input: " line of a report shows it: as it is, unless it holds a backslash,
// a control character (C0, DEL or C1) or bytes that are not UTF-8; then, as coreutils marks such
// names, escaped after a leading '\': "\\", "\n", "\r", "\t", and "\xHH" for any other such byte.
std::string ShownName(const std::string& name);

// name as the lines of a list carry it: with '/' between folders also where '\\' separates
// them, so that the list checks on any system.
std::string ListedName(const std::string& name);

// text as a message shows it: escaped as ShownName escapes it when it holds a control
// character or bytes that are not UTF-8, which a terminal could take for commands; else as
// it is.
std::string MessageText(const std::string& text);

// Writes text to standard error, off the progress line; a console shows any name in it.
void PrintErrorText(const std::string& text);

// Writes "korvadex: subject: reason" to standard error, each part as MessageText shows it.
void PrintError(const std::string& subject, const std::string& reason);

// hex in lower case when lower is set, else as it is.
std::string DisplayHex(const std::string& hex, bool lower);

// Writes text to standard output.  A failure is kept for FlushOut to report.
void PrintOut(const std::string& text);

// Flushes standard output; returns false, after a message, when it or any earlier write
// failed.
bool FlushOut();

#endif
