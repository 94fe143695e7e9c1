#include "bench.h"

#include "clock.h"
#include "port_errors.h"
#include "simulated_port.h"

namespace sim {

Adapter& Bench::Add(const std::string& name, AdapterConfig config) {
  auto found = adapters_.find(name);
  if (found != adapters_.end()) {
    found->second = Adapter(std::move(config));
    return found->second;
  }
  return adapters_.emplace(name, Adapter(std::move(config))).first->second;
}

bool Bench::Has(const std::string& name) const { return adapters_.count(name) != 0; }

Adapter& Bench::adapter(const std::string& name) { return adapters_.at(name); }

const Adapter& Bench::adapter(const std::string& name) const { return adapters_.at(name); }

std::vector<std::string> Bench::names() const {
  std::vector<std::string> result;
  for (const auto& entry : adapters_) result.push_back(entry.first);
  return result;
}

void Bench::Plug(const std::string& name) {
  if (!Has(name)) return;
  plugged_ = name;
}

void Bench::Unplug() { plugged_.clear(); }

Adapter* Bench::PluggedAdapter() {
  if (plugged_.empty()) return nullptr;
  return &adapters_.at(plugged_);
}

void Bench::PressResetButton() {
  if (Adapter* adapter = PluggedAdapter()) adapter->PressResetButton();
}

void Bench::PressResetButton(const std::string& name) {
  if (Has(name)) adapter(name).PressResetButton();
}

std::string Bench::HostSends(uint8_t byte, const platform::LineSettings& host) {
  sent_.push_back(SentByte{platform::CurrentClock().MonotonicMs(), byte, host, plugged_});
  Adapter* adapter = PluggedAdapter();
  return adapter != nullptr ? adapter->Receive(byte, host) : std::string();
}

void Bench::HostConfigures(const platform::LineSettings& settings) {
  configurations_.push_back(HostConfiguration{platform::CurrentClock().MonotonicMs(), settings});
}

std::unique_ptr<platform::SerialDevice> Bench::Open(int* error) {
  int failure = 0;
  if (vanished_) {
    failure = kPortOpenMissing;
  } else if (portOpen_) {
    failure = kPortOpenBusy;
  }
  if (failure != 0) {
    if (error != nullptr) *error = failure;
    return nullptr;
  }
  portOpen_ = true;
  return std::make_unique<SimulatedPort>(*this);
}

std::string Bench::SentText() const {
  std::string text;
  for (const SentByte& sent : sent_) text += static_cast<char>(sent.byte);
  return text;
}

std::string Bench::SentText(const std::string& adapter) const {
  std::string text;
  for (const SentByte& sent : sent_) {
    if (sent.adapter == adapter) text += static_cast<char>(sent.byte);
  }
  return text;
}

}  // namespace sim
