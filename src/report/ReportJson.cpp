#include <nlohmann/json.hpp>

#include "model/BeamText.h"
#include "model/Fingerprint.h"
#include "model/PsfJson.h"
#include "model/PsfText.h"
#include "report/ReportRender.h"
#include "serial/net/NetDeviceName.h"

namespace {

using Json = nlohmann::ordered_json;

const char* StateKey(SectionState state) {
    switch (state) {
        case SectionState::Ok: return "ok";
        case SectionState::Failed: return "failed";
        case SectionState::Skipped: break;
    }
    return "skipped";
}

// Every section starts with its state and, when not ok, why.
Json Status(const SectionStatus& status) {
    Json json;
    json["state"] = StateKey(status.state);
    if (!status.message.empty()) json["message"] = status.message;
    if (!status.detail.empty()) json["detail"] = status.detail;
    return json;
}

std::string Hex(const uint8_t* bytes, int count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (int i = 0; i < count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

Json Boards(const BoardInfo* boards, int count) {
    Json list = Json::array();
    for (int i = 0; i < count && i < CDiagnosticsRecord::kMaxBoards; ++i) {
        list.push_back({{"board", i + 1},
                        {"channels", boards[i].channelCount},
                        {"type", BoardTypeText(boards[i].channelCount)},
                        {"error", boards[i].errorCode},
                        {"error_text", BoardErrorText(boards[i].errorCode)}});
    }
    return list;
}

Json Diagnostics(const DiagnosticsSection& section) {
    Json json = Status(section.status);
    if (!section.status.Ok()) return json;
    const CDiagnosticsRecord& r = section.record;
    json["system_state"] = r.systemState;
    json["system_state_text"] = SystemStateName(r.systemState);
    json["part_number"] = r.partNumber;
    json["date_code"] = r.dateCode;
    json["firmware"] = r.firmwareVersion;
    json["emitter"] = {{"channels", r.emitterChannelTotal}, {"boards", Boards(r.emitterBoards, r.emitterBoardCount)}};
    json["receiver"] = {{"channels", r.receiverChannelTotal},
                        {"boards", Boards(r.receiverBoards, r.receiverBoardCount)}};
    return json;
}

Json Psf(const PsfSection& section) {
    Json json = Status(section.status);
    if (!section.status.Ok()) return json;
    const CPsfRecord& record = section.record;
    json["addressed_id"] = PsfCodeText(record.Data()[0]);
    json["fingerprint"] = PsfFingerprint(record);
    AppendPsfJson(json, record);
    json["hex"] = Hex(record.Data(), kPsfRecordSize);
    return json;
}

Json Blanking(const BlankingSection& section) {
    Json json = Status(section.status);
    if (!section.status.Ok()) return json;
    json["channels"] = section.channelCount;
    const CBlankingMap inside = ChannelBlanking(section);
    json["blanked"] = BlankedRanges(inside);
    json["blanked_channels"] = BlankedChannels(inside);
    json["blanked_beyond_channels"] = section.block.BlankedCount(inside.ChannelCount());
    json["fingerprint"] = BlankingFingerprint(inside);
    json["hex"] = Hex(section.block.Data(), section.block.ByteCount());
    return json;
}

Json Scan(const ScanSection& section, const BlankingSection& blanking) {
    Json json = Status(section.status);
    json["requested"] = section.requested;
    if (!section.status.Ok() || !section.scan) return json;
    const CBeamBitScan& scan = *section.scan;
    const CBlankingMap map = ChannelBlanking(blanking, scan.ChannelCount());
    Json rows = Json::array();
    for (const ScanRow& row : ScanRows(scan, map)) rows.push_back(row.beams);
    json["channels"] = scan.ChannelCount();
    const BeamCounts counts = CountBeams(scan, map, false);
    json["blocked"] = counts.blocked;
    json["made"] = counts.made;
    json["blanked"] = map.BlankedCount(0);
    json["rows"] = rows;
    json["restore"] = Status(section.restore);
    return json;
}

Json Port(const ServiceReport& report) {
    const PortSection& port = report.port;
    Json json = Status(port.status);
    if (port.comNumber > 0) json["com"] = port.comNumber;
    json["device"] = port.devicePath;
    json["source"] = port.source;
    json["target"] = port.target;
    if (!port.server.empty()) json["server"] = {{"address", port.server}, {"protocol", port.protocol}};
    json["exists"] = port.exists;
    if (port.exists) {
        json["type"] = port.type;
        json["mode"] = port.mode;
        json["owner"] = port.owner;
        json["group"] = port.group;
        json["accessible"] = port.accessible;
        if (!port.accessHint.empty()) json["access_hint"] = port.accessHint;
        json["holders"] = port.holders;
    }
    json["open"] = port.openResult;
    return json;
}

}  // namespace

std::string RenderReportJson(const ServiceReport& report, bool indented) {
    Json json;
    json["ok"] = report.AllOk();
    json["host"] = {{"date", report.host.date},         {"tool", report.host.toolVersion},
                    {"system", report.host.system},     {"distribution", report.host.distribution},
                    {"host", report.host.hostName},     {"user", report.host.userName}};
    Json summary = Json::array();
    for (const SummaryLine& line : Summarize(report)) {
        summary.push_back({{"section", line.section}, {"state", StateKey(line.state)}, {"text", line.text}});
    }
    json["summary"] = summary;
    json["port"] = Port(report);
    Json probe = Status(report.probe.status);
    if (report.probe.status.Ok()) {
        if (report.probe.serversRate) {
            probe["baud"] = kServersRate;
        } else {
            probe["baud"] = report.probe.baud;
        }
        probe["id"] = std::string(1, report.probe.id);
    }
    json["probe"] = probe;
    json["diagnostics"] = Diagnostics(report.diagnostics);
    json["psf"] = Psf(report.psf);
    json["blanking"] = Blanking(report.blanking);
    json["scan"] = Scan(report.scan, report.blanking);
    json["trace"] = {{"file", report.trace.file}, {"lines", report.trace.lines}};
    Json audit = {{"file", report.audit.file}, {"lines", Json::array()}};
    for (const std::string& line : report.audit.lines) {
        const Json parsed = Json::parse(line, nullptr, false);
        audit["lines"].push_back(parsed.is_discarded() ? Json(line) : parsed);
    }
    if (!report.audit.problem.empty()) audit["problem"] = report.audit.problem;
    json["audit"] = audit;
    // Names and paths from the system may hold any bytes; the JSON stays valid.
    return json.dump(indented ? 2 : -1, ' ', false, Json::error_handler_t::replace) + "\n";
}
