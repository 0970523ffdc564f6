#include <cstdio>

#include "history/AuditLog.h"
#include "model/BeamText.h"
#include "model/Fingerprint.h"
#include "model/PsfText.h"
#include "report/ReportRender.h"

namespace {

// Plain, printable and readable offline: no web fonts, no scripts.
constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 1.5em; color: #111; max-width: 70em; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
h2 { font-size: 1.2em; border-bottom: 1px solid #999; margin-top: 1.6em; }
h3 { font-size: 1em; }
table { border-collapse: collapse; margin: 0.4em 0; }
th, td { border: 1px solid #bbb; padding: 0.15em 0.6em; text-align: left; vertical-align: top; }
th { background: #eee; white-space: nowrap; }
td.num { text-align: right; }
pre { background: #f6f6f6; border: 1px solid #ddd; padding: 0.5em; overflow-x: auto; }
pre.trace { white-space: pre-wrap; overflow-wrap: anywhere; }
.meta { color: #444; margin-top: 0; }
.verdict { font-weight: bold; padding: 0.4em 0.6em; }
.ok { color: #0a5a0a; }
.failed { color: #a00000; }
.skipped { color: #666; }
.verdict.ok { background: #e6f4e6; }
.verdict.failed { background: #fbe4e4; }
p.failure { color: #a00000; font-weight: bold; }
p.skipped { color: #666; font-style: italic; }
)";

std::string Esc(const std::string& text) { return EscapeHtml(text); }

// Escaped, with the system's "\n" shown as line breaks.
std::string Lines(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    for (std::size_t nl; (nl = trimmed.find('\n', start)) != std::string::npos; start = nl + 1) {
        out += Esc(trimmed.substr(start, nl - start)) + "<br>";
    }
    return out + Esc(trimmed.substr(start));
}

const char* StateClass(SectionState state) {
    switch (state) {
        case SectionState::Ok: return "ok";
        case SectionState::Failed: return "failed";
        case SectionState::Skipped: break;
    }
    return "skipped";
}

const char* StateWord(SectionState state) {
    switch (state) {
        case SectionState::Ok: return "OK";
        case SectionState::Failed: return "FAILED";
        case SectionState::Skipped: break;
    }
    return "not read";
}

std::string Row(const std::string& label, const std::string& value) {
    return "<tr><th>" + Esc(label) + "</th><td>" + Esc(value) + "</td></tr>\n";
}

// The failure of a section, or nothing when it is fine.
std::string StatusBlock(const SectionStatus& status) {
    if (status.Ok()) return {};
    std::string html = "<p class=\"" + std::string(status.state == SectionState::Failed ? "failure" : "skipped") +
                       "\">";
    if (!status.message.empty()) html += Lines(status.message);
    if (!status.message.empty() && !status.detail.empty()) html += "<br>";
    return html + Lines(status.detail) + "</p>\n";
}

std::string Head(const ServiceReport& report) {
    const HostSection& host = report.host;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>VELTRIX service report " +
                       Esc(host.date) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    html += "<h1>VELTRIX service report</h1>\n<p class=\"meta\">" + Esc(host.date) + " &middot; " +
            Esc(host.toolVersion) + " &middot; " + Esc(host.hostName) + " (" +
            Esc(host.distribution.empty() ? host.system : host.distribution + ", " + host.system) +
            ") &middot; user " + Esc(host.userName) + "</p>\n";
    return html;
}

std::string Summary(const ServiceReport& report) {
    const std::vector<SummaryLine> lines = Summarize(report);
    int failed = 0;
    for (const SummaryLine& line : lines) failed += line.state == SectionState::Failed ? 1 : 0;
    std::string html = "<h2 id=\"summary\">Summary</h2>\n";
    if (report.AllOk()) {
        html += "<p class=\"verdict ok\">Every step succeeded.</p>\n";
    } else {
        html += "<p class=\"verdict failed\">" +
                std::string(failed ? std::to_string(failed) + (failed == 1 ? " step" : " steps") + " failed"
                                   : "Not everything could be read") +
                ": the sections below give the system's messages.</p>\n";
    }
    html += "<table>\n";
    for (const SummaryLine& line : lines) {
        html += "<tr><th>" + Esc(line.section) + "</th><td class=\"" + StateClass(line.state) + "\">" +
                StateWord(line.state) + "</td><td>" + Lines(line.text) + "</td></tr>\n";
    }
    return html + "</table>\n";
}

std::string BoardRows(const char* bar, const BoardInfo* boards, int count) {
    std::string html;
    for (int i = 0; i < count && i < CDiagnosticsRecord::kMaxBoards; ++i) {
        html += "<tr><td>" + std::string(bar) + "</td><td class=\"num\">" + std::to_string(i + 1) +
                "</td><td class=\"num\">" + Esc(BoardTypeText(boards[i].channelCount)) + "</td><td class=\"num\">" +
                std::to_string(boards[i].errorCode) + "</td><td>" + Esc(BoardErrorText(boards[i].errorCode)) +
                "</td></tr>\n";
    }
    return html;
}

std::string Diagnostics(const DiagnosticsSection& section) {
    std::string html = "<h2 id=\"diagnostics\">Diagnostics</h2>\n" + StatusBlock(section.status);
    if (!section.status.Ok()) return html;
    const CDiagnosticsRecord& r = section.record;
    html += "<table>\n" +
            Row("System State", std::string(SystemStateName(r.systemState)) + " (" + std::to_string(r.systemState) + ")") +
            Row("Number Of Emitter Boards", std::to_string(r.emitterBoardCount)) +
            Row("Number Of Receiver Boards", std::to_string(r.receiverBoardCount)) +
            Row("Emitter channels", std::to_string(r.emitterChannelTotal)) +
            Row("Receiver channels", std::to_string(r.receiverChannelTotal)) + Row("Part Number", r.partNumber) +
            Row("Date Code", r.dateCode) + Row("Firmware Version", r.firmwareVersion) + "</table>\n";
    html += "<h3>Boards</h3>\n<table>\n<tr><th>Bar</th><th>Board</th><th>Channels</th><th>Error code</th><th>Error</th></tr>\n";
    html += BoardRows("E", r.emitterBoards, r.emitterBoardCount) + BoardRows("R", r.receiverBoards, r.receiverBoardCount);
    return html + "</table>\n";
}

std::string PsfFields(const CPsfRecord& record) {
    const auto onOff = [](uint8_t bit) { return std::string(bit ? "on" : "off"); };
    char flags[8];
    std::snprintf(flags, sizeof flags, "0x%02X", record.Data()[8]);
    std::string html = "<table>\n<tr><th>Field</th><th>Value</th><th>Code</th></tr>\n";
    const auto field = [&html](const std::string& label, const std::string& value, const std::string& code) {
        html += "<tr><th>" + Esc(label) + "</th><td>" + Esc(value) + "</td><td>" + Esc(code) + "</td></tr>\n";
    };
    field("Addressed controller", PsfCodeText(record.Data()[0]), PsfCodeText(record.Data()[0]));
    for (const PsfCodedField& f : PsfCodedFields(record)) {
        field(f.label, f.text.value_or("unknown code"), PsfCodeText(f.code));
    }
    const bool serial = record.GetTransmissionMode() != SerialTransmissionMode::None;
    const std::string unused = serial ? "" : " (not used without serial communication)";
    field("Serial Transmission", TransmissionModeText(record.GetTransmissionMode()), flags);
    field("Transmission Type", std::string(record.GetBinary() ? "Binary" : "ASCII") + unused, "");
    field("Suppress Clear Data", onOff(record.GetSuppressClearData()) + unused, "");
    field("Suppress Header", onOff(record.GetSuppressHeader()) + unused, "");
    field("Compress Data", onOff(record.GetCompressData()) + unused, "");
    field("Scan #", std::to_string(record.GetScanCount()), "");
    return html + "</table>\n";
}

std::string PsfOutputs(const CPsfRecord& record) {
    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    std::string html = "<h3>Discrete outputs</h3>\n<table>\n<tr><th>Output</th><th>Source</th><th>Set point low</th>"
                       "<th>Set point high</th><th>Hysteresis low</th><th>Hysteresis high</th></tr>\n";
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const DiscreteOutput& o = outputs[k];
        const auto code = static_cast<uint8_t>(o.source);
        const auto num = [](int value) { return "<td class=\"num\">" + std::to_string(value) + "</td>"; };
        html += "<tr><td>Output #" + std::to_string(k + 1) + "</td><td>" +
                Esc(OutputSourceText(code).value_or("code " + PsfCodeText(code))) + "</td>" + num(o.setPointLow) +
                num(o.setPointHigh) + num(o.hysteresisLow) + num(o.hysteresisHigh) + "</tr>\n";
    }
    return html + "</table>\n";
}

std::string Psf(const PsfSection& section) {
    std::string html = "<h2 id=\"psf\">Parameter set</h2>\n" + StatusBlock(section.status);
    if (!section.status.Ok()) return html;
    html += "<p>Fingerprint <code>" + PsfFingerprint(section.record) + "</code></p>\n";
    html += PsfFields(section.record) + PsfOutputs(section.record);
    return html + "<h3>The 154 bytes</h3>\n<pre>" + HexRows(section.record.Data(), kPsfRecordSize) + "</pre>\n";
}

std::string Blanking(const BlankingSection& section) {
    std::string html = "<h2 id=\"blanking\">Blanking</h2>\n" + StatusBlock(section.status);
    if (!section.status.Ok()) return html;
    const int n = section.channelCount;
    const CBlankingMap inside = ChannelBlanking(section);
    CBlankingMap beyond(section.block.ChannelCount());
    for (int c = inside.ChannelCount(); c < section.block.ChannelCount(); ++c) {
        if (section.block.IsBlanked(c)) beyond.Blank(c);
    }
    html += "<table>\n" + Row("Beam channels", n > 0 ? std::to_string(n) : "not known (the whole block is shown)") +
            Row("Blanked channels", BlankedRanges(inside)) + Row("Blanked count", std::to_string(inside.BlankedCount(0)));
    if (beyond.BlankedCount(0) > 0) html += Row("Set beyond the channels", BlankedRanges(beyond));
    html += "</table>\n<h3>The 48-byte blanking block</h3>\n<pre>" +
            HexRows(section.block.Data(), section.block.ByteCount()) + "</pre>\n";
    return html;
}

std::string Scan(const ScanSection& section, const BlankingSection& blanking) {
    std::string html = "<h2 id=\"scan\">Beam scan</h2>\n" + StatusBlock(section.status);
    if (!section.status.Ok() || !section.scan) return html;
    const CBeamBitScan& scan = *section.scan;
    const CBlankingMap map = ChannelBlanking(blanking, scan.ChannelCount());
    std::string rows;
    for (const ScanRow& row : ScanRows(scan, map)) {
        char label[24];
        std::snprintf(label, sizeof label, "%11s   ", row.label.c_str());
        rows += label + row.beams + "\n";
    }
    const BeamCounts counts = CountBeams(scan, map, false);
    html += "<p>1 made, 0 blocked, B blanked.</p>\n<pre>" + Esc(rows) + "</pre>\n<table>\n" +
            Row("Total", std::to_string(scan.ChannelCount())) + Row("Blocked", std::to_string(counts.blocked)) +
            Row("Made", std::to_string(counts.made)) +
            Row("Blanked", std::to_string(map.BlankedCount(0))) + "</table>\n";
    html += "<h3>Parameter set after the scan</h3>\n";
    html += section.restore.Ok() ? "<p class=\"ok\">The controller's own parameter set was sent back and read "
                                   "again: it is the one read before the scan.</p>\n"
                                 : StatusBlock(section.restore);
    return html;
}

std::string Port(const ServiceReport& report) {
    const PortSection& port = report.port;
    std::string html = "<h2 id=\"port\">Serial port</h2>\n" + StatusBlock(port.status) + "<table>\n";
    if (port.comNumber > 0) html += Row("Port", "COM" + std::to_string(port.comNumber));
    html += Row("Device", port.devicePath) + Row("Taken from", port.source);
    if (port.target != port.devicePath) html += Row("Resolves to", port.target);
    if (!port.server.empty()) {
        html += Row("Device server", port.server) + Row("Protocol", port.protocol);
    } else if (port.exists) {
        html += Row("Type", port.type) + Row("Mode", port.mode) + Row("Owner", port.owner + ":" + port.group);
        html += Row("This user may open it", port.accessible ? "yes" : "no: " + port.accessHint);
        std::string holders;
        for (const std::string& holder : port.holders) holders += (holders.empty() ? "" : ", ") + holder;
        html += Row("Held open by", holders.empty() ? "no other process seen" : holders);
    } else {
        html += Row("Type", "does not exist");
    }
    html += Row("Open", port.openResult);
    if (report.probe.status.Ok()) {
        html += Row("Controller", std::string(1, report.probe.id) + " at " + ProbeRateText(report.probe));
    }
    return html + "</table>\n" + StatusBlock(report.probe.status);
}

std::string Trace(const TraceSection& trace) {
    std::string html = "<h2 id=\"trace\">Protocol trace</h2>\n<p>The last " + std::to_string(trace.lines.size()) +
                       " lines of this run";
    html += trace.file.empty() ? " (kept in memory; no trace file)." : ", also in " + Esc(trace.file) + ".";
    html += " Times are seconds since the trace started.</p>\n<pre class=\"trace\">";
    for (const std::string& line : trace.lines) html += Esc(line) + "\n";
    return html + "</pre>\n";
}

std::string Audit(const AuditSection& audit) {
    std::string html = "<h2 id=\"audit\">Audit log</h2>\n<p>";
    if (!audit.problem.empty()) return html + Esc(audit.problem) + "</p>\n";
    html += "The last " + std::to_string(audit.lines.size()) + " writes to this device, from " +
            Esc(audit.file) + ".</p>\n<pre class=\"trace\">";
    for (const std::string& line : audit.lines) html += Esc(AuditLineText(line)) + "\n";
    return html + "</pre>\n";
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string HexRows(const uint8_t* bytes, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char cell[16];
        if (i % 16 == 0) {
            std::snprintf(cell, sizeof cell, "%s%03d ", i ? "\n" : "", i);
            text += cell;
        }
        std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
        text += cell;
    }
    return text;
}

std::string RenderReportHtml(const ServiceReport& report) {
    return Head(report) + Summary(report) + Diagnostics(report.diagnostics) + Psf(report.psf) +
           Blanking(report.blanking) + Scan(report.scan, report.blanking) + Port(report) + Trace(report.trace) + Audit(report.audit) +
           "</body>\n</html>\n";
}
