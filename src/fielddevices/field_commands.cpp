#include "fielddevices/field_commands.h"

// The parameter requests of entries 29/62 (three 28-byte meter blocks) and 33/66 (three 31-byte
// blocks) are header + data + sum; the lengths are fixed at compile time.
namespace {
constexpr int16_t kMeterParamsLength = 10 + 3 * 28;     // 94
constexpr int16_t kMeterParamsExtLength = 10 + 3 * 31;  // 103
}  // namespace

const SFieldCommand FieldCommandTable[FIELD_COMMAND_COUNT] = {
    {0x20, OnRMDCAckResponse, 8, 8, 0},                        // 0
    {0x20, OnHARSAckResponse, 8, 8, 0},                        // 1
    {0x20, OnCSAckResponse, 8, 8, 0},                          // 2
    {0x20, OnRGCAckResponse, 8, 8, 0},                         // 3
    {0x20, OnSGCAckResponse, 8, 8, 0},                         // 4
    {0x21, OnRMDCDatResponse, 8, 164, 1},                      // 5
    {0x22, OnRMDCErdResponse, 8, 63, 1},                       // 6
    {0x24, OnRMDCAckResponse, 8, 8, 1},                        // 7
    {0x24, OnHARSAckResponse, 8, 8, 1},                        // 8
    {0x24, OnCSAckResponse, 8, 8, 1},                          // 9
    {0x25, OnHARSHdatResponse, 8, 8, 1},                       // 10
    {0x25, OnCSCdatResponse, 8, 32, 1},                        // 11
    {0x26, OnRMDCAckResponse, 8, 8, 1},                        // 12
    {0x26, OnHARSAckResponse, 8, 8, 1},                        // 13
    {0x26, OnCSAckResponse, 8, 8, 1},                          // 14
    {0x26, OnRGCAckResponse, 8, 8, 1},                         // 15
    {0x26, OnSGCAckResponse, 8, 8, 1},                         // 16
    {0x2A, OnHARSHerdResponse, 8, 20, 1},                      // 17
    {0x2A, OnCSCerdResponse, 8, 36, 1},                        // 18
    {0x2A, OnRGC170GerdResponse, 8, 186, 1},                   // 19
    {0x2A, OnSGCSdatResponse, 8, 154, 1},                      // 20
    {0x2D, OnRGC170GeneralErdResponse, 8, 173, 1},             // 21
    {0x2E, OnRGC170GdatResponse, 8, 21, 1},                    // 22
    {0x43, OnRMDCAckResponse, 18, 8, 1},                       // 23
    {0x43, OnHARSAckResponse, 18, 8, 1},                       // 24
    {0x43, OnCSAckResponse, 18, 8, 1},                         // 25
    {0x43, OnRGCAckResponse, 18, 8, 1},                        // 26
    {0x43, OnSGCAckResponse, 18, 8, 1},                        // 27
    {0x45, OnRMDCDatResponse, 14, 164, 1},                     // 28
    {0x47, OnRMDCAckResponse, kMeterParamsLength, 8, 1},       // 29
    {0x47, OnCSAckResponse, 15, 8, 1},                         // 30
    {0x48, OnRMDCAckResponse, 138, 8, 1},                      // 31
    {0x49, OnRMDCAckResponse, 125, 8, 1},                      // 32
    {0x4B, OnRMDCAckResponse, kMeterParamsExtLength, 8, 1},    // 33
    {0x4F, OnRGCPermissionsResponse, 26, 46, 1},               // 34
    {0x4F, OnSGCAckResponse, 26, 8, 1},                        // 35
    {0x21, OnRMDCDatResponse, 8, 164, 2},                      // 36
    {0x22, OnRMDCErdResponse, 8, 63, 2},                       // 37
    {0x23, OnRGC170AckResponse, 8, 8, 2},                      // 38
    {0x24, OnRMDCAckResponse, 8, 8, 2},                        // 39
    {0x24, OnHARSAckResponse, 8, 8, 2},                        // 40
    {0x24, OnCSAckResponse, 8, 8, 2},                          // 41
    {0x24, OnSGCAckResponse, 8, 8, 2},                         // 42
    {0x25, OnHARSHdatResponse, 8, 8, 2},                       // 43
    {0x25, OnCSCdatResponse, 8, 32, 2},                        // 44
    {0x26, OnRMDCAckResponse, 8, 8, 2},                        // 45
    {0x26, OnHARSAckResponse, 8, 8, 2},                        // 46
    {0x26, OnCSAckResponse, 8, 8, 2},                          // 47
    {0x26, OnRGCAckResponse, 8, 8, 2},                         // 48
    {0x26, OnSGCAckResponse, 8, 8, 2},                         // 49
    {0x2A, OnHARSHerdResponse, 8, 20, 2},                      // 50
    {0x2A, OnCSCerdResponse, 8, 36, 2},                        // 51
    {0x2A, OnRGC170GerdResponse, 8, 186, 2},                   // 52
    {0x2A, OnSGCSdatResponse, 8, 154, 2},                      // 53
    {0x2D, OnRGC170GeneralErdResponse, 8, 173, 2},             // 54
    {0x2E, OnRGC170GdatResponse, 8, 21, 2},                    // 55
    {0x43, OnRMDCAckResponse, 18, 8, 2},                       // 56
    {0x43, OnHARSAckResponse, 18, 8, 2},                       // 57
    {0x43, OnCSAckResponse, 18, 8, 2},                         // 58
    {0x43, OnRGCAckResponse, 18, 8, 2},                        // 59
    {0x43, OnSGCAckResponse, 18, 8, 2},                        // 60
    {0x45, OnRMDCDatResponse, 14, 164, 2},                     // 61
    {0x47, OnRMDCAckResponse, kMeterParamsLength, 8, 2},       // 62
    {0x47, OnCSAckResponse, 15, 8, 2},                         // 63
    {0x48, OnRMDCAckResponse, 138, 8, 2},                      // 64
    {0x49, OnRMDCAckResponse, 125, 8, 2},                      // 65
    {0x4B, OnRMDCAckResponse, kMeterParamsExtLength, 8, 2},    // 66
    {0x4F, OnRGCPermissionsResponse, 26, 46, 2},               // 67
    {0x4F, OnSGCAckResponse, 26, 8, 2},                        // 68
};

const char* const FieldProtocolTexts[FIELD_TEXT_COUNT] = {
    "Start Sequence Complete",
    "Invalid response command",
    "Sending Meter Control",
    "Sending Sign Control",
    "Sending Signal Control",
    "Sending Gate Control",
    "Sending Seismic Gate Control",
    "Sending Reset",
    "Sending Ramp Meter Parameters",
    "Sending Time of Day Table",
    "Sending Data Station Parameters",
    "Requesting Permissions Data",
    "Sending Associate Drop Addresses (SGP4)",
    "Sending Closure Signal Parameters",
    "_NActiveLoops overflow!",
};
