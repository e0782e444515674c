#include "modemmanager/modem_manager_service.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>
#include <vector>

#include "modemmanager/mm_mapping.h"
#include "platform/posix/port_names.h"

namespace tessivo {
namespace {

constexpr const char* kService = "org.freedesktop.ModemManager1";
constexpr const char* kRoot = "/org/freedesktop/ModemManager1";
constexpr const char* kModemInterface = "org.freedesktop.ModemManager1.Modem";
constexpr const char* k3gppInterface = "org.freedesktop.ModemManager1.Modem.Modem3gpp";
constexpr const char* kSimInterface = "org.freedesktop.ModemManager1.Sim";
// A bound in milliseconds as sd-bus takes it; never 0, which sd-bus reads as
// its own default of 25 s.
uint64_t Microseconds(unsigned ms) {
  return (ms == 0 ? 1ull : static_cast<uint64_t>(ms)) * 1000;
}
// How long a modem ModemManager is still setting up may take to tell the
// state of its SIM.
constexpr int kSettleTries = 25;
constexpr auto kSettlePause = std::chrono::milliseconds(200);

// One connection to the system bus; closed with the object.
class Bus {
 public:
  Bus() {
    if (sd_bus_open_system(&bus_) < 0) bus_ = nullptr;
  }
  ~Bus() { sd_bus_flush_close_unref(bus_); }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  explicit operator bool() const { return bus_ != nullptr; }
  sd_bus* get() const { return bus_; }

  // Whether ModemManager runs: asked of the bus itself, so a stopped
  // service is not started by the question.
  bool ServiceRuns(uint64_t timeoutUs) {
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int owned = 0;
    int r = sd_bus_message_new_method_call(bus_, &call, "org.freedesktop.DBus",
                                           "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                           "NameHasOwner");
    if (r >= 0) r = sd_bus_message_append(call, "s", kService);
    if (r >= 0) r = sd_bus_call(bus_, call, timeoutUs, &error, &reply);
    if (r >= 0 && sd_bus_message_read(reply, "b", &owned) < 0) owned = 0;
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_error_free(&error);
    return r >= 0 && owned;
  }

 private:
  sd_bus* bus_ = nullptr;
};

// A method call on ModemManager that never starts it, with the error's name
// kept for the caller.
struct CallResult {
  sd_bus_message* reply = nullptr;
  std::string errorName;
  int r = 0;
  ~CallResult() { sd_bus_message_unref(reply); }
};

template <typename... Args>
void Call(Bus& bus, uint64_t timeoutUs, const std::string& path, const char* interface,
          const char* method, CallResult& result, bool sensitive, const char* types,
          Args... args) {
  sd_bus_message* call = nullptr;
  result.r = sd_bus_message_new_method_call(bus.get(), &call, kService, path.c_str(), interface,
                                            method);
  if (result.r >= 0) result.r = sd_bus_message_set_auto_start(call, 0);
  // The arguments may hold the PIN: sd-bus then erases the message's memory
  // when it frees it.
  if (result.r >= 0 && sensitive) result.r = sd_bus_message_sensitive(call);
  if (result.r >= 0 && types) result.r = sd_bus_message_append(call, types, args...);
  if (result.r >= 0) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    result.r = sd_bus_call(bus.get(), call, timeoutUs, &error, &result.reply);
    if (result.r < 0 && error.name) result.errorName = error.name;
    sd_bus_error_free(&error);
  }
  sd_bus_message_unref(call);
}

// Reads one property value (the variant) into the modem where it is one
// Tessivo needs, and skips it otherwise.
int ReadProperty(sd_bus_message* m, const std::string& interface, const char* name,
                 mm::ModemProperties& modem) {
  const std::string property = name;
  auto enter = [m](const char* contents) {
    return sd_bus_message_enter_container(m, SD_BUS_TYPE_VARIANT, contents);
  };
  int r = 0;
  if (interface == kModemInterface && property == "Ports") {
    if ((r = enter("a(su)")) < 0) return r;
    if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "(su)")) < 0) return r;
    const char* port = nullptr;
    uint32_t type = 0;
    while ((r = sd_bus_message_read(m, "(su)", &port, &type)) > 0) modem.ports.emplace_back(port, type);
    if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0) return r;
    return sd_bus_message_exit_container(m);
  }
  if (interface == kModemInterface && property == "UnlockRetries") {
    if ((r = enter("a{uu}")) < 0) return r;
    if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{uu}")) < 0) return r;
    uint32_t lock = 0, tries = 0;
    while ((r = sd_bus_message_read(m, "{uu}", &lock, &tries)) > 0) {
      modem.unlockRetries[lock] = tries;
    }
    if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0) return r;
    return sd_bus_message_exit_container(m);
  }
  const char* text = nullptr;
  std::string* textProperty = nullptr;
  if (interface == kModemInterface) {
    if (property == "Sim") textProperty = &modem.sim;
    if (property == "PrimaryPort") textProperty = &modem.primaryPort;
    if (property == "Manufacturer") textProperty = &modem.manufacturer;
    if (property == "Model") textProperty = &modem.model;
  }
  if (textProperty) {
    const char* type = property == "Sim" ? "o" : "s";
    if ((r = enter(type)) < 0 || (r = sd_bus_message_read_basic(m, type[0], &text)) < 0) return r;
    *textProperty = text;
    return sd_bus_message_exit_container(m);
  }
  uint32_t* u = nullptr;
  if (interface == kModemInterface && property == "UnlockRequired") u = &modem.unlockRequired;
  if (interface == kModemInterface && property == "StateFailedReason") u = &modem.failedReason;
  if (interface == k3gppInterface && property == "EnabledFacilityLocks") {
    u = &modem.enabledFacilityLocks;
    modem.hasFacilityLocks = true;
  }
  if (u) {
    if ((r = enter("u")) < 0 || (r = sd_bus_message_read_basic(m, 'u', u)) < 0) return r;
    return sd_bus_message_exit_container(m);
  }
  if (interface == kModemInterface && property == "State") {
    if ((r = enter("i")) < 0 || (r = sd_bus_message_read_basic(m, 'i', &modem.state)) < 0) return r;
    return sd_bus_message_exit_container(m);
  }
  return sd_bus_message_skip(m, "v");
}

// Every modem ModemManager has, from one GetManagedObjects call
// (a{oa{sa{sv}}}), in the order it lists them; nothing when ModemManager did
// not answer.
std::optional<std::vector<mm::ModemProperties>> ReadModems(Bus& bus, uint64_t timeoutUs) {
  std::vector<mm::ModemProperties> modems;
  CallResult call;
  Call(bus, timeoutUs, kRoot, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", call,
       false, nullptr);
  if (call.r < 0) return std::nullopt;
  sd_bus_message* m = call.reply;
  auto fail = [&modems] {
    modems.clear();
    return modems;
  };
  if (sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{oa{sa{sv}}}") < 0) return fail();
  int r;
  while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "oa{sa{sv}}")) > 0) {
    mm::ModemProperties modem;
    const char* path = nullptr;
    if (sd_bus_message_read_basic(m, 'o', &path) < 0) return fail();
    modem.path = path;
    if (sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sa{sv}}") < 0) return fail();
    bool isModem = false;
    while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sa{sv}")) > 0) {
      const char* interface = nullptr;
      if (sd_bus_message_read_basic(m, 's', &interface) < 0) return fail();
      const std::string iface = interface;
      isModem = isModem || iface == kModemInterface;
      if (sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sv}") < 0) return fail();
      while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv")) > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read_basic(m, 's', &name) < 0) return fail();
        if (ReadProperty(m, iface, name, modem) < 0) return fail();
        if (sd_bus_message_exit_container(m) < 0) return fail();
      }
      if (r < 0 || sd_bus_message_exit_container(m) < 0) return fail();  // {sv}
      if (sd_bus_message_exit_container(m) < 0) return fail();           // sa{sv}
    }
    if (r < 0 || sd_bus_message_exit_container(m) < 0) return fail();  // {sa{sv}}
    if (sd_bus_message_exit_container(m) < 0) return fail();           // oa{...}
    if (isModem) modems.push_back(std::move(modem));
  }
  if (r < 0) return fail();
  return modems;
}

// The modem at `path`: nothing inside when ModemManager does not have it
// (any more); nothing at all when it did not answer.
std::optional<std::optional<mm::ModemProperties>> ModemByPath(Bus& bus, uint64_t timeoutUs,
                                                              const std::string& path) {
  auto modems = ReadModems(bus, timeoutUs);
  if (!modems) return std::nullopt;
  for (auto& modem : *modems) {
    if (modem.path == path) return std::optional<mm::ModemProperties>(std::move(modem));
  }
  return std::optional<mm::ModemProperties>();
}

class ManagedByModemManager : public ManagedModem {
 public:
  ManagedByModemManager(std::string path, uint64_t boundUs)
      : path_(std::move(path)), boundUs_(boundUs) {}

  // A modem ModemManager is still setting up is asked again for a few
  // seconds, so a start right after plugging in does not read as "no SIM".
  ServiceSimState SimState() override {
    Bus bus;
    for (int attempt = 0; bus && bus.ServiceRuns(boundUs_); ++attempt) {
      const auto modem = ModemByPath(bus, boundUs_, path_);
      if (!modem) return ServiceSimState::NoAnswer;
      if (!*modem) break;
      if (!mm::StillSettling(**modem) || attempt + 1 >= kSettleTries) {
        return mm::SimStateOf(**modem);
      }
      std::this_thread::sleep_for(kSettlePause);
    }
    return ServiceSimState::NoSim;
  }

  // One look, without waiting: the caller looks again.
  ServiceSimState SimStateNow() override {
    Bus bus;
    if (!bus || !bus.ServiceRuns(boundUs_)) return ServiceSimState::NoSim;
    const auto modem = ModemByPath(bus, boundUs_, path_);
    if (!modem) return ServiceSimState::NoAnswer;
    return *modem ? mm::SimStateNowOf(**modem) : ServiceSimState::NoSim;
  }

  std::optional<unsigned> PinTriesLeft() override {
    const auto tries = Tries();
    return tries ? tries->first : std::nullopt;
  }

  std::optional<std::pair<std::optional<unsigned>, std::optional<unsigned>>> Tries() override {
    Bus bus;
    if (!bus || !bus.ServiceRuns(boundUs_)) return std::nullopt;
    const auto modem = ModemByPath(bus, boundUs_, path_);
    if (!modem || !*modem) return std::nullopt;
    return std::make_pair(mm::PinTriesOf(**modem), mm::PukTriesOf(**modem));
  }

  ServiceReply SendPin(const std::string& pin) override {
    return OnSim([&pin](Bus& bus, const std::string& sim, CallResult& call) {
      Call(bus, Microseconds(kServicePasswordCallMs), sim, kSimInterface, "SendPin", call, true,
           "s", pin.c_str());
    });
  }

  // Also while the SIM waits for its PIN: ModemManager asks the SIM's state
  // again afterwards, so it sees the unlock that comes with switching the
  // request off.
  ServiceReply SwitchPinRequest(const std::string& pin, bool on) override {
    return OnSim([&pin, on](Bus& bus, const std::string& sim, CallResult& call) {
      Call(bus, Microseconds(kServicePasswordCallMs), sim, kSimInterface, "EnablePin", call, true,
           "sb", pin.c_str(), on ? 1 : 0);
    });
  }

  ServiceReply SendPuk(const std::string& puk, const std::string& newPin) override {
    return OnSim([&puk, &newPin](Bus& bus, const std::string& sim, CallResult& call) {
      Call(bus, Microseconds(kServicePasswordCallMs), sim, kSimInterface, "SendPuk", call, true,
           "ss", puk.c_str(), newPin.c_str());
    });
  }

  ServiceReply ChangePin(const std::string& oldPin, const std::string& newPin) override {
    return OnSim([&oldPin, &newPin](Bus& bus, const std::string& sim, CallResult& call) {
      Call(bus, Microseconds(kServicePasswordCallMs), sim, kSimInterface, "ChangePin", call,
           true, "ss", oldPin.c_str(), newPin.c_str());
    });
  }

  std::pair<std::string, std::string> MakerAndModel() override {
    Bus bus;
    if (!bus || !bus.ServiceRuns(boundUs_)) return {};
    const auto modem = ModemByPath(bus, boundUs_, path_);
    if (!modem || !*modem) return {};
    return {(*modem)->manufacturer, (*modem)->model};
  }

 private:
  // Before the password goes out, ModemManager must answer within the bound;
  // a modem it has dropped meanwhile is one the password never reached.
  template <typename Command>
  ServiceReply OnSim(const Command& command) {
    Bus bus;
    if (!bus || !bus.ServiceRuns(boundUs_)) return ServiceReply::Unreached;
    const auto modem = ModemByPath(bus, boundUs_, path_);
    if (!modem || !*modem) return ServiceReply::Unreached;
    const std::string& sim = (*modem)->sim;
    if (sim.empty() || sim == "/") return ServiceReply::WrongState;
    CallResult call;
    command(bus, sim, call);
    return mm::ReplyForError(call.errorName, call.r);
  }

  std::string path_;
  uint64_t boundUs_;
};

const char* PortDirectory() {
  return std::getenv("TESSIVO_PORT_DIR");
}

}  // namespace

std::optional<std::string> KernelNameOfPort(const std::string& portName) {
  const auto path = DevicePathForPort(portName, PortDirectory());
  if (!path) return std::nullopt;
  char resolved[PATH_MAX];
  if (!realpath(path->c_str(), resolved)) return std::nullopt;
  return mm::KernelName(resolved);
}

ServiceLookup ModemManagerService::Find(const std::string& portName, unsigned boundMs,
                                        std::unique_ptr<ManagedModem>& found) {
  found.reset();
  // The port name first: a name with no device costs no bus connection.
  const auto kernelName = KernelNameOfPort(portName);
  if (!kernelName) return ServiceLookup::NotManaged;
  Bus bus;
  if (!bus || !bus.ServiceRuns(Microseconds(boundMs))) return ServiceLookup::NotManaged;
  const auto modems = ReadModems(bus, Microseconds(boundMs));
  if (!modems) return ServiceLookup::NoAnswer;
  for (const auto& modem : *modems) {
    for (const auto& [port, type] : modem.ports) {
      if (port != *kernelName) continue;
      found = std::make_unique<ManagedByModemManager>(modem.path, Microseconds(boundMs));
      return ServiceLookup::Managed;
    }
  }
  return ServiceLookup::NotManaged;
}

std::optional<std::string> ModemManagerService::ManagedPortName() {
  Bus bus;
  const uint64_t bound = Microseconds(kServiceQuestionMs);
  if (!bus || !bus.ServiceRuns(bound)) return std::nullopt;
  // The first modem by its number (/org/.../Modem/3 before .../Modem/12),
  // not in the order the bus happens to list them.
  auto modems = ReadModems(bus, bound).value_or(std::vector<mm::ModemProperties>{});
  std::sort(modems.begin(), modems.end(), [](const auto& a, const auto& b) {
    return a.path.size() != b.path.size() ? a.path.size() < b.path.size() : a.path < b.path;
  });
  for (const auto& modem : modems) {
    if (modem.primaryPort.empty()) continue;
    constexpr int kLastComPort = 99;
    for (int n = 1; n <= kLastComPort; ++n) {
      const std::string name = "COM" + std::to_string(n);
      if (KernelNameOfPort(name) == modem.primaryPort) return name;
    }
  }
  return std::nullopt;
}

ModemManagerService& TheModemManagerService() {
  static ModemManagerService service;
  return service;
}

}  // namespace tessivo
