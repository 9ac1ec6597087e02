// Numbers the virtual board answers with: driver ReturnCodes, station alarm codes,
// status and I/O data word bits, monitor item numbers, timing, and the control
// request understood by the board (in process and through the stand-in's pipe).
// README.md lists the same values for people; keep the two in step.
#pragma once

#include <cstdint>

namespace vboard {

// ---- Driver ReturnCodes (entry field) ---------------------------------------
// Every final error lies below -32770 so that the library hands it to the caller
// at once instead of retrying the exchange for 2000 ms.
namespace rc {
constexpr int32_t kOk = 0;
constexpr int32_t kUnknownSelect = -32801;   // SelectCode not served by the board
constexpr int32_t kBadSize = -32802;         // Size outside 0..36 (or too small for the request)
constexpr int32_t kBadOffset = -32803;       // Offset/Size outside board memory or not a station area
constexpr int32_t kBadStation = -32804;      // station absent or of the wrong kind for the request
constexpr int32_t kQueueFull = -32805;       // interpolation or axis data queue at its capacity
constexpr int32_t kBadCapacity = -32806;     // IpNumMax value outside 1..kMaxIpCapacity
constexpr int32_t kNothingToStart = -32807;  // LkStart/IpStrt selected stations with nothing queued
constexpr int32_t kRefused = -32808;         // a selected station cannot move (servo off, alarm, emergency, moving)
constexpr int32_t kNoAnswer = -32809;        // I/O station silenced by fault injection
constexpr int32_t kBadRecord = -32810;       // axis data record that is not an NC command (0x35)
}  // namespace rc

// Busy answer used by fault injection when a test asks for "busy": positive
// values are busy for the library (it sends the buffer again).
constexpr int32_t kBusyCode = 1;

// ---- Station alarm codes (response byte 2) ----------------------------------
namespace alarm {
constexpr uint8_t kNone = 0x00;
constexpr uint8_t kServoOff = 0x10;      // motion command while the servo is off
constexpr uint8_t kEmergency = 0x11;     // motion command while the emergency stop is active
constexpr uint8_t kOverPlus = 0x12;      // move stopped at the + travel limit
constexpr uint8_t kOverMinus = 0x13;     // move stopped at the - travel limit
constexpr uint8_t kUnknownCommand = 0x14;// command code the station does not know
constexpr uint8_t kBusy = 0x15;          // motion command while a move is in progress
}  // namespace alarm

// ---- Status word bits (response bytes 3..4) ----------------------------------
namespace status {
constexpr uint16_t kAlarm = 0x0001;
constexpr uint16_t kMoving = 0x0002;
constexpr uint16_t kReady = 0x0004;
constexpr uint16_t kServoOn = 0x0008;
constexpr uint16_t kEmergency = 0x0010;
constexpr uint16_t kMachineLock = 0x0020;
constexpr uint16_t kEncoderOn = 0x0040;
constexpr uint16_t kHomed = 0x0080;
constexpr uint16_t kInPosition = 0x0100;
constexpr uint16_t kInterpolating = 0x0200;
constexpr uint16_t kAbsInitialised = 0x0400;
constexpr uint16_t kOvertravel = 0x0800;
constexpr uint16_t kSetUp = 0x8000;
}  // namespace status

// ---- I/O data word bits (response bytes 14..15 of monitor answers) -----------
namespace iodata {
constexpr uint16_t kHomeSensor = 0x0001;   // axis within kHomeWindow of the home sensor
constexpr uint16_t kLimitPlus = 0x0002;    // axis at or beyond the + travel limit
constexpr uint16_t kLimitMinus = 0x0004;   // axis at or beyond the - travel limit
constexpr uint16_t kInPosition = 0x0008;
constexpr uint16_t kMoving = 0x0010;
constexpr uint16_t kServoOn = 0x0020;
constexpr uint16_t kEmergency = 0x0040;
constexpr uint16_t kAlarm = 0x0080;
// Bits 8..15 are general inputs of the station: 0 unless driven through the
// I/O data override.
}  // namespace iodata

// ---- Monitor items (chosen by the M-code byte) -------------------------------
namespace item {
constexpr int kNone = 0;
constexpr int kCommandPosition = 1;
constexpr int kTargetPosition = 2;
constexpr int kRemaining = 3;          // target - command position
constexpr int kCommandSpeed = 4;       // units per second
constexpr int kFeedbackSpeed = 5;      // units per second
constexpr int kFollowingError = 6;     // command - feedback position
constexpr int kTorque = 7;             // torque reference, percent of rated
constexpr int kFeedbackPosition = 8;
constexpr int kMachinePosition = 9;    // position from the home sensor
constexpr int kAlarmCode = 10;
constexpr int kStatusWord = 11;
constexpr int kIoData = 12;
constexpr int kIpQueued = 13;          // interpolation points waiting on this station
constexpr int kMoveCount = 14;         // moves completed since set-up
constexpr int kStationClock = 15;      // ms since the station's set-up
}  // namespace item

// ---- Timing and geometry of the simulated axes -------------------------------
constexpr int32_t kMemorySize = 8192;        // board memory, bytes
constexpr int64_t kServoSettleMs = 30;       // servo on/off until the status bit follows
constexpr int64_t kConfigMs = 50;            // Config (0x04) busy time
// A positioning move accelerates to its speed in kAccelMs and decelerates from it
// in kAccelMs (a time constant: the acceleration is speed / kAccelMs), so it takes
// distance/speed + kAccelMs: 1000 units at the default speed 60 ms, 100 000 units
// 5010 ms. There is no upper bound; kLongestMoveMs only keeps time stamps from
// overflowing (it is millions of years).
constexpr int64_t kAccelMs = 10;
constexpr int64_t kLongestMoveMs = int64_t{1} << 60;
constexpr int64_t kDefaultSpeed = 20000;     // units/s when a command gives no speed
constexpr int64_t kFollowLagMs = 8;          // feedback trails the command by this
constexpr int64_t kDecelMs = 40;             // deceleration stop ramp
constexpr int64_t kHomeWindow = 50;          // home sensor width, units either side
constexpr int64_t kTravelLimit = 1000000;    // +/- travel limit from the home sensor
constexpr int64_t kInPositionWindow = 10;
constexpr int64_t kIpDefaultPeriodMs = 10;   // interpolation period when IpStrt gives 0
constexpr int64_t kIpMaxPeriodMs = 1000;
constexpr int32_t kIpDefaultCapacity = 1024; // points per station
constexpr int32_t kMaxIpCapacity = 65536;
constexpr int32_t kAxisDataCapacity = 32;    // axis data records per station

// ---- Control request ---------------------------------------------------------
// Not a driver exchange: a way for tests and the demo to drive the board from
// outside. Same framing as an exchange (4-byte code + 1264-byte block) so the
// stand-in's pipe carries it unchanged. Block layout (little-endian):
//   +0 uint32 op, +4 int32 station, +8 int32 arg1, +12 int32 arg2, +16 bytes.
// The reply block is the request block, with op-specific results from +16 on.
constexpr uint32_t kIoctlControl = 0x2220F0;
namespace ctl {
constexpr uint32_t kSetInputs = 1;      // station, arg1 first input byte, arg2 count, bytes: force inputs
constexpr uint32_t kReleaseInputs = 2;  // station (-1 all): inputs follow the outputs again
constexpr uint32_t kSilence = 3;        // station, arg1 1 = stop answering, 0 = answer again
constexpr uint32_t kReset = 4;          // the board as after power-on
constexpr uint32_t kIoData = 5;         // station, arg1 mask, arg2 value: force I/O data word bits
constexpr uint32_t kRaiseAlarm = 6;     // station, arg1 alarm code
constexpr uint32_t kFailExchanges = 7;  // arg1 = number of exchanges that fail
constexpr uint32_t kInjectCode = 8;     // station (-1 any), arg1 ReturnCode, arg2 exchanges
constexpr uint32_t kQuery = 9;          // station -> reply (see StationReport)
constexpr uint32_t kLoopback = 10;      // arg1 1 = inputs follow outputs, 0 = inputs read 0
constexpr uint32_t kStop = 11;          // stand-in in `serve` mode: end the server
// kQuery reply, from block offset 16: 16 output bytes, 16 input bytes, then int32
// kind (0 none, 1 axis, 2 I/O), command position, feedback position, status word,
// alarm, I/O data word, interpolation points queued.
constexpr int kQueryOutputs = 16, kQueryInputs = 32, kQueryKind = 48, kQueryCommand = 52,
              kQueryFeedback = 56, kQueryStatus = 60, kQueryAlarm = 64, kQueryIoData = 68,
              kQueryIpCount = 72;
}  // namespace ctl

}  // namespace vboard
