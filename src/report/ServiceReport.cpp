#include "report/ServiceReport.h"

#include "model/BeamText.h"
#include "model/PsfText.h"
#include "serial/net/NetDeviceName.h"

namespace {

bool Fine(const SectionStatus& status) { return status.state == SectionState::Ok; }

std::string Why(const SectionStatus& status) {
    if (!status.message.empty() && !status.detail.empty()) return status.message + " " + status.detail;
    return status.message.empty() ? status.detail : status.message;
}

std::string DiagnosticsLine(const CDiagnosticsRecord& record) {
    return std::string(SystemStateName(record.systemState)) + "; part number " + record.partNumber +
           ", date code " + record.dateCode + ", firmware " + record.firmwareVersion;
}

std::string PsfLine(const CPsfRecord& record) {
    std::string text;
    for (const PsfCodedField& field : PsfCodedFields(record)) {
        if (!text.empty()) text += ", ";
        text += std::string(field.label) + ": " + field.text.value_or("code " + PsfCodeText(field.code));
    }
    return text;
}

std::string BlankingLine(const BlankingSection& blanking) {
    if (blanking.channelCount <= 0) return "channels unknown; block read";
    const CBlankingMap map = ChannelBlanking(blanking);
    const int count = map.BlankedCount(0);
    if (count == 0) return "no channel blanked";
    return "blanked " + BlankedRanges(map) + " (" + std::to_string(count) + " of " +
           std::to_string(blanking.channelCount) + " channels)";
}

std::string ScanLine(const ScanSection& scan) {
    const BeamStatistics& s = scan.scan->Statistics();
    std::string text = std::to_string(s.blockedCount) + " of " +
                       std::to_string(s.blockedCount + s.madeCount) + " beams blocked";
    text += Fine(scan.restore) ? "; parameter set restored" : "; " + Why(scan.restore);
    return text;
}

}  // namespace

std::string ProbeRateText(const ProbeSection& probe) {
    return probe.serversRate ? kServersRate : std::to_string(probe.baud) + " baud";
}

bool ServiceReport::AllOk() const {
    const bool scanOk = !scan.requested || (Fine(scan.status) && Fine(scan.restore));
    return Fine(port.status) && Fine(probe.status) && Fine(diagnostics.status) && Fine(psf.status) &&
           Fine(blanking.status) && scanOk;
}

std::vector<SummaryLine> Summarize(const ServiceReport& report) {
    std::vector<SummaryLine> lines;
    const auto add = [&lines](const char* title, const SectionStatus& status, const std::string& okText) {
        lines.push_back({title, status.state, Fine(status) ? okText : Why(status)});
    };
    add("Port", report.port.status, report.port.devicePath + " opened");
    add("Controller", report.probe.status,
        "controller " + std::string(1, report.probe.id) + " at " + ProbeRateText(report.probe));
    add("Diagnostics", report.diagnostics.status, DiagnosticsLine(report.diagnostics.record));
    add("Parameter set", report.psf.status, PsfLine(report.psf.record));
    add("Blanking", report.blanking.status, BlankingLine(report.blanking));
    if (report.scan.requested && Fine(report.scan.status) && report.scan.scan) {
        // A scan that left the controller with the working set is no success.
        lines.push_back({"Beam scan", report.scan.restore.state, ScanLine(report.scan)});
    } else {
        add("Beam scan", report.scan.status, "");
    }
    return lines;
}

CBlankingMap ChannelBlanking(const BlankingSection& blanking, int count) {
    CBlankingMap map(count);
    if (!blanking.status.Ok()) return map;
    for (int c = 0; c < count && c < blanking.block.ChannelCount(); ++c) {
        if (blanking.block.IsBlanked(c)) map.Blank(c);
    }
    return map;
}

CBlankingMap ChannelBlanking(const BlankingSection& blanking) {
    return ChannelBlanking(blanking, blanking.channelCount > 0 ? blanking.channelCount : blanking.block.ChannelCount());
}

std::vector<ScanRow> ScanRows(const CBeamBitScan& scan, const CBlankingMap& blanked) {
    std::vector<ScanRow> rows;
    for (int row = 0; row < ChannelRowCount(ScannedChannels(scan)); ++row) {
        std::string beams = BeamString(scan, blanked, row, true);
        if (!beams.empty() && beams.back() == ' ') beams.pop_back();  // the grid's closing space
        rows.push_back({BeamRowLabel(row, scan.ChannelCount()), beams});
    }
    return rows;
}
