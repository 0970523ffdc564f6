#include "model/PsfExecuteRules.h"

std::string MissingChoiceMessage(const PsfChoices& choices) {
    const struct {
        int index;
        const char* name;
    } lists[] = {
        {choices.controllerId, "Controller ID"}, {choices.baudRate, "Baud Rate"},
        {choices.controlMode, "Control Mode"},   {choices.scanningMethod, "Scanning Method"},
        {choices.meas1, "Meas 1 mode"},          {choices.meas2, "Meas 2 mode"},
    };
    for (const auto& list : lists)
        if (list.index < 0) return std::string("Choose a ") + list.name + " before Execute.";
    return {};
}

std::string ExecuteRefusal(const CPsfRecord& chosen) {
    const uint8_t meas1 = chosen.GetMeasMode(0);
    const uint8_t meas2 = chosen.GetMeasMode(1);
    if (meas1 == kMeasNoneCode && meas2 == kMeasNoneCode)
        return "At least one meas must not be 'None'";
    if (meas1 == kMeasSegCode || meas2 == kMeasSegCode)
        return "The PSF cannot be executed when one of measurement modes is 'Segmented(SEG)'";
    return {};
}

int MeasurementSelector(uint8_t meas1Code, uint8_t meas2Code) {
    if (meas1Code == kMeasNoneCode) return 1;
    return meas2Code != kMeasNoneCode ? 2 : 0;
}

CPsfRecord MakeTrialPsf(const CPsfRecord& chosen) {
    CPsfRecord trial = chosen;
    trial.SetControlMode('c');  // Host
    trial.SetTransmissionMode(SerialTransmissionMode::MeasurementResult);
    trial.SetBinary(true);
    trial.SetSuppressHeader(false);
    return trial;
}
