// The serial link adapter over the real TCPDrv with a scripted device behind it: the window's
// speed and port reach the component, bytes pass through. (A whole end of measurement through
// the real component and port is the end-to-end Exchange tests' part.)
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/CommPortLink.h"

namespace virel::app {
namespace {

struct Device {
    bool open = false;
    std::string path;
    std::vector<std::uint32_t> bauds;
    std::string written;
    std::deque<std::uint8_t> input;
    std::string answer;  // queued whenever a command has been written
    std::uint32_t tick = 0;
    std::uint32_t refuseWith = 0;  // the system's error of a refused open; 0 opens
};

// Only what TCPDrv needs to open, write and read; every call succeeds.
class ScriptedBackend : public ISerialBackend {
public:
    explicit ScriptedBackend(std::shared_ptr<Device> device) : d_(std::move(device)) {}
    void AttachWindow(TSerialMessageHandler) override {}
    void DetachWindow() override {}
    std::intptr_t DefaultHandling(std::uint32_t, std::uintptr_t, std::intptr_t) override {
        return 0;
    }
    bool StartTimer(std::uint32_t) override { return true; }
    void StopTimer() override {}
    bool Open(const std::string& path) override {
        d_->path = path;
        openError_ = d_->refuseWith;
        d_->open = openError_ == 0;
        return d_->open;
    }
    std::uint32_t OpenError() const override { return openError_; }
    void Close() override { d_->open = false; }
    bool IsOpen() const override { return d_->open; }
    bool SetState(const TDcb& dcb) override {
        d_->bauds.push_back(dcb.BaudRate);
        return true;
    }
    bool Purge(std::uint32_t) override { return true; }
    bool SetupQueues(std::uint32_t, std::uint32_t) override { return true; }
    bool SetTimeouts(const TCommTimeouts&) override { return true; }
    bool ClearError(std::uint32_t& inQueue, std::uint32_t& outQueue) override {
        inQueue = static_cast<std::uint32_t>(d_->input.size());
        outQueue = 0;
        return true;
    }
    bool ModemStatus(std::uint32_t& status) override {
        status = 0;
        return true;
    }
    bool Read(void* buffer, std::uint32_t count, std::uint32_t& done) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        done = 0;
        while (done < count && !d_->input.empty()) {
            out[done++] = d_->input.front();
            d_->input.pop_front();
        }
        return true;
    }
    bool Write(const void* data, std::uint32_t count, std::uint32_t& done) override {
        d_->written.append(static_cast<const char*>(data), count);
        done = count;
        d_->input.insert(d_->input.end(), d_->answer.begin(), d_->answer.end());
        return true;
    }
    bool WaitForByte(std::uint8_t& byte, std::uint32_t timeoutMs, std::uint32_t& done) override {
        done = 0;
        if (d_->input.empty()) {
            d_->tick += timeoutMs;  // nothing else will come
            return true;
        }
        byte = d_->input.front();
        d_->input.pop_front();
        done = 1;
        return true;
    }
    std::uint32_t TickCount() override { return d_->tick += 1; }
    void Pause(std::uint32_t ms) override { d_->tick += ms; }

private:
    std::shared_ptr<Device> d_;
    std::uint32_t openError_ = 0;
};

class CommPortLinkTest : public ::testing::Test {
protected:
    std::shared_ptr<Device> device = std::make_shared<Device>();
    TCPDrv port{nullptr, std::make_unique<ScriptedBackend>(device)};
    // The refused ports the link notes for the trace: the text as typed, and why.
    std::vector<std::pair<std::string, std::string>> refused;
    TCommPortLink link{port, [this](const std::string& text, const std::string& why) {
                           refused.emplace_back(text, why);
                       }};
};

TEST_F(CommPortLinkTest, TheMainWindowsPortDesign) {
    port.SetPort(pnCOM5);
    ApplyCommPortDesign(port);
    EXPECT_EQ(port.Port(), pnCustom);
    EXPECT_EQ(port.PortName(), "\\\\.\\COM2");
    EXPECT_EQ(port.HwFlow(), hfNONE);
    EXPECT_EQ(port.InBufSize(), 256u);
    EXPECT_EQ(port.OutBufSize(), 256u);
    EXPECT_EQ(port.OutputTimeout(), 0);
    EXPECT_EQ(port.InputTimeout(), 500u);
    EXPECT_EQ(port.BaudRate(), br9600);
}

TEST_F(CommPortLinkTest, SpeedAndPortReachTheComponent) {
    EXPECT_TRUE(link.Open({TLinePort("COM3"), 4800}));
    EXPECT_TRUE(refused.empty());
    EXPECT_EQ(port.BaudRate(), br4800);
    EXPECT_EQ(port.Port(), pnCOM3);
    EXPECT_EQ(device->path, "\\\\.\\COM3");
    EXPECT_EQ(device->bauds.back(), 4800u);
    link.Close();
    EXPECT_FALSE(device->open);

    EXPECT_TRUE(link.Open({TLinePort("com16"), 9600}));
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Port(), pnCOM16);
    EXPECT_EQ(device->path, "\\\\.\\COM16");
    link.Close();

    // Beyond the component's numbered ports: by name, the same device path form.
    for (int number : {17, 100, 255}) {
        EXPECT_TRUE(link.Open({TLinePort("COM" + std::to_string(number)), 9600}));
        EXPECT_EQ(port.Port(), pnCustom);
        EXPECT_EQ(device->path, "\\\\.\\COM" + std::to_string(number));
        link.Close();
    }
    EXPECT_TRUE(link.Open({TLinePort(" COM1 "), 4800}));
    EXPECT_EQ(device->path, "\\\\.\\COM1");
    EXPECT_EQ(port.Port(), pnCOM1);
    link.Close();
}

TEST_F(CommPortLinkTest, NoPortNamedOpensNothing) {
    ApplyCommPortDesign(port);
    const std::pair<const char*, const char*> cases[] = {
        {"COM0", "номер порта вне 1–255"},          {"COM-1", "не имя порта вида COM1–COM255"},
        {"COM256", "номер порта вне 1–255"},        {"", "имя порта не указано"},
        {" lpt1", "не имя порта вида COM1–COM255"}, {"COM01", "номер порта с ведущим нулём"}};
    for (const auto& [text, why] : cases) {
        refused.clear();
        EXPECT_FALSE(link.Open({TLinePort(text), 4800}));
        EXPECT_FALSE(device->open);
        EXPECT_EQ(device->path, "") << "the component's own port is not opened either";
        // Noted as the line carries it: the text as typed, the reason it was parsed with.
        ASSERT_EQ(refused.size(), 1u) << text;
        EXPECT_EQ(refused[0].first, text);
        EXPECT_EQ(refused[0].second, why);
    }
    std::uint8_t buffer[300] = {};
    EXPECT_EQ(link.ReadData(buffer, 280), 0u);
}

TEST_F(CommPortLinkTest, APortAnotherProgramHoldsIsToldFromOneThatIsNotThere) {
    // Held: access denied (a serial port's usual answer) or a sharing violation.
    for (const DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        device->refuseWith = error;
        EXPECT_FALSE(link.Open({TLinePort("COM3"), 9600}));
        EXPECT_EQ(port.OpenError(), error);
        EXPECT_TRUE(link.OpenRefusedAsBusy()) << error;
    }
    // Not there, or not a port at all: nothing to wait for.
    for (const DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_GEN_FAILURE}) {
        device->refuseWith = error;
        EXPECT_FALSE(link.Open({TLinePort("COM3"), 9600}));
        EXPECT_FALSE(link.OpenRefusedAsBusy()) << error;
    }
    device->refuseWith = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(link.Open({TLinePort("COM3"), 9600}));
    EXPECT_FALSE(link.Open({TLinePort("COM0"), 9600}))
        << "a text naming no port never reaches the system";
    EXPECT_FALSE(link.OpenRefusedAsBusy());
    // Free again: opened, and nothing left over of the refusal.
    device->refuseWith = 0;
    EXPECT_TRUE(link.Open({TLinePort("COM3"), 9600}));
    EXPECT_FALSE(link.OpenRefusedAsBusy());
    EXPECT_EQ(port.OpenError(), 0u);
    link.Close();
    // The pause between the tries waits in the system.
    const auto start = std::chrono::steady_clock::now();
    link.Pause(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

TEST_F(CommPortLinkTest, SendAndReadPassThrough) {
    device->answer = "abc";
    EXPECT_TRUE(link.Open({TLinePort("COM1"), 9600}));
    EXPECT_TRUE(
        link.SendString(std::string("\x01"
                                    "FPR",
                                    4)));
    EXPECT_EQ(device->written, std::string("\x01"
                                           "FPR",
                                           4));
    std::uint8_t buffer[300] = {};
    EXPECT_EQ(link.ReadData(buffer, 280), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");
    link.Close();
    // A closed port answers after a short pause, which keeps the exchange's attempts from
    // asking again and again at full speed.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link.ReadData(buffer, 280), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5));
    EXPECT_FALSE(link.SendString("x"));
}

}  // namespace
}  // namespace virel::app
