#include "lists/json_lines.h"

#include <nlohmann/json.hpp>

#include "common/algorithm_names.h"
#include "common/line_names.h"
#include "common/text_encoding.h"
#include "lists/json_record_scan.h"

namespace {

using Json = nlohmann::ordered_json;

// Puts the name under field, or its bytes in base64 under field + "_base64" when it is not
// UTF-8, which a JSON string cannot hold.
void PutName(Json& object, const char* field, const std::string& name) {
    if (IsUtf8(name)) {
        object[field] = name;
    } else {
        object[std::string(field) + "_base64"] = Base64Encode(name);
    }
}

// The names other tools give the line: its label in the lower case without blanks or
// hyphens that most tools take ("sha256"; not for labels such as "HAVAL 128 (3 Rounds)"),
// its other names and its BSD tag.
Json OtherNames(size_t line) {
    std::vector<std::string> names = NamesOf(kReportLines[line]);
    names[0] = NormalName(names[0]);
    if (names[0].find('(') != std::string::npos) names.erase(names.begin());
    Json others = Json::array();
    for (size_t i = 0; i < names.size(); ++i) {
        if (std::find(others.begin(), others.end(), names[i]) == others.end()) {
            others.push_back(names[i]);
        }
    }
    return others;
}

Json Digests(const std::vector<RecordDigest>& digests) {
    Json object = Json::object();
    for (const RecordDigest& digest : digests) {
        Json value;
        value[digest.keyed ? "hmac" : "hex"] = digest.hex;
        value["names"] = OtherNames(digest.line);
        object[LineName(kReportLines[digest.line])] = value;
    }
    return object;
}

// The size and digests of a record, for a verdict.
Json SizeAndDigests(const FileRecord& record) {
    Json object = Json::object();
    if (record.size >= 0) object["size"] = record.size;
    if (!record.digests.empty()) object["digests"] = Digests(record.digests);
    return object;
}

// Names are UTF-8 or base64 by then; a reason of a caller's that holds other bytes has them
// replaced, rather than the line refused.
std::string Line(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

long LineOfJsonLabel(const std::string& label) {
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> all;
        for (size_t i = 0; i < kReportLineCount; ++i) all.push_back(LineName(kReportLines[i]));
        return all;
    }();
    for (size_t i = 0; i < labels.size(); ++i) {
        if (labels[i] == label) return long(i);
    }
    return FindAlgorithm(label);
}

namespace {

bool IsHexText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// The name of an object: "name", or the bytes of "name_base64"; exactly one of them.
bool TakeName(const Json& object, std::string& name, std::string& reason) {
    const auto plain = object.find("name");
    const auto encoded = object.find("name_base64");
    if ((plain == object.end()) == (encoded == object.end())) {
        reason = "an object with neither or both of \"name\" and \"name_base64\"";
        return false;
    }
    if (plain != object.end()) {
        if (!plain->is_string()) {
            reason = "a \"name\" that is not a string";
            return false;
        }
        name = plain->get<std::string>();
    } else if (!encoded->is_string() || !Base64Decode(encoded->get<std::string>(), name)) {
        reason = "a \"name_base64\" that is not base64";
        return false;
    }
    if (name.empty()) {
        reason = "no file name";
        return false;
    }
    return true;
}

bool TakeDigests(const Json& digests, std::vector<RecordDigest>& taken, std::string& reason) {
    if (!digests.is_object() || digests.empty()) {
        reason = "\"digests\" is not an object holding at least one digest";
        return false;
    }
    for (const auto& item : digests.items()) {
        RecordDigest digest;
        const long line = LineOfJsonLabel(item.key());
        if (line < 0) {
            reason = "no report line is labelled '" + item.key() + "'";
            return false;
        }
        digest.line = size_t(line);
        const Json& value = item.value();
        const auto hex = value.is_object() ? value.find("hex") : value.end();
        const auto hmac = value.is_object() ? value.find("hmac") : value.end();
        if (!value.is_object() || (hex == value.end()) == (hmac == value.end())) {
            reason =
                "the digest '" + item.key() + "' holds neither or both of \"hex\" and \"hmac\"";
            return false;
        }
        digest.keyed = hmac != value.end();
        const Json& text = digest.keyed ? *hmac : *hex;
        if (!text.is_string() || !IsHexText(text.get<std::string>())) {
            reason = "the digest '" + item.key() + "' is not a string of hex digits";
            return false;
        }
        digest.hex = text.get<std::string>();
        taken.push_back(digest);
    }
    return true;
}

}  // namespace

std::string JsonRecordLine(const FileRecord& record) {
    Json object;
    object["list_version"] = kRecordListVersion;
    PutName(object, "name", record.name);
    if (record.size >= 0) object["size"] = record.size;
    if (record.timeKnown) object["modified"] = TimeText(record.modified);
    object["digests"] = Digests(record.digests);
    return Line(object);
}

bool StartsJsonList(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos || text[start] != '{') return false;
    const size_t key = text.find_first_not_of(" \t", start + 1);
    return key != std::string::npos && text.compare(key, 14, "\"list_version\"") == 0;
}

ChecksumLineKind ParseJsonRecord(const std::string& text, FileRecord& record, std::string& reason) {
    if (ScanJsonRecord(text, record)) return ChecksumLineKind::kEntry;
    return ParseJsonRecordObject(text, record, reason);
}

ChecksumLineKind ParseJsonRecordObject(const std::string& text, FileRecord& record,
                                       std::string& reason) {
    record = FileRecord();
    if (text.find_first_not_of(" \t\r") == std::string::npos) return ChecksumLineKind::kIgnored;
    const Json object = Json::parse(text, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        reason = "not a JSON object";
        return ChecksumLineKind::kMalformed;
    }
    const auto version = object.find("list_version");
    if (version == object.end() || !version->is_number_unsigned()) {
        reason = "an object without \"list_version\"";
        return ChecksumLineKind::kMalformed;
    }
    if (version->get<uint64_t>() != uint64_t(kRecordListVersion)) {
        reason = "list version " + version->dump() +
                 ", which this korvadex does not read (it reads " +
                 std::to_string(kRecordListVersion) + ")";
        return ChecksumLineKind::kMalformed;
    }
    if (!TakeName(object, record.name, reason)) return ChecksumLineKind::kMalformed;
    const auto size = object.find("size");
    if (size != object.end()) {
        if (!size->is_number_unsigned() || size->get<uint64_t>() > uint64_t(INT64_MAX)) {
            reason = "a \"size\" that is not a whole number of bytes";
            return ChecksumLineKind::kMalformed;
        }
        record.size = size->get<int64_t>();
    }
    const auto modified = object.find("modified");
    if (modified != object.end()) {
        if (!modified->is_string() ||
            !ParseTimeText(modified->get<std::string>(), record.modified)) {
            reason = "a \"modified\" that is not an RFC 3339 time in UTC";
            return ChecksumLineKind::kMalformed;
        }
        record.timeKnown = true;
    }
    const auto digests = object.find("digests");
    if (digests == object.end()) {
        reason = "an object without \"digests\"";
        return ChecksumLineKind::kMalformed;
    }
    if (!TakeDigests(*digests, record.digests, reason)) return ChecksumLineKind::kMalformed;
    return ChecksumLineKind::kEntry;
}

std::string JsonVerdictLine(const EntryVerdict& verdict) {
    Json object;
    PutName(object, "name", verdict.name);
    PutName(object, "list", verdict.list);
    if (verdict.line > 0) object["line"] = verdict.line;
    object["verdict"] = verdict.verdict;
    if (!verdict.movedFrom.empty()) PutName(object, "moved_from", verdict.movedFrom);
    if (!verdict.reason.empty()) object["reason"] = verdict.reason;
    const Json expected = SizeAndDigests(verdict.expected);
    if (!expected.empty()) object["expected"] = expected;
    const Json actual = SizeAndDigests(verdict.actual);
    if (!actual.empty()) object["actual"] = actual;
    return Line(object);
}
