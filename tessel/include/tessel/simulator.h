// The simulated armband behind the device SDK, and the controls of its wearer.
//
// makeSimulation returns a fresh hub (the same kind that
// HubManager::getHubInstance hands out) together with the Controller that plays
// the wearer and breaks the armband on purpose. Nothing runs until the hub's
// init: init starts the SDK callback thread, the stream and, when asked for, the
// wearer control endpoint on 127.0.0.1; deinit and the hub's destruction stop and
// join all three. After deinit no callback runs and requests made then are dropped.
//
// The armband (delays as with delayScale 1): a scan sees it 0.4 to 1.2 s after
// startScan while it is present and not connected, and ends 3 s after the start
// or just after stopScan. connect takes 0.5 to 1 s (an absent armband fails with
// onDeviceConnectFailed after 2 s). Requests complete one after another, 15 to
// 45 ms apart; an upload reports 0, 20, 40, 60, 80 and 100 % about 0.2 s apart.
// Versions are "H3" and "V1.4-27". A request on an armband that is not
// connected, or whose link drops before the answer, completes with
// ResponseResult::Disconnected, a `fail`ed one with Failed, one with bad
// parameters with InvalidParameter. Raw packets hold 16 frames of one byte per
// configured channel in ascending order (all 8 until setEmgRawDataConfig);
// gesture events report the wearer's gesture whenever it changes. Streaming
// starts afresh (wearer timeline, noise, replay position) whenever it begins
// or raw packets are switched on.
//
// Threads: every Controller member may be called from any thread at any time,
// including from inside an SDK callback; none of them calls a listener or a
// completion directly, they only queue work for the SDK callback thread.
//
// Text protocol (Controller::command and the control endpoint, one command per
// line or message; every answer begins "ok" or "error: "):
//   perform G | hold G | rest            the wearer repeats, holds or leaves gesture G (0..15)
//   status                               "ok " and one line of JSON
//   drop | absent | present              lose the link now | scans find nothing | find it again
//   fail OP [N] | mute OP [N]            the next N requests of OP fail | never complete
//   nosetting | setting                  getSetting yields nothing | the setting again
//   hubstate N | devicestatus N          onStateChanged(N) | onDeviceStatusChanged(N)
//   replay PATH | replay                 stream a recorded raw file | the synthetic wearer again
//   profile NAME [DAY]                   the kind of wearer (default, calm, tense, restless,
//                                        faint, blended) and the day (1 if not given), which
//                                        sets the electrodes' gains
//   seed N | reset | help
// OP is one of connect, startScan, setDataNotifySwitch, setEmgRawDataConfig,
// trainModelUpdate, queryHardwareVersion, queryFirmwareVersion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tessel/tessel.h"

namespace tessel::sim {

// Values of Options::controlPort besides a port number.
inline constexpr int kNoControlPort = 0;
inline constexpr int kAnyFreeControlPort = -1;  // the bound port is in Controller::controlPort
inline constexpr int kDefaultControlPort = 8889;

// Reasons that the simulated armband gives to onDeviceDisconnected.
inline constexpr std::uint8_t kReasonRequested = 0;  // after disconnect()
inline constexpr std::uint8_t kReasonLinkLost = 8;   // after `drop`

struct Options {
    // Drives the noise, the timing and the repetition variation of the wearer
    // and the SDK's delays; the same seed and commands give the same bytes.
    std::uint32_t seed = 1;
    // Multiplies every scan, connect, disconnect and completion delay; 0 makes
    // them immediate (still on the SDK callback thread).
    double delayScale = 1.0;
    // 1.0 streams 650 frames per second of real time; 10.0 ten times as fast.
    double streamSpeed = 1.0;
    // TCP port of the wearer control endpoint on 127.0.0.1.
    int controlPort = kDefaultControlPort;
};

// The requests that `fail` and `mute` can target.
enum class Operation {
    Connect,
    StartScan,
    SetDataNotifySwitch,
    SetEmgRawDataConfig,
    TrainModelUpdate,
    QueryHardwareVersion,
    QueryFirmwareVersion,
};
inline constexpr std::size_t kOperationCount = 7;

// The name of an operation in the text protocol ("startScan").
const char* operationName(Operation operation);

struct Status {
    bool present = true;
    ConnectionState connection = ConnectionState::Disconnected;
    std::uint32_t streams = 0;         // flags of the last accepted setDataNotifySwitch
    std::uint8_t channelMask = 0xFF;   // raw stream channels
    std::string action;                // "rest", "hold 3" or "perform 1"
    std::size_t modelSize = 0;         // bytes of the last good model upload; 0 none
    std::uint64_t droppedPackets = 0;  // raw packets dropped because callbacks fell behind
    bool scanning = false;
    bool settingAvailable = true;
    std::uint32_t seed = 1;
    std::string replay;  // the file the raw stream plays; empty for the synthetic wearer
    std::string profile = "default";  // the kind of wearer
    std::uint32_t day = 1;            // the day of its electrode gains
};

class Armband;

class Controller {
  public:
    explicit Controller(std::shared_ptr<Armband> armband);

    // One command of the text protocol; the answer begins "ok" or "error: ".
    std::string command(std::string_view line);

    // Gestures are 0..15 (0 is Relax); false for any other number.
    bool perform(int gesture);
    bool hold(int gesture);
    void rest();

    void drop();
    void setPresent(bool present);
    // count 0 clears what is pending for the operation.
    void fail(Operation operation, std::uint32_t count = 1);
    void mute(Operation operation, std::uint32_t count = 1);
    void setSettingAvailable(bool available);
    // False while the hub is not initialised (there is no callback thread).
    bool hubState(std::int32_t state);
    // False unless the armband is connected.
    bool deviceStatus(std::uint8_t status);
    // False when the file cannot be read or is empty; the stream is unchanged then.
    bool replay(const std::string& path);
    void stopReplay();
    void seed(std::uint32_t seed);
    // The kind of wearer by name (letter case ignored) and the day of its
    // electrode gains; false for an unknown name. Takes effect at once.
    bool profile(std::string_view name, std::uint32_t day = 1);
    // The wearer and every fault back to their start: present, setting
    // available, nothing failing or muted, resting, synthetic signal, the
    // default wearer profile, the starting seed. The connection and the last model are kept.
    void reset();

    Status status();
    // The bytes of the last good model upload; empty when there was none.
    std::vector<std::uint8_t> lastModel();
    // The port the control endpoint listens on; 0 when it is not listening.
    int controlPort();

  private:
    std::shared_ptr<Armband> armband;
};

struct Simulation {
    std::shared_ptr<Hub> hub;
    std::shared_ptr<Controller> controller;
};

Simulation makeSimulation(const Options& options = {});

// The options of the process's own simulation, the one whose hub
// HubManager::getHubInstance hands out; they count only when set before the
// first getHubInstance.
void setProcessOptions(const Options& options);
// The wearer controls of the process's own simulation.
std::shared_ptr<Controller> processController();

}  // namespace tessel::sim
