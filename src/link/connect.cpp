#include "link/connect.h"

#include <cstdlib>
#include <string>

#include "core/log.h"
#include "core/shutdown.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "link/port_report.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr int kLastPortNumber = 32;
constexpr const char* kBanner = "BUSLINK V2.0";
// A port that keeps sending is not the adapter; stop reading after a full input buffer.
constexpr int kBannerReadLimit = kLinkInputBufferSize;
// An adapter the link lost may still be in a wait of its own on the IEC bus (for a drive that
// vanished in the middle of a transfer, at most 2 s) and take the banner request only when it
// is over: a reconnection asks again for that long before the adapter counts as gone.
constexpr int64_t kAdapterBusyUs = 2'500'000;
constexpr int kAskAgainMs = 100;

void EndIfCloseRequested(Program& p, const std::optional<DeskEvent>& event) {
  if (event && event->kind == EventKind::kCloseRequest) ShutDown(p);
}

std::string ReadBannerText(SerialPort& port) {
  std::string text;
  uint8_t byte = 0;
  for (int read = 0; read < kBannerReadLimit && port.BytesWaiting() > 0; ++read) {
    if (port.Read(&byte, 1) != 1) break;
    if (byte != 0) text.push_back(static_cast<char>(byte));
  }
  return text;
}

void ScanDrives(Program& p) {
  for (uint8_t device = 8; device <= 11; ++device) {
    p.CurrentDevice = device;
    DetectDriveModel(p);
    if (p.LinkState >= kLinkTimeout) {
      p.desk.ClearDevices();
      break;
    }
    if (StatusText(p, p.IecStatus, kIecStatusKind) == "OK") {
      LogLine(p, "Drive #" + std::to_string(device) + " present: " + p.DriveModelName);
      p.desk.AddDevice(std::to_string(device) + ": " + p.DriveModelName);
    }
  }
  if (p.desk.DeviceCount() > 0) p.desk.SelectDevice(0);
  p.CurrentDevice = p.desk.DeviceCount() > 0 ? DeviceNumberOf(p.desk.DeviceText(0)) : 0;
  if (p.CurrentDevice > 0) {
    p.LinkState = 0;
    ReadErrorChannel(p);
  }
}

// The adapter search of a reconnection: repeated, the window kept alive, while the adapter may
// still be busy.
bool FindBusyAdapter(Program& p) {
  const int64_t until = p.clock.NowUs() + kAdapterBusyUs;
  while (p.clock.NowUs() < until) {
    EndIfCloseRequested(p, p.desk.WaitEvent(kAskAgainMs));
    if (FindAdapter(p)) return true;
  }
  return false;
}

}  // namespace

uint8_t DeviceNumberOf(const std::string& item) {
  return static_cast<uint8_t>(std::atoi(item.c_str()));
}

bool FindAdapter(Program& p, std::vector<PortTrial>* tried) {
  p.LinkPort.reset();
  for (int number = 0; number <= kLastPortNumber; ++number) {
    PortTrial trial;
    std::unique_ptr<SerialPort> port = p.ports.OpenTelling(number, &trial);
    if (!port) {
      if (tried != nullptr && (!trial.port.empty() || !trial.device.empty())) {
        tried->push_back(trial);
      }
      continue;
    }
    p.LinkPort = std::move(port);
    SendBreakPulse(p);
    SendBreakPulse(p);
    p.clock.SleepMs(40);
    // A reply has at least two bytes; one byte or none is not the adapter.
    if (p.LinkPort->BytesWaiting() > 1 &&
        ReadBannerText(*p.LinkPort).find(kBanner) != std::string::npos) {
      LogLine(p, std::string(kBanner) + " found @ COM" + std::to_string(number));
      return true;
    }
    p.LinkPort.reset();
    if (tried != nullptr) {
      if (trial.port.empty() && trial.device.empty()) trial.port = "COM" + std::to_string(number);
      trial.fault = PortFault::kNoAnswer;
      tried->push_back(trial);
    }
  }
  return false;
}

void ConnectDrives(Program& p) {
  // An open link port: the adapter was found before, and this is a reconnection.
  bool reconnecting = p.LinkPort != nullptr;
  for (;;) {
    p.CurrentDevice = 0;
    p.LinkState = 0;
    p.desk.ReleaseReset();
    p.desk.ClearDevices();
    p.desk.ClearDirectory();
    p.desk.ClearLog();
    p.desk.ClearGcrPane();
    EndIfCloseRequested(p, p.desk.WaitEvent(10));

    std::vector<PortTrial> tried;
    if (!FindAdapter(p, &tried) && !(reconnecting && FindBusyAdapter(p))) {
      ShowInfoBox(p, NoAdapterText(tried));
      ShutDown(p);
    }
    reconnecting = true;
    LogLine(p, "RESET IEC Bus");
    ShowStatusText(p, "RESET IEC Bus");
    ResetBus(p);

    if (p.LinkState == 0 && p.IecStatus == 0) {
      ScanDrives(p);
    } else if (p.IecStatus == 0xFF) {
      LogLine(p, "Connect and power on all CBM Disk Drives");
    }

    if (p.desk.DeviceCount() > 0) {
      p.desk.SetDevicesEnabled(true);
    } else {
      p.desk.SetDevicesEnabled(false);
      // About 1.5 s before the next attempt; the window stays alive and can be closed.
      for (int pass = 0; pass < 100; ++pass) EndIfCloseRequested(p, p.desk.WaitEvent(15));
    }
    if (p.LinkState < kLinkTimeout && p.desk.DeviceCount() > 0) return;
  }
}

}  // namespace dw
