#pragma once

#include <array>
#include <cstdint>

// Sizes shared by the record, its frames and its file.
inline constexpr int kPsfRecordSize = 154;
inline constexpr int kPsfFrameLength = 158;
inline constexpr int kDiscreteOutputCount = 16;
inline constexpr uint8_t kPsfCommandLetter = 'C';

// One entry of an option table: display text and one-byte code.
struct PsfOption {
    const char* text;
    uint8_t code;
};

inline constexpr PsfOption kControllerIds[] = {
    {"A", 'A'}, {"B", 'B'}, {"C", 'C'}, {"D", 'D'}, {"E", 'E'}, {"F", 'F'}, {"G", 'G'}, {"H", 'H'},
    {"I", 'I'}, {"J", 'J'}, {"K", 'K'}, {"L", 'L'}, {"M", 'M'}, {"N", 'N'}, {"O", 'O'}};
inline constexpr PsfOption kBaudRates[] = {{"9600", 'A'}, {"19200", 'B'}, {"38400", 'C'}};
inline constexpr PsfOption kControlModes[] = {{"Continuous", 'a'}, {"Gate", 'b'}, {"Host", 'c'}};
inline constexpr PsfOption kScanningMethods[] = {
    {"Straight", 'a'}, {"Skip1", 'b'}, {"Skip2", 'c'}, {"Skip3", 'd'},      {"Skip4", 'e'},
    {"Skip5", 'f'},    {"Skip6", 'g'}, {"Skip7", 'h'}, {"Interlaced", 'i'}, {"Edge", 'j'}};
inline constexpr PsfOption kMeasurementModes[] = {
    {"FBB", 'A'}, {"FBM", 'B'}, {"LBB", 'C'}, {"LBM", 'D'}, {"TBB", 'E'},  {"TBM", 'F'},
    {"CBB", 'G'}, {"CBM", 'H'}, {"TRN", 'I'}, {"SEG", 'J'}, {"None", 'K'}};
inline constexpr PsfOption kOutputSources[] = {
    {"Off", 'x'},   {"Meas1", 'y'}, {"Meas2", 'z'},   {"Meas 1 Inverted", 'Y'},
    {"Meas 2 Inverted", 'Z'}, {"Alarm", 'w'}, {"Trigger", 'v'}};

// The source lists of the discrete outputs editor: outputs 1 to 15 offer the
// first five sources, output 16 all seven.
inline constexpr const char* kOutputSourceList15 =
    "Off\tMeas1\tMeas2\tMeas 1 Inverted\tMeas 2 Inverted";
inline constexpr const char* kOutputSourceList16 =
    "Off\tMeas1\tMeas2\tMeas 1 Inverted\tMeas 2 Inverted\tAlarm\tTrigger";

// Index of the first entry with that code, or -1.
int LookupControllerId(uint8_t code);  // compares with the first character of each text
int LookupBaudRate(uint8_t code);
int LookupControlMode(uint8_t code);
int LookupScanningMethod(uint8_t code);
int LookupMeasurementMode(uint8_t code);
int LookupOutputSource(uint8_t code);

enum class SerialTransmissionMode { None, MeasurementResult, AllMode };

// One discrete output, unpacked.
struct DiscreteOutput {
    int32_t source = 'x';
    uint16_t setPointLow = 0;
    uint16_t setPointHigh = 0;
    uint16_t hysteresisLow = 0;
    uint16_t hysteresisHigh = 0;
};

// CPsfRecord: one parameter set as its fixed 154-byte image. A plain value:
// copying copies the bytes. Setters store what they are given and validate
// nothing; the editors enforce the value rules.
class CPsfRecord {
public:
    CPsfRecord() { LoadDefaults(); }

    void LoadDefaults();
    // Accepts a 158-byte reply frame (FS at 0, 'E' at 2, LF at 157); false
    // leaves the record untouched. The checksum is not verified.
    bool Decode(const uint8_t* frame);
    // Writes the 158-byte request frame addressed to id, storing id in byte 0.
    // The frame always carries the command letter 'C', whatever byte 1 holds.
    void Encode(uint8_t* frame, uint8_t id);

    uint8_t GetControllerId() const { return m_image[2]; }
    void SetControllerId(uint8_t id) { m_image[2] = id; }
    uint8_t GetBaudCode() const { return m_image[3]; }
    void SetBaudCode(uint8_t code) { m_image[3] = code; }
    uint8_t GetControlMode() const { return m_image[4]; }
    void SetControlMode(uint8_t code) { m_image[4] = code; }
    uint8_t GetScanningMethod() const { return m_image[5]; }
    void SetScanningMethod(uint8_t code) { m_image[5] = code; }
    // which 0 selects measurement 1, any other value measurement 2.
    uint8_t GetMeasMode(int which) const { return m_image[which == 0 ? 6 : 7]; }
    void SetMeasMode(int which, uint8_t code) { m_image[which == 0 ? 6 : 7] = code; }
    SerialTransmissionMode GetTransmissionMode() const;
    void SetTransmissionMode(SerialTransmissionMode mode);
    uint8_t GetBinary() const { return m_image[8] & 0x04; }
    void SetBinary(bool on) { SetFlag(0x04, on); }
    uint8_t GetSuppressClearData() const { return m_image[8] & 0x01; }
    void SetSuppressClearData(bool on) { SetFlag(0x01, on); }
    uint8_t GetSuppressHeader() const { return m_image[8] & 0x02; }
    void SetSuppressHeader(bool on) { SetFlag(0x02, on); }
    uint8_t GetCompressData() const { return m_image[8] & 0x08; }
    void SetCompressData(bool on) { SetFlag(0x08, on); }
    uint8_t GetScanCount() const { return m_image[9]; }
    void SetScanCount(uint8_t count) { m_image[9] = count; }
    void GetOutputs(DiscreteOutput outputs[kDiscreteOutputCount]) const;
    void SetOutputs(const DiscreteOutput outputs[kDiscreteOutputCount]);

    const uint8_t* Data() const { return m_image.data(); }
    uint8_t* Data() { return m_image.data(); }
    bool operator==(const CPsfRecord&) const = default;

private:
    void SetFlag(uint8_t mask, bool on) {
        m_image[8] = static_cast<uint8_t>(on ? (m_image[8] | mask) : (m_image[8] & ~mask));
    }

    std::array<uint8_t, kPsfRecordSize> m_image{};
};
