// Writing the files the command line produces, so that nothing is destroyed on the way.
//
// The path given is followed through every symbolic link to the file it names; what is
// there decides how it is written:
//   - nothing (a new name, or the target of a dangling link): a new file, made complete
//     under a short temporary name in the same folder and then renamed into place;
//   - a regular file with one name: replaced the same way, atomically, keeping its owner,
//     group and mode where the system allows it;
//   - a regular file with several names (hard links): refused.  Replacing it would part it
//     from its other names, and writing into it in place could leave every name half
//     written after a crash or a full disk, with nothing of the earlier content left;
//   - a FIFO or a character device (a terminal, /dev/null): opened and written as it is,
//     never replaced;
//   - a directory, a block device or a socket: refused.
// Until it is renamed, a temporary file is removed again by SIGINT, SIGTERM or SIGHUP,
// after which the process dies of the signal as it would have without it.
#ifndef KORVADEX_CLI_FILE_OUTPUT_H
#define KORVADEX_CLI_FILE_OUTPUT_H

#include <cstddef>
#include <string>

// One file being written.  Open, Write any number of times, then Commit: until Commit
// succeeds, the file at the path is as it was, and an OutputFile destroyed before then
// removes its temporary file.  Each failure returns false with reason set to what went
// wrong; the OutputFile is then spent.  Meant for the main thread.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path, std::string& reason);
    bool Write(const char* data, size_t size, std::string& reason);
    bool Commit(std::string& reason);

private:
    void Abandon();
    // Sets reason to why, abandons the file and returns false.
    bool Fail(const std::string& why, std::string& reason);

    int fd_ = -1;
    int slot_ = -1;       // the temporary file's place in the list the signal handler reads
    std::string target_;  // the path after every link
    std::string temp_;    // the temporary file, while there is one
};

// Writes content to path as OutputFile does; what every file the command line writes goes
// through.
bool WriteOutputFile(const std::string& path, const std::string& content, std::string& reason);

#endif
