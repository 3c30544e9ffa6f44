#include "lists/shard_lists.h"

#include <nlohmann/json.hpp>

#include "common/text_encoding.h"
#include "lists/json_lines.h"
#include "sha256.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kShardListVersion = 1;

std::string Line(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool TakeString(const Json& object, const char* field, std::string& value) {
    const auto found = object.find(field);
    if (found == object.end()) return true;
    if (!found->is_string()) return false;
    value = found->get<std::string>();
    return true;
}

bool TakeCount(const Json& object, const char* field, uint64_t& value) {
    const auto found = object.find(field);
    if (found == object.end() || !found->is_number_unsigned()) return false;
    value = found->get<uint64_t>();
    return true;
}

// Puts text under field, or its bytes in base64 under field + "_base64" when it is not
// UTF-8, which a JSON string cannot hold.
void PutText(Json& object, const std::string& field, const std::string& text) {
    if (IsUtf8(text)) {
        object[field] = text;
    } else {
        object[field + "_base64"] = Base64Encode(text);
    }
}

// The text PutText put under field; false when there is none or it is not one.
bool TakeText(const Json& object, const std::string& field, std::string& text) {
    const auto plain = object.find(field);
    if (plain != object.end()) {
        if (!plain->is_string()) return false;
        text = plain->get<std::string>();
        return true;
    }
    const auto encoded = object.find(field + "_base64");
    return encoded != object.end() && encoded->is_string() &&
           Base64Decode(encoded->get<std::string>(), text);
}

Json JobObject(const ShardHeader& header) {
    Json job;
    job["command"] = header.command;
    // Arguments that are not all UTF-8 (names of files) are kept as their bytes.
    bool utf8 = true;
    for (const std::string& argument : header.arguments) utf8 = utf8 && IsUtf8(argument);
    if (utf8) {
        job["arguments"] = header.arguments;
    } else {
        Json& encoded = job["arguments_base64"] = Json::array();
        for (const std::string& argument : header.arguments) {
            encoded.push_back(Base64Encode(argument));
        }
    }
    if (!header.runId.empty()) job["run_id"] = header.runId;
    if (!header.keyCheck.empty()) job["key_check"] = header.keyCheck;
    if (!header.listCheck.empty()) job["list_check"] = header.listCheck;
    return job;
}

}  // namespace

uint64_t ShardOfName(const std::string& name, uint64_t n) {
    size_t start = 0;
    while (name.compare(start, 2, "./") == 0) start += 2;
    Sha256StreamContextType context;
    Sha256Init(context);
    Sha256Update(context, reinterpret_cast<const uint8_t*>(name.data()) + start,
                 name.size() - start);
    const uint8_t* digest = Sha256Final(context);
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | digest[i];
    return value % n + 1;
}

std::string ShardHeaderLine(const ShardHeader& header) {
    Json object;
    object["shard_list"] = kShardListVersion;
    object["job"] = JobObject(header);
    object["shard"] = {header.k, header.n};
    PutText(object, "folder", header.folder);
    object["started"] = TimeText(header.started);
    return Line(object);
}

std::string ShardJob(const ShardHeader& header) {
    return JobObject(header).dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool StartsShardList(const std::string& line) {
    return line.compare(0, 14, "{\"shard_list\":") == 0;
}

bool ParseShardHeader(const std::string& line, ShardHeader& header, std::string& reason) {
    header = ShardHeader();
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object() || !StartsShardList(line)) {
        reason = "not the list of a shard (its first line is not a shard's header)";
        return false;
    }
    uint64_t version = 0;
    if (!TakeCount(object, "shard_list", version) || version != kShardListVersion) {
        reason = "a shard's list of another version than " + std::to_string(kShardListVersion);
        return false;
    }
    const auto job = object.find("job");
    const auto shard = object.find("shard");
    bool ok = job != object.end() && job->is_object() && shard != object.end() &&
              shard->is_array() && shard->size() == 2 && (*shard)[0].is_number_unsigned() &&
              (*shard)[1].is_number_unsigned();
    std::string started;
    if (ok) {
        header.k = (*shard)[0].get<uint64_t>();
        header.n = (*shard)[1].get<uint64_t>();
        const bool encoded = job->contains("arguments_base64");
        const auto arguments = job->find(encoded ? "arguments_base64" : "arguments");
        ok = TakeString(*job, "command", header.command) && arguments != job->end() &&
             arguments->is_array() && TakeString(*job, "run_id", header.runId) &&
             TakeString(*job, "key_check", header.keyCheck) &&
             TakeString(*job, "list_check", header.listCheck) &&
             TakeText(object, "folder", header.folder) && TakeString(object, "started", started) &&
             ParseTimeText(started, header.started) && header.k >= 1 && header.k <= header.n;
        for (size_t i = 0; ok && i < arguments->size(); ++i) {
            std::string argument;
            ok = (*arguments)[i].is_string();
            if (ok) argument = (*arguments)[i].get<std::string>();
            if (ok && encoded) ok = Base64Decode(std::string(argument), argument);
            header.arguments.push_back(argument);
        }
    }
    if (!ok) reason = "a shard's header that is not whole";
    return ok;
}

std::string ShardEntryLine(const ShardEntry& entry) {
    if (entry.kind == ShardEntry::Kind::kVerdict || entry.kind == ShardEntry::Kind::kUpdate) {
        Json object;
        if (entry.kind == ShardEntry::Kind::kUpdate) {
            object["update"] = entry.verdict;
            object["operand"] = entry.operand;
            if (entry.listedLine != 0) object["line"] = entry.listedLine;
        } else {
            object["audit"] = entry.verdict;
            PutText(object, "order", entry.order);
        }
        if (!entry.reason.empty()) object["reason"] = entry.reason;
        // A file that could not be read has a name only.
        if (entry.hasFile && entry.record.digests.empty()) {
            PutText(object, "file_name", entry.record.name);
        }
        if (entry.hasFile && !entry.record.digests.empty()) {
            object["file"] = Json::parse(JsonRecordLine(entry.record));
        }
        if (entry.hasEntry) {
            object["entry"] = Json::parse(JsonRecordLine(entry.listed));
            object["line"] = entry.listedLine;
        }
        return Line(object);
    }
    if (entry.kind == ShardEntry::Kind::kCheck) {
        Json object;
        object["check"] = entry.verdict;
        object["line"] = entry.operand;
        PutText(object, "name", entry.record.name);
        if (!entry.text.empty()) PutText(object, "out", entry.text);
        if (!entry.reason.empty()) PutText(object, "reason", entry.reason);
        return Line(object);
    }
    if (entry.kind == ShardEntry::Kind::kKnown) {
        Json object;
        object["known"] = entry.known;
        object["operand"] = entry.operand;
        PutText(object, "name", entry.record.name);
        return Line(object);
    }
    if (entry.kind == ShardEntry::Kind::kEnd) {
        Json object;
        object["shard_end"] = kShardListVersion;
        object["entries"] = entry.entries;
        object["failed"] = entry.failed;
        return Line(object);
    }
    if (entry.kind == ShardEntry::Kind::kFailed) {
        Json object;
        PutText(object, "failed", entry.record.name);
        object["reason"] = entry.reason;
        object["operand"] = entry.operand;
        return Line(object);
    }
    // The record's own line, with its operand as one more member.
    std::string line = JsonRecordLine(entry.record);
    line.resize(line.size() - 2);
    return line + ",\"operand\":" + std::to_string(entry.operand) + "}\n";
}

bool ParseShardEntry(const std::string& line, ShardEntry& entry, std::string& reason) {
    entry = ShardEntry();
    // A record as ShardEntryLine writes it, its operand last, is read in one pass.
    static const std::string kOperand = ",\"operand\":";
    const size_t operand = line.rfind(kOperand);
    if (StartsJsonList(line) && operand != std::string::npos && line.back() == '}') {
        const size_t digits = operand + kOperand.size();
        const std::string number = line.substr(digits, line.size() - 1 - digits);
        if (!number.empty() && number.size() < 20 &&
            number.find_first_not_of("0123456789") == std::string::npos) {
            entry.operand = std::stoull(number);
            return ParseJsonRecord(line, entry.record, reason) == ChecksumLineKind::kEntry;
        }
    }
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        reason = "not a JSON object";
        return false;
    }
    if (object.contains("shard_end")) {
        entry.kind = ShardEntry::Kind::kEnd;
        if (!TakeCount(object, "entries", entry.entries) ||
            !TakeCount(object, "failed", entry.failed)) {
            reason = "a shard's last line without its counts";
            return false;
        }
        return true;
    }
    if (object.contains("update")) {
        entry.kind = ShardEntry::Kind::kUpdate;
        bool fine = true;
        if (object.contains("file")) {
            const std::string text =
                object["file"].dump(-1, ' ', false, Json::error_handler_t::replace);
            entry.hasFile = true;
            fine = ParseJsonRecord(text, entry.record, reason) == ChecksumLineKind::kEntry;
        } else {
            entry.hasFile = TakeText(object, "file_name", entry.record.name);
        }
        if (object.contains("line")) fine = fine && TakeCount(object, "line", entry.listedLine);
        if (!fine || !TakeString(object, "update", entry.verdict) ||
            !TakeCount(object, "operand", entry.operand) ||
            !TakeString(object, "reason", entry.reason)) {
            if (reason.empty()) reason = "an update without its file or place";
            return false;
        }
        return true;
    }
    if (object.contains("check")) {
        entry.kind = ShardEntry::Kind::kCheck;
        const auto optional = [&](const char* field, std::string& text) {
            return (!object.contains(field) && !object.contains(std::string(field) + "_base64")) ||
                   TakeText(object, field, text);
        };
        if (!TakeString(object, "check", entry.verdict) ||
            !TakeCount(object, "line", entry.operand) ||
            !TakeText(object, "name", entry.record.name) || !optional("out", entry.text) ||
            !optional("reason", entry.reason)) {
            reason = "a check's verdict without its line or name";
            return false;
        }
        return true;
    }
    if (object.contains("known")) {
        entry.kind = ShardEntry::Kind::kKnown;
        const auto known = object.find("known");
        if (!known->is_boolean() || !TakeCount(object, "operand", entry.operand) ||
            !TakeText(object, "name", entry.record.name)) {
            reason = "an input of --known without its name or place";
            return false;
        }
        entry.known = known->get<bool>();
        return true;
    }
    if (object.contains("audit")) {
        entry.kind = ShardEntry::Kind::kVerdict;
        // Whether the record under field is there; false, with reason, when it is not one.
        bool fine = true;
        const auto record = [&](const char* field, FileRecord& taken) {
            const auto found = object.find(field);
            if (found == object.end()) return false;
            const std::string text = found->dump(-1, ' ', false, Json::error_handler_t::replace);
            fine = fine && ParseJsonRecord(text, taken, reason) == ChecksumLineKind::kEntry;
            return true;
        };
        entry.hasFile = record("file", entry.record);
        entry.hasEntry = record("entry", entry.listed);
        if (!fine) return false;
        if (!entry.hasFile) entry.hasFile = TakeText(object, "file_name", entry.record.name);
        if (!TakeString(object, "audit", entry.verdict) ||
            !TakeText(object, "order", entry.order) ||
            !TakeString(object, "reason", entry.reason) ||
            (entry.hasEntry && !TakeCount(object, "line", entry.listedLine)) ||
            (!entry.hasFile && !entry.hasEntry)) {
            reason = "a verdict without its file or entry";
            return false;
        }
        return true;
    }
    if (!TakeCount(object, "operand", entry.operand)) {
        reason = "an entry without its \"operand\"";
        return false;
    }
    if (object.contains("failed") || object.contains("failed_base64")) {
        entry.kind = ShardEntry::Kind::kFailed;
        if (!TakeText(object, "failed", entry.record.name) ||
            !TakeString(object, "reason", entry.reason)) {
            reason = "an input that failed, without its name or reason";
            return false;
        }
        return true;
    }
    return ParseJsonRecord(line, entry.record, reason) == ChecksumLineKind::kEntry;
}

bool WalkOrderLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    if (i == a.size() || i == b.size()) return a.size() < b.size();
    // The first difference: a folder's end ('/') comes before any other byte of a name.
    if (a[i] == '/') return true;
    if (b[i] == '/') return false;
    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
}

ListLine ListedLine(const ShardEntry& entry) {
    ListLine line;
    line.number = size_t(entry.listedLine);
    line.size = entry.listed.size;
    for (const RecordDigest& digest : entry.listed.digests) {
        line.values.push_back({entry.listed.name, digest.hex, long(digest.line), digest.keyed});
    }
    return line;
}
