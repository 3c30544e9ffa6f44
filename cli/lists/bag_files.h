// The tag files of a bag (RFC 8493, and the versions before it): bagit.txt, the manifests,
// bag-info.txt and fetch.txt, read and written as text.
#ifndef KORVADEX_CLI_LISTS_BAG_FILES_H
#define KORVADEX_CLI_LISTS_BAG_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The line of an algorithm a bag may carry under its interoperable name (md5, sha1, sha256,
// sha384, sha512), or -1.
long BagAlgorithm(const std::string& name);

// What bagit.txt declares.
struct BagDeclaration {
    std::string version;          // "1.0", "0.97", ...
    std::string encoding;         // the tag files', as named: "UTF-8", "ISO-8859-1", "UTF-16"
    bool old = false;             // 0.93 to 0.96
    bool infoIsPackage = false;   // 0.93 to 0.95: package-info.txt, not bag-info.txt
    bool percentEncoded = false;  // 1.0: CR, LF and '%' in paths are percent-encoded
    bool everyManifest = false;   // 1.0: every payload file in every payload manifest
};

// Reads the bytes of bagit.txt; false, with fault set, when they are not its two lines of
// a known version.
bool ParseBagDeclaration(const std::string& bytes, BagDeclaration& declaration, std::string& fault);

// The bagit.txt korvadex writes.
std::string BagDeclarationText();

// The bytes of a tag file as UTF-8 text, from the encoding bagit.txt names; false, with
// reason set, for an encoding not known or bytes not in it.
bool DecodeTagFile(const std::string& bytes, const std::string& encoding, std::string& text,
                   std::string& reason);

// The lines of text, which end in LF, CR LF or CR.
std::vector<std::string> TagLines(const std::string& text);

// One line of a manifest.
struct ManifestEntry {
    size_t number = 0;     // the line's number
    std::string hex;       // as written
    std::string path;      // decoded, without a leading "./" or '*'
    bool starred = false;  // written md5sum-style, with a '*' before the path
};

// Reads a manifest line, "CHECKSUM PATH"; false, with fault set, when it is not one.
bool ParseManifestLine(const std::string& line, bool percentEncoded, ManifestEntry& entry,
                       std::string& fault);

// Why path (as a manifest gives it, decoded) may not be in a bag, or nullptr: "..", an
// absolute path, '~', a drive letter or a UNC path lead outside it.
const char* BagPathFault(const std::string& path);

// A manifest line of hex and path, path percent-encoded (CR, LF and '%').
std::string ManifestLine(const std::string& hex, const std::string& path);

// A label and its value in bag-info.txt.
struct BagInfoField {
    std::string label;
    std::string value;
};

// Reads bag-info.txt; lines that are neither "Label: Value" nor a continuation (starting with
// a blank or tab) are counted in malformed.
std::vector<BagInfoField> ParseBagInfo(const std::string& text, size_t& malformed);

// The bag-info.txt of a bag made on date (YYYY-MM-DD) of octets in files.
std::string BagInfoText(const std::string& date, uint64_t octets, uint64_t files);

// One line of fetch.txt.
struct FetchEntry {
    std::string url;
    std::string length;  // bytes, or "-"
    std::string path;
};

// Reads a fetch.txt line, "URL LENGTH PATH"; false when it is not one.
bool ParseFetchLine(const std::string& line, bool percentEncoded, FetchEntry& entry);

#endif
