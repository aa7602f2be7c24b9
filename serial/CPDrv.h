#pragma once
// TCPDrv: the serial port component. It owns one serial communications device, keeps the line
// settings as properties, opens the device for exclusive use, sends and reads bytes with idle
// time-outs, and polls for incoming bytes while the port is open.
//
// The component itself is portable: every operating system call goes through ISerialBackend,
// so the setter rules, the time-outs and the packet logic run against a fake device in tests.
// The real backend (Windows serial API and a hidden notification window) comes from
// CreateSerialBackend(), which only the Windows build defines.
//
// Nothing here throws and nothing shows a message: failures show as false or as a short count.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The printer spooler header maps SetPort to SetPortW; the property setter must keep its name
// in every unit, whatever that unit included before.
#ifdef SetPort
#undef SetPort
#endif

namespace virel {

enum TPortNumber : std::uint8_t {
    pnCustom,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16
};

enum TBaudRate : std::uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};

enum TDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl : std::uint8_t { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl : std::uint8_t { sfNONE, sfXONXOFF };
enum TPacketMode : std::uint8_t { pmDiscard, pmPass };

// One modem input line; TModemSignals is a set of them.
enum TModemSignal : std::uint8_t { msCTS, msDSR, msRING, msRLSD };

class TModemSignals {
public:
    constexpr TModemSignals() = default;
    constexpr bool Contains(TModemSignal s) const { return (bits_ & Bit(s)) != 0; }
    constexpr void Include(TModemSignal s) { bits_ |= Bit(s); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TModemSignals&) const = default;

private:
    static constexpr std::uint8_t Bit(TModemSignal s) { return static_cast<std::uint8_t>(1u << s); }
    std::uint8_t bits_ = 0;
};

// Bits per second for a TBaudRate; 0 for brCustom (and for anything out of range).
std::uint32_t BaudRateToValue(TBaudRate rate);

// Device path of a numbered port: "\\.\COM<n>". The device-namespace prefix is what lets
// CreateFileA reach ports numbered above 9 (plain "COM10" is not a reserved DOS name).
std::string PortPath(int number);

// The device control block the component writes to the port, field by field as the Windows DCB
// holds them (bit fields widened to bytes). All fields not set explicitly are zero.
struct TDcb {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint8_t fBinary = 0;
    std::uint8_t fParity = 0;
    std::uint8_t fOutxCtsFlow = 0;
    std::uint8_t fOutxDsrFlow = 0;
    std::uint8_t fDtrControl = 0;
    std::uint8_t fDsrSensitivity = 0;
    std::uint8_t fTXContinueOnXoff = 0;
    std::uint8_t fOutX = 0;
    std::uint8_t fInX = 0;
    std::uint8_t fErrorChar = 0;
    std::uint8_t fNull = 0;
    std::uint8_t fRtsControl = 0;
    std::uint8_t fAbortOnError = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
    bool operator==(const TDcb&) const = default;
};

struct TCommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const TCommTimeouts&) const = default;
};

// Values of the Windows constants the component passes through the backend unchanged.
namespace serial_const {
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;
inline constexpr std::uint32_t kMsCtsOn = 0x0010;
inline constexpr std::uint32_t kMsDsrOn = 0x0020;
inline constexpr std::uint32_t kMsRingOn = 0x0040;
inline constexpr std::uint32_t kMsRlsdOn = 0x0080;
inline constexpr std::uint32_t kWmTimer = 0x0113;
inline constexpr std::uint32_t kTickNone = 0xFFFFFFFFu;
}  // namespace serial_const

// Receives every message of the notification window (message, wParam, lParam) -> result.
using TSerialMessageHandler =
    std::function<std::intptr_t(std::uint32_t, std::uintptr_t, std::intptr_t)>;

// The seam between TCPDrv and the operating system: one device and one notification window.
// Implementations must not throw.
class ISerialBackend {
public:
    virtual ~ISerialBackend() = default;

    // Creates the notification window; from then on its messages go to the handler.
    virtual void AttachWindow(TSerialMessageHandler handler) = 0;
    // Destroys the notification window (no message reaches the handler afterwards).
    virtual void DetachWindow() = 0;
    // The notification window's default processing of a message.
    virtual std::intptr_t DefaultHandling(std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) = 0;
    // Polling timer (identifier 1) of the notification window.
    virtual bool StartTimer(std::uint32_t periodMs) = 0;
    virtual void StopTimer() = 0;

    // Opens the device exclusively for reading and writing, synchronously.
    virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The system's error code of the last Open that failed (0 after one that succeeded): tells a
    // port another program holds from one that is not there.
    virtual std::uint32_t OpenError() const { return 0; }

    virtual bool SetState(const TDcb& dcb) = 0;
    virtual bool Purge(std::uint32_t flags) = 0;
    virtual bool SetupQueues(std::uint32_t inQueue, std::uint32_t outQueue) = 0;
    virtual bool SetTimeouts(const TCommTimeouts& timeouts) = 0;
    // Clears line errors and reports the queue counts (both 0 when the call fails).
    virtual bool ClearError(std::uint32_t& inQueue, std::uint32_t& outQueue) = 0;
    virtual bool ModemStatus(std::uint32_t& status) = 0;
    // Synchronous transfers; `done` is how many bytes moved, whatever the result says.
    virtual bool Read(void* buffer, std::uint32_t count, std::uint32_t& done) = 0;
    virtual bool Write(const void* data, std::uint32_t count, std::uint32_t& done) = 0;

    // Waits in the driver for the next byte without using the processor: reads it into `byte`
    // (done 1) as soon as one is in the receive queue, or gives up after `timeoutMs` ms (1 or
    // more) with done 0. The port's time-outs are as before afterwards. False when the driver
    // failed (then it may have returned at once).
    virtual bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) = 0;

    // Milliseconds since an arbitrary start, wrapping at 2^32, in steps of one millisecond.
    virtual std::uint32_t TickCount() = 0;
    // Blocks the calling thread for about `ms` milliseconds, serving no window messages.
    virtual void Pause(std::uint32_t ms) = 0;
};

// The platform's real backend; defined only in the Windows build.
std::unique_ptr<ISerialBackend> CreateSerialBackend();

class TCPDrv;
using TReceiveDataEvent =
    std::function<void(TCPDrv& Sender, const std::uint8_t* DataPtr, std::uint32_t DataSize)>;
using TReceivePacketEvent =
    std::function<void(TCPDrv& Sender, const std::uint8_t* Packet, std::uint32_t DataSize)>;

class TCPDrv {
public:
    // Owner: the window that owns the component (opaque here; kept for the caller).
    explicit TCPDrv(void* owner, std::unique_ptr<ISerialBackend> backend = CreateSerialBackend());
    ~TCPDrv();
    TCPDrv(const TCPDrv&) = delete;
    TCPDrv& operator=(const TCPDrv&) = delete;

    void* Owner() const { return owner_; }

    // --- Properties (defaults in the member initialisers below) ---
    TPortNumber Port() const { return port_; }
    void SetPort(TPortNumber value);
    const std::string& PortName() const { return portName_; }
    void SetPortName(const std::string& value);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    std::uint32_t BaudRateValue() const { return baudRateValue_; }
    void SetBaudRateValue(std::uint32_t value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TParity Parity() const { return parity_; }
    void SetParity(TParity value);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void SetHwFlow(THwFlowControl value);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void SetSwFlow(TSwFlowControl value);
    std::uint32_t InBufSize() const { return inBufSize_; }
    void SetInBufSize(std::uint32_t value);
    std::uint32_t OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(std::uint32_t value);
    std::int16_t PacketSize() const { return packetSize_; }
    void SetPacketSize(std::int16_t value);
    std::int32_t PacketTimeout() const { return packetTimeout_; }
    void SetPacketTimeout(std::int32_t value);
    TPacketMode PacketMode() const { return packetMode_; }
    void SetPacketMode(TPacketMode value) { packetMode_ = value; }
    std::uint16_t PollingDelay() const { return pollingDelay_; }
    void SetPollingDelay(std::uint16_t value);
    bool EnableDTROnOpen() const { return enableDTROnOpen_; }
    void SetEnableDTROnOpen(bool value) { enableDTROnOpen_ = value; }
    std::uint16_t OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(std::uint16_t value) { outputTimeout_ = value; }
    std::uint32_t InputTimeout() const { return inputTimeout_; }
    void SetInputTimeout(std::uint32_t value) { inputTimeout_ = value; }
    bool CheckLineStatus() const { return checkLineStatus_; }
    void SetCheckLineStatus(bool value) { checkLineStatus_ = value; }

    // Receive events, called from a polling tick. The bytes live in the component's receive
    // buffer and are valid only during the call.
    TReceiveDataEvent OnReceiveData;
    TReceivePacketEvent OnReceivePacket;
    // An exception that an event handler raised inside a tick. The Windows notification window
    // cannot let it through its window procedure, so it hands it here (the owner's error report).
    std::function<void(TCPDrv& Sender, std::exception_ptr error)> OnEventError;

    // --- Opening and closing ---
    bool IsConnected() const;
    bool Connect();
    // Why the last Connect could not open the device: the system's error code, 0 when it opened
    // (a Connect that failed afterwards, setting the line up, leaves 0).
    std::uint32_t OpenError() const { return backend_ ? backend_->OpenError() : 0; }
    void Disconnect();
    bool ApplySettings();
    bool PurgeBuffers(bool input, bool output);
    // The device control block that ApplySettings writes for the current properties.
    TDcb BuildDcb() const;

    // --- Transfer ---
    std::uint32_t SendDataWithTimeout(const void* data, std::uint32_t count, std::uint32_t timeout);
    std::uint32_t SendData(const void* data, std::uint32_t count);
    bool SendString(const std::string& text);
    std::uint32_t ReadData(void* buffer, std::uint32_t count);
    std::uint32_t InputCount();
    std::uint16_t OutputFreeSpace();
    TModemSignals ModemSignals();
    void SuspendPolling() { ++pauseCount_; }
    void ResumePolling() { --pauseCount_; }

    // The notification window's message handler. Exceptions from event handlers pass through.
    std::intptr_t WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    // What the backend calls for every message of the window: WindowProc, with an exception
    // from an event handler handed to OnEventError instead of being let through.
    std::intptr_t DispatchWindowMessage(std::uint32_t msg, std::uintptr_t wParam,
                                        std::intptr_t lParam);

    // State visible for diagnostics and tests.
    std::uint32_t PacketStartTick() const { return packetStart_; }
    std::int32_t PollingPauseCount() const { return pauseCount_; }
    // Time `PacketSize` characters take on the line at ten bit times each, in whole ms.
    std::uint32_t PacketTransmissionTime() const;

private:
    void Reapply();
    bool ReallocateReceiveBuffer(std::uint32_t size);
    void PollTick();
    void PollPlain(std::uint32_t queued);
    void PollPackets(std::uint32_t queued);
    std::uint32_t QueuedInput();
    bool WaitForInput(std::uint8_t& byte, std::uint32_t start, std::uint32_t limitMs);

    void* owner_;
    std::unique_ptr<ISerialBackend> backend_;

    TPortNumber port_ = pnCOM2;
    std::string portName_ = "\\\\.\\COM2";
    TBaudRate baudRate_ = br9600;
    std::uint32_t baudRateValue_ = 9600;
    TDataBits dataBits_ = db8BITS;
    TStopBits stopBits_ = sb1BITS;
    TParity parity_ = ptNONE;
    THwFlowControl hwFlow_ = hfNONERTSON;
    TSwFlowControl swFlow_ = sfNONE;
    std::uint32_t inBufSize_ = 2048;
    std::uint32_t outBufSize_ = 2048;
    std::int16_t packetSize_ = -1;
    std::int32_t packetTimeout_ = -1;
    TPacketMode packetMode_ = pmDiscard;
    std::uint16_t pollingDelay_ = 50;
    bool enableDTROnOpen_ = true;
    std::uint16_t outputTimeout_ = 500;
    std::uint32_t inputTimeout_ = 200;
    bool checkLineStatus_ = false;

    std::vector<std::uint8_t> receiveBuffer_;
    std::uint32_t packetStart_ = serial_const::kTickNone;
    std::int32_t pauseCount_ = 0;
};

}  // namespace virel
