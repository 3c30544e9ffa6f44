// The parts of file_output.h that every system shares.
#include "system/file_output.h"

OutputFile::~OutputFile() {
    Abandon();
}

bool OutputFile::Fail(const std::string& why, std::string& reason) {
    reason = why;
    Abandon();
    return false;
}

bool WriteOutputFile(const std::string& path, const std::string& content, std::string& reason) {
    OutputFile file;
    return file.Open(path, reason) && file.Write(content.data(), content.size(), reason) &&
           file.Commit(reason);
}
