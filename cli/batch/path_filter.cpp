#include "batch/path_filter.h"

#include "system/system.h"

void PathFilter::Add(const std::string& pattern, bool include) {
    Rule rule{pattern, include, false, false};
    while (rule.pattern.size() > 1 && rule.pattern.back() == '/') {
        rule.pattern.pop_back();
        rule.directoryOnly = true;
    }
    if (rule.pattern.find('/') != std::string::npos) {
        rule.wholePath = true;
        rule.pattern.erase(0, rule.pattern.find_first_not_of('/'));
    }
    lastInclude_ = include;
    rules_.push_back(rule);
}

bool PathFilter::Takes(const std::string& relative, bool directory) const {
    const size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    for (const Rule& rule : rules_) {
        if (rule.directoryOnly && !directory) continue;
        const bool matched = rule.wholePath ? MatchesGlob(rule.pattern, relative, true)
                                            : MatchesGlob(rule.pattern, name, false);
        if (matched) return rule.include;
    }
    return directory || !lastInclude_;
}

bool PathFilter::TakesListed(const std::string& name) const {
    size_t start = 0;
    while (true) {
        if (name.compare(start, 2, "./") == 0) {
            start += 2;
        } else if (name.compare(start, 1, "/") == 0) {
            ++start;
        } else {
            break;
        }
    }
    const std::string relative = name.substr(start);
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        if (slash != 0 && relative[slash - 1] != '/' && !Takes(relative.substr(0, slash), true)) {
            return false;
        }
    }
    return Takes(relative, false);
}
