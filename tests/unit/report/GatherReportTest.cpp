// Gathering the service report from a simulated controller, in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Clock.h"
#include "report/CServiceReportCommand.h"
#include "serial/RS232.h"
#include "serial/TraceLog.h"
#include "sim/SimulatedPort.h"
#include "support/ScopedEnv.h"
#include "support/ScopedStateHome.h"
#include "support/ScriptedUi.h"

namespace {

CPsfRecord CustomPsf() {
    CPsfRecord psf;
    psf.SetControlMode('b');
    psf.SetScanningMethod('d');
    psf.SetMeasMode(0, 'A');
    psf.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    psf.SetScanCount(7);
    return psf;
}

class GatherReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KeepRecentTrace(true);
        Model().StorePsf(CustomPsf());
        for (int channel : {0, 1, 2, 3, 8}) Model().SetBlanked(channel, true);
        for (int channel : {20, 21}) Model().beams.SetBlocked(channel, true);
    }
    void TearDown() override { KeepRecentTrace(false); }

    sim::ControllerModel& Model() { return line->Model(); }

    ServiceReport Gather(bool withScan = false) {
        CServiceReportCommand command(nullptr, 1, 9600, "test 1.0");
        ReportRequest request;
        request.withScan = withScan;
        request.progress = [this](const std::string& step) { steps.push_back(step); };
        return command.Gather(request);
    }

    // The letters of the framed requests the controller heard, scans as 'S'.
    std::string Letters() const {
        std::string letters;
        for (const sim::LogEntry& entry : line->RequestLog()) {
            if (entry.kind == "scan") letters += 'S';
            if (entry.kind.size() == 1) letters += entry.kind;
        }
        return letters;
    }

    // The scan journals the original set: never in the user's own journal,
    // nor where a test running beside this one would find it.
    ScopedStateHome stateHome;
    VirtualClock clock{1000};
    ScopedClock scopedClock{clock};
    ScriptedUi ui;
    ScopedUi scopedUi{ui};
    ScopedEnv com2{"VELTRIX_COM2", "/dev/simulated-controller"};
    std::shared_ptr<sim::SimulatedLine> line = std::make_shared<sim::SimulatedLine>();
    sim::ScopedSimulatedPorts ports{line};
    std::vector<std::string> steps;
};

TEST_F(GatherReportTest, HealthyControllerIsOnlyReadAndEverySectionHoldsItsData) {
    const CPsfRecord before = Model().Psf();
    const ServiceReport report = Gather();

    EXPECT_TRUE(report.AllOk());
    EXPECT_EQ(Letters(), "HDV");  // diagnostics, parameter set, blanking: nothing written
    EXPECT_EQ(Model().Psf(), before);
    EXPECT_TRUE(ui.Calls().empty()) << "a report shows no message";

    EXPECT_EQ(report.port.devicePath, "/dev/simulated-controller");
    EXPECT_EQ(report.port.source, "environment variable VELTRIX_COM2");
    EXPECT_EQ(report.probe.baud, 9600);
    EXPECT_EQ(report.probe.id, 'A');
    EXPECT_EQ(report.diagnostics.record.partNumber, "123456");
    EXPECT_EQ(report.psf.record.GetScanCount(), 7);
    EXPECT_EQ(report.psf.record.GetControlMode(), 'b');
    EXPECT_EQ(report.blanking.channelCount, 32);
    EXPECT_EQ(report.blanking.block.Data()[0], 0xF0);
    EXPECT_EQ(report.blanking.block.Data()[1], 0x80);
    EXPECT_EQ(report.scan.status.state, SectionState::Skipped);

    // The trace of the run ends with the blanking exchange.
    ASSERT_FALSE(report.trace.lines.empty());
    EXPECT_NE(report.trace.lines.back().find("Y blanking reply"), std::string::npos)
        << report.trace.lines.back();
    EXPECT_EQ(steps.front(), "Probing for the controller...");
}

TEST_F(GatherReportTest, ScanPutsTheOriginalBackAndChecksIt) {
    const CPsfRecord before = Model().Psf();
    const ServiceReport report = Gather(true);

    EXPECT_TRUE(report.AllOk());
    // As the Alignment command: working set before the blanking, the scan,
    // the original back; then read again to check.
    EXPECT_EQ(Letters(), "HDCVSCD");
    EXPECT_EQ(Model().Psf(), before);
    ASSERT_TRUE(report.scan.scan);
    EXPECT_EQ(report.scan.scan->ChannelCount(), 32);
    EXPECT_EQ(report.scan.scan->Statistics().blockedCount, 2);
    EXPECT_EQ(report.scan.scan->Statistics().firstBlocked, 20);
    EXPECT_TRUE(report.scan.restore.Ok());
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(GatherReportTest, FailuresLandInTheirSections) {
    struct Case {
        const char* name;
        std::function<void(sim::SimulatedLine&)> arrange;
        bool withScan;
        SectionState probe, diagnostics, psf, blanking, scan;
        const char* expected;  // a message or detail that must appear
    };
    using enum SectionState;
    const std::vector<Case> cases = {
        {"silent", [](sim::SimulatedLine& l) { l.Faults().silent = true; }, true, Failed, Skipped, Skipped,
         Skipped, Skipped, "No controller answered at 9600, 19200 or 38400 baud."},
        {"port missing", [](sim::SimulatedLine& l) { l.openStatus = kSerialPortNotFound; }, false, Skipped,
         Skipped, Skipped, Skipped, Skipped, "The port could not be opened."},
        {"blanking checksum", [](sim::SimulatedLine& l) { l.Faults().badChecksum = true; }, false, Ok, Ok, Ok,
         Failed, Skipped, "Unable to input blanking fields."},
        {"truncated replies", [](sim::SimulatedLine& l) { l.Faults().truncate = true; }, true, Ok, Failed,
         Failed, Failed, Skipped, "Error reading diagnostics"},
        {"parameter set unreadable",
         [](sim::SimulatedLine& l) { l.Controller().ScriptReply("D", {0x1C, 0x41, 0x45, 0x0A}); }, true, Ok,
         Ok, Failed, Ok, Skipped, "Without its parameter set the controller could not be restored."},
        {"receiver missing", [](sim::SimulatedLine& l) { l.Model().receiver.clear(); }, true, Ok, Ok, Ok, Ok,
         Failed, "Alignment cannot be executed because the device is not in an operational state."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line = std::make_shared<sim::SimulatedLine>();
        sim::ScopedSimulatedPorts scoped{line};
        c.arrange(*line);
        const ServiceReport report = Gather(c.withScan);
        EXPECT_FALSE(report.AllOk());
        EXPECT_EQ(report.probe.status.state, c.probe);
        EXPECT_EQ(report.diagnostics.status.state, c.diagnostics);
        EXPECT_EQ(report.psf.status.state, c.psf);
        EXPECT_EQ(report.blanking.status.state, c.blanking);
        EXPECT_EQ(report.scan.status.state, c.scan);
        std::string all;
        for (const SectionStatus* s : {&report.port.status, &report.probe.status, &report.diagnostics.status,
                                       &report.psf.status, &report.blanking.status, &report.scan.status}) {
            all += s->message + "|" + s->detail + "|";
        }
        EXPECT_NE(all.find(c.expected), std::string::npos) << all;
        // Nothing but reads reached the controller.
        EXPECT_EQ(Letters().find_first_of("WX"), std::string::npos);
        EXPECT_EQ(Letters().find('C'), std::string::npos) << Letters();
    }
}

TEST_F(GatherReportTest, PortThatDoesNotOpenIsNamedWithTheSystemsMessage) {
    line->openStatus = kSerialPortNotFound;
    const ServiceReport report = Gather();
    EXPECT_EQ(report.port.status.state, SectionState::Failed);
    EXPECT_EQ(report.port.status.message, "Unable to open 2\nPort not found\n");
    EXPECT_EQ(report.port.openResult, "Port not found");
}

TEST_F(GatherReportTest, ControllerThatGoesDeadDuringTheScanIsReportedAsNotRestored) {
    // Answers up to the working set (each command's probe counts), then nothing.
    line->Faults().hangupAfter = 7;
    ui.AnswerMessage(MsgResult::No);  // do not save the original to a file
    const ServiceReport report = Gather(true);

    EXPECT_EQ(report.scan.status.state, SectionState::Failed);
    EXPECT_EQ(report.scan.status.message, "Unable to Input Scan.");
    EXPECT_EQ(report.scan.restore.state, SectionState::Failed);
    EXPECT_EQ(report.scan.restore.message, "Unable to restore original PSF.");
    EXPECT_FALSE(report.AllOk());
    // The restore asked the one question the system asks when it fails.
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0], "Unable to restore original PSF.\nDo you want to save the original PSF to a file?");
}

}  // namespace
