#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "link/connect.h"
#include "link_test_support.h"
#include "platform/port_names.h"
#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace dw {
namespace {

TEST(Connect, DrivesAtEightAndTenFillTheSelectorInOrder) {
  Harness h("8=1541-II,10=1581");
  h.Connect();
  EXPECT_EQ(h.desk.logTexts(), (std::vector<std::string>{
                                   "BUSLINK V2.0 found @ COM0",
                                   "RESET IEC Bus",
                                   "Drive #8 present: 1541-II",
                                   "Drive #9 ERROR! ---> IEC Bus: DEVICE NOT PRESENT",
                                   "Drive #10 present: 1581",
                                   "Drive #11 ERROR! ---> IEC Bus: DEVICE NOT PRESENT",
                                   "Welcome Diskwright user",
                               }));
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"8: 1541-II", "10: 1581"}));
  EXPECT_EQ(h.desk.SelectedDevice(), 0);
  EXPECT_TRUE(h.desk.devicesEnabled());
  EXPECT_EQ(h.program.CurrentDevice, 8);
  EXPECT_EQ(h.program.LinkState, 0);
  EXPECT_EQ(h.desk.statusTexts().front(), "RESET IEC Bus");
  // The connection ends with the drive's error channel, which reports no error.
  EXPECT_EQ(h.program.DosErrorFlag, 0);
  EXPECT_FALSE(h.desk.statusText().empty());
}

TEST(Connect, FirstPortWithTheBannerWins) {
  Harness h("");
  std::string error;
  auto first = sim::VirtualBus::FromDescription(
      "9=1571", [&] { return h.clock.NowUs(); }, &error);
  auto second = sim::VirtualBus::FromDescription(
      "8=1541", [&] { return h.clock.NowUs(); }, &error);
  h.ports.AttachSilent(0);
  h.ports.Attach(2, first.get());
  h.ports.Attach(5, second.get());
  h.Connect();
  EXPECT_EQ(h.desk.logTexts().front(), "BUSLINK V2.0 found @ COM2");
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"9: 1571"}));
  EXPECT_EQ(h.ports.openCount(5), 0);
}

// A port that has exactly one byte waiting after the BREAKs.
class OneBytePort final : public SerialPort {
 public:
  explicit OneBytePort(int* reads) : reads_(reads) {}
  int BytesWaiting() override { return 1; }
  int Read(uint8_t* buffer, int) override {
    ++*reads_;
    buffer[0] = 'B';
    return 1;
  }
  int Write(const uint8_t*, int count) override { return count; }
  void SetBreak(bool) override {}

 private:
  int* reads_;
};

class OneByteThenBus final : public PortOpener {
 public:
  explicit OneByteThenBus(sim::VirtualBus* bus) : bus_(bus) {}
  std::unique_ptr<SerialPort> Open(int number) override {
    if (number == 0) return std::make_unique<OneBytePort>(&reads);
    if (number == 1) return bus_->OpenPort();
    return nullptr;
  }
  int reads = 0;

 private:
  sim::VirtualBus* bus_;
};

TEST(Connect, PortAnsweringOneByteIsSkippedUnread) {
  VirtualClock clock;
  ScriptedDesk desk(clock);
  std::string error;
  auto bus = sim::VirtualBus::FromDescription(
      "8=1541", [&] { return clock.NowUs(); }, &error);
  ASSERT_TRUE(bus) << error;
  OneByteThenBus ports(bus.get());
  Program p(desk, clock, ports);
  ASSERT_TRUE(FindAdapter(p));
  EXPECT_EQ(ports.reads, 0);
  EXPECT_EQ(desk.logTexts().front(), "BUSLINK V2.0 found @ COM1");
}

TEST(Connect, NoAdapterEndsTheProgramWithAMessage) {
  Harness h("");
  h.Run();
  ASSERT_EQ(h.desk.messages().size(), 1u);
  EXPECT_EQ(h.desk.messages()[0].request.caption, "Diskwright");
  EXPECT_EQ(h.desk.messages()[0].request.text.rfind("BUSLINK V2.0 hardware not present!\r\n", 0),
            0u);
  EXPECT_NE(h.desk.messages()[0].request.text.find("Ports tried: none"), std::string::npos);
  EXPECT_TRUE(h.desk.closed());
  EXPECT_FALSE(h.desk.Logged("Welcome Diskwright user"));
}

// The ports of DISKWRIGHT_COM0..2 for one test: a device this user may not open, a device that
// is not there, and a virtual port on which nothing answers.
class PortsForTheReport {
 public:
  PortsForTheReport() {
    std::ofstream(denied_) << "";
    const group* dialout = getgrnam("dialout");
    if (dialout == nullptr || chown(denied_.c_str(), 0, dialout->gr_gid) != 0 ||
        chmod(denied_.c_str(), 0660) != 0) {
      denied_.clear();
    }
    setenv("DISKWRIGHT_COM0", denied_.c_str(), 1);
    setenv("DISKWRIGHT_COM1", missing_.c_str(), 1);
    setenv("DISKWRIGHT_COM2", "sim:nothing", 1);
  }
  ~PortsForTheReport() {
    for (const char* name : {"DISKWRIGHT_COM0", "DISKWRIGHT_COM1", "DISKWRIGHT_COM2"}) {
      unsetenv(name);
    }
  }
  // "" when the machine has no group "dialout" to give the device.
  const std::string& denied() const { return denied_; }
  const std::string& missing() const { return missing_; }

 private:
  TempFolder folder_{"ports"};
  std::string denied_ = folder_ / "ttyUSB0";
  std::string missing_ = folder_ / "ttyACM0";
};

TEST(Connect, NoAdapterBoxTellsEachPortTriedAndWhyItIsNotTheLink) {
  // The program must run as a user outside the device's group, which only root can arrange.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as a user outside the group";
  PortsForTheReport ports;
  if (ports.denied().empty()) GTEST_SKIP() << "the machine has no group \"dialout\"";
  std::unique_ptr<PortOpener> opener =
      MakePortOpener([](const std::string&) { return std::make_unique<SilentPort>(); });
  VirtualClock clock;
  ScriptedDesk desk(clock);
  Program p(desk, clock, *opener);
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(setegid(kNobody), 0);
  ASSERT_EQ(seteuid(kNobody), 0);
  try {
    ConnectDrives(p);
  } catch (const ProgramEnded&) {
  }
  ASSERT_EQ(seteuid(0), 0);
  ASSERT_EQ(setegid(0), 0);

  ASSERT_EQ(desk.messages().size(), 1u);
  const std::string& text = desk.messages()[0].request.text;
  EXPECT_TRUE(desk.closed());
  const std::string expected[] = {
      "BUSLINK V2.0 hardware not present!\r\n\r\nPorts tried:\r\n",
      "COM0 (" + ports.denied() + "): permission denied\r\n",
      "COM1 (" + ports.missing() + "): missing\r\n",
      "COM2 (sim:nothing): no answer (no BUSLINK V2.0 adapter on it)\r\n",
      "Only members of the group \"dialout\" may open " + ports.denied() +
          ": add your user to it (sudo usermod -aG dialout $USER), then log out and in again.",
      "set DISKWRIGHT_COM0=sim:8=1541-II+ for the window, or call diskwright-cli --port "
      "sim:8=1541-II+",
  };
  for (const std::string& part : expected) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\nin\n" << text;
  }
}

TEST(Connect, WithNoDrivePoweredTheCycleRepeatsUntilTheWindowCloses) {
  Harness h("8=1541:off");
  // A close request that comes during the adapter search is dropped by the log line that
  // follows it, as in the window; the user's second click ends the program.
  h.desk.ScheduleEvent(10'000'000, {EventKind::kCloseRequest, 0});
  h.desk.ScheduleEvent(10'200'000, {EventKind::kCloseRequest, 0});
  h.Run();
  EXPECT_TRUE(h.desk.closed());
  int resets = 0;
  int powerPrompts = 0;
  for (const std::string& text : h.desk.fullLogTexts()) {
    resets += text == "RESET IEC Bus";
    powerPrompts += text == "Connect and power on all CBM Disk Drives";
    EXPECT_NE(text, "Welcome Diskwright user");
  }
  // About every 1.5 s of virtual time plus the scan: six or seven cycles in ten seconds.
  EXPECT_GE(resets, 5);
  EXPECT_LE(resets, 7);
  // The window may close between the reset and its report.
  EXPECT_GE(powerPrompts, resets - 1);
  EXPECT_LE(powerPrompts, resets);
  // Every cycle starts the log afresh.
  EXPECT_EQ(h.desk.logTexts().front(), "BUSLINK V2.0 found @ COM0");
}

// After a time-out the adapter may still be in a long wait on the IEC bus of its own and see the
// banner request up to 2 s late: the reconnection asks again until then, and finds it.
TEST(Connect, AReconnectionFindsAnAdapterStillBusyOnTheBus) {
  Harness h("8=1541-II");
  ASSERT_TRUE(h.bus->InjectAt(2'000'000, {sim::FaultKind::kSilentReply}));
  ASSERT_TRUE(h.bus->InjectAt(2'000'000, {sim::FaultKind::kBusWait, 0, 0, 0.5, 2'000'000}));
  h.desk.QueueIdleEvent({EventKind::kCommand, kCmdErrorInfo}, 2'000'000);
  h.Run();
  EXPECT_TRUE(h.desk.messages().empty());
  EXPECT_TRUE(h.desk.Logged("Connection Timeout"));
  EXPECT_EQ(h.desk.logTexts().front(), "BUSLINK V2.0 found @ COM0");
  EXPECT_TRUE(h.desk.Logged("Welcome Diskwright user"));
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"8: 1541-II"}));
}

TEST(Connect, DriveSwitchedOnLaterIsFoundByTheNextCycle) {
  Harness h("8=1541-C:off");
  ASSERT_TRUE(h.bus->InjectAt(4'000'000, {sim::FaultKind::kPowerOn, 8}));
  h.Connect();
  EXPECT_EQ(h.desk.devices(), (std::vector<std::string>{"8: 1541-C"}));
  EXPECT_GE(h.clock.NowUs(), 4'000'000);
}

}  // namespace
}  // namespace dw
