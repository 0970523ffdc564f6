#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "model/ScanReply.h"

// The service report: what support asks a technician for, gathered in one
// go. Each section holds its data or, when its step failed, the system's
// message for the failure; a report is written whatever failed.

enum class SectionState {
    Ok,
    Failed,   // the step ran and failed: message says how
    Skipped,  // the step did not run: detail says why
};

struct SectionStatus {
    SectionState state = SectionState::Skipped;
    std::string message;  // the system's message for a failure
    std::string detail;   // why a step was skipped, or what else is known

    bool Ok() const { return state == SectionState::Ok; }
};

struct HostSection {
    std::string date;         // local time, ISO 8601 with the UTC offset
    std::string toolVersion;  // "veltrixctl 2.1.0 (git 1a2b3c4)"
    std::string system;       // kernel name, release and machine
    std::string distribution; // PRETTY_NAME of os-release, if any
    std::string hostName;
    std::string userName;
};

struct PortSection {
    SectionStatus status;
    int comNumber = 0;       // COM n; 0 when a device path was given directly
    std::string devicePath;  // as configured
    std::string source;      // where the path came from
    std::string target;      // the device it resolves to
    bool exists = false;
    std::string type;         // "character device", "regular file", ...
    std::string mode;         // "crw-rw----"
    std::string owner;
    std::string group;
    bool accessible = false;  // this user may read and write it
    std::string accessHint;   // how to get access, when not accessible
    std::vector<std::string> holders;  // other processes with it open
    std::string openResult;   // the serial layer's name for the open's result
    // A serial device server (rfc2217://, tcp://) instead of a device file.
    std::string server;       // "HOST:PORT"; empty for a device file
    std::string protocol;     // how the line is reached through it
};

struct ProbeSection {
    SectionStatus status;
    long baud = 0;
    char id = 0;
    bool serversRate = false;  // over tcp:// the rate is the server's, not baud
};
// "38400 baud", or "the server's rate".
std::string ProbeRateText(const ProbeSection& probe);

struct DiagnosticsSection {
    SectionStatus status;
    CDiagnosticsRecord record;
};

struct PsfSection {
    SectionStatus status;
    CPsfRecord record;
};

struct BlankingSection {
    SectionStatus status;
    int channelCount = 0;  // the controller's beam channels; 0 when unknown
    // The whole 48-byte block as read, so that bits beyond the channels show.
    CBlankingMap block{8 * CBlankingMap::kBlockBytes};
};

struct ScanSection {
    SectionStatus status;
    bool requested = false;
    std::optional<CBeamBitScan> scan;
    // Whether the controller's own parameter set went back after the scan,
    // checked by reading it again.
    SectionStatus restore;
};

struct TraceSection {
    std::string file;  // the trace file of this run, if any
    std::vector<std::string> lines;
};

// The device's last writes, from the audit log (lines as the log holds them).
struct AuditSection {
    std::string file;
    std::vector<std::string> lines;
    std::string problem;  // why the log could not be read
};

struct ServiceReport {
    HostSection host;
    PortSection port;
    ProbeSection probe;
    DiagnosticsSection diagnostics;
    PsfSection psf;
    BlankingSection blanking;
    ScanSection scan;
    TraceSection trace;
    AuditSection audit;

    // True when every step that ran or should have run succeeded.
    bool AllOk() const;
};

// One line per section for the top of the report: its title, whether it
// is fine, and the one thing to know about it.
struct SummaryLine {
    std::string section;
    SectionState state;
    std::string text;
};
std::vector<SummaryLine> Summarize(const ServiceReport& report);

// The blanking block cut to the controller's channels (the whole block when
// they are not known), and the blanked channels of a scan of count channels.
CBlankingMap ChannelBlanking(const BlankingSection& blanking);
CBlankingMap ChannelBlanking(const BlankingSection& blanking, int count);

// A scan as the alignment grid shows it: rows of 16 channels, "1" made, "0"
// blocked, "B" blanked, labelled "1 - 16".
struct ScanRow {
    std::string label;
    std::string beams;
};
std::vector<ScanRow> ScanRows(const CBeamBitScan& scan, const CBlankingMap& blanked);
