// --exclude and --include: which entries of a walk, or of a checksum list, are taken.
#ifndef KORVADEX_CLI_PATH_FILTER_H
#define KORVADEX_CLI_PATH_FILTER_H

#include <string>
#include <vector>

// The rules, tried in the order given: the first whose pattern matches decides.  A pattern is
// a shell glob.  One without a '/' but a trailing one matches a name at any depth; one with
// an inner '/' (or a leading one, which is dropped) matches the whole path below the operand,
// where '*' and '?' do not match a '/'.  A trailing '/' matches directories only.  A file no
// rule matches is taken unless the last rule is an --include (so that one alone takes only
// what it matches); a directory no rule matches is entered.
class PathFilter {
public:
    void Add(const std::string& pattern, bool include);
    bool Empty() const { return rules_.empty(); }

    // Whether the entry at relative (the path below the operand, without a leading '/') is
    // taken: a file hashed, or a directory entered.
    bool Takes(const std::string& relative, bool directory) const;

    // Whether the entry of a checksum list named name is checked: no leading directory of it
    // is left out, and the file itself is taken.  A leading "./" or '/' is not matched.
    bool TakesListed(const std::string& name) const;

private:
    struct Rule {
        std::string pattern;
        bool include;
        bool directoryOnly;
        bool wholePath;
    };
    std::vector<Rule> rules_;
    bool lastInclude_ = false;
};

#endif
