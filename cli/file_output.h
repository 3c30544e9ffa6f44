// Writing a file so that it is either replaced whole or left as it was.
#ifndef KORVADEX_CLI_FILE_OUTPUT_H
#define KORVADEX_CLI_FILE_OUTPUT_H

#include <string>

// Writes content to a new temporary file beside path, flushes it to disk and renames it
// over path.  An existing file at path keeps its permissions and is replaced only by the
// complete content; on failure it is left as it was, no temporary file remains, and reason
// says what went wrong.
bool WriteFileReplacing(const std::string& path, const std::string& content, std::string& reason);

#endif
