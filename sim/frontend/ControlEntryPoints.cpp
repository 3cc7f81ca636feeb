// The belcor_sim_* control and observation interface. Calls that name no
// programmer act on the first one.
#include "frontend/SimulatorInstance.h"

#include "model/Scenario.h"
#include "model/SpiFlashChip.h"

#include "belcor_sim.h"

#include <algorithm>
#include <cstring>

#define BELCOR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::mutex lastErrorMutex;
std::string lastError;

bool spanInside(const Chip* chip, uint32_t address, uint32_t length)
{
    return chip && address <= chip->spec().size && length <= chip->spec().size - address;
}

// Runs `body` on programmer `number` with its device locked and its feeder
// brought up to date; `failure` when there is no such programmer.
template <typename Result, typename Body>
Result onProgrammer(int number, Result failure, Body&& body) noexcept
{
    return callSafely(failure, [&]() -> Result {
        const auto world = shareWorld();
        Simulator& sim = simulator();
        const int index = sim.programmerIndex(number);
        if (index < 0)
            return failure;
        SimDevice& device = sim.device(size_t(index));
        const std::lock_guard lock(device.mutex);
        sim.updateDevice(device);
        return body(device);
    });
}

template <typename Body>
void onProgrammer(int number, Body&& body) noexcept
{
    onProgrammer(number, 0, [&](SimDevice& device) {
        body(device);
        return 0;
    });
}
}

BELCOR_EXPORT void belcor_sim_reset(void)
{
    callSafely([] {
        const auto world = holdWorld();
        simulator().reset();
    });
}

BELCOR_EXPORT int belcor_sim_programmer_count(void)
{
    return callSafely(0, [] {
        const auto world = shareWorld();
        int count = 0;
        while (simulator().programmerIndex(count + 1) >= 0)
            ++count;
        return count;
    });
}

BELCOR_EXPORT void belcor_sim_set_plugged_at(int programmer, int plugged)
{
    callSafely([=] {
        const auto world = shareWorld();
        const int index = simulator().programmerIndex(programmer);
        if (index >= 0)
            simulator().setPlugged(size_t(index), plugged != 0);
    });
}

BELCOR_EXPORT void belcor_sim_set_plugged(int plugged)
{
    belcor_sim_set_plugged_at(1, plugged);
}

BELCOR_EXPORT int belcor_sim_is_plugged_at(int programmer)
{
    return callSafely(0, [=] {
        const auto world = shareWorld();
        const int index = simulator().programmerIndex(programmer);
        return index >= 0 && simulator().isPlugged(size_t(index)) ? 1 : 0;
    });
}

BELCOR_EXPORT int belcor_sim_is_plugged(void)
{
    return belcor_sim_is_plugged_at(1);
}

BELCOR_EXPORT int belcor_sim_add_device(int kind)
{
    return callSafely(-1, [=] {
        const auto world = holdWorld();
        return kind == Simulator::kProgrammer ? -1 : simulator().addDevice(kind);
    });
}

BELCOR_EXPORT int belcor_sim_device_was_opened(int index)
{
    return callSafely(0, [=] {
        const auto world = shareWorld();
        Simulator& sim = simulator();
        return index >= 0 && size_t(index) < sim.deviceCount() && sim.device(size_t(index)).opens > 0 ? 1 : 0;
    });
}

BELCOR_EXPORT int belcor_sim_device_open_count(int index)
{
    return callSafely(0, [=] {
        const auto world = shareWorld();
        Simulator& sim = simulator();
        return index >= 0 && size_t(index) < sim.deviceCount() ? int(sim.device(size_t(index)).opens) : 0;
    });
}

BELCOR_EXPORT int belcor_sim_device_was_claimed(int index)
{
    return callSafely(0, [=] {
        const auto world = shareWorld();
        Simulator& sim = simulator();
        return index >= 0 && size_t(index) < sim.deviceCount() && sim.device(size_t(index)).wasClaimed ? 1 : 0;
    });
}

BELCOR_EXPORT int belcor_sim_seat_chip_at(int programmer, const struct belcor_sim_chip* chip)
{
    return onProgrammer(programmer, -1, [=](SimDevice& device) {
        if (!chip)
            return -1;
        std::unique_ptr<Chip> seated = Chip::create(ChipSpec{chip->chip_class, chip->jedec_id, chip->size, chip->page_size});
        if (!seated)
            return -1;
        device.programmer->seatChip(std::move(seated));
        return 0;
    });
}

BELCOR_EXPORT int belcor_sim_seat_chip(const struct belcor_sim_chip* chip)
{
    return belcor_sim_seat_chip_at(1, chip);
}

BELCOR_EXPORT void belcor_sim_remove_chip_at(int programmer)
{
    onProgrammer(programmer, [](SimDevice& device) { device.programmer->removeChip(); });
}

BELCOR_EXPORT void belcor_sim_remove_chip(void)
{
    belcor_sim_remove_chip_at(1);
}

BELCOR_EXPORT int belcor_sim_chip_is_seated_at(int programmer)
{
    return onProgrammer(programmer, 0, [](SimDevice& device) { return device.programmer->chip() ? 1 : 0; });
}

BELCOR_EXPORT int belcor_sim_chip_is_seated(void)
{
    return belcor_sim_chip_is_seated_at(1);
}

BELCOR_EXPORT int belcor_sim_chip_write_at(int programmer, uint32_t address, const uint8_t* data, uint32_t length)
{
    return onProgrammer(programmer, -1, [=](SimDevice& device) {
        Chip* chip = device.programmer->chip();
        if (!spanInside(chip, address, length) || (length && !data))
            return -1;
        std::copy(data, data + length, chip->cells() + address);
        return int(length);
    });
}

BELCOR_EXPORT int belcor_sim_chip_write(uint32_t address, const uint8_t* data, uint32_t length)
{
    return belcor_sim_chip_write_at(1, address, data, length);
}

BELCOR_EXPORT int belcor_sim_chip_read_at(int programmer, uint32_t address, uint8_t* data, uint32_t length)
{
    return onProgrammer(programmer, -1, [=](SimDevice& device) {
        const Chip* chip = device.programmer->chip();
        if (!spanInside(chip, address, length) || (length && !data))
            return -1;
        std::copy(chip->cells() + address, chip->cells() + address + length, data);
        return int(length);
    });
}

BELCOR_EXPORT int belcor_sim_chip_read(uint32_t address, uint8_t* data, uint32_t length)
{
    return belcor_sim_chip_read_at(1, address, data, length);
}

BELCOR_EXPORT void belcor_sim_set_erase_time_ms_at(int programmer, uint32_t milliseconds)
{
    onProgrammer(programmer, [=](SimDevice& device) { device.programmer->setEraseTimeMs(milliseconds); });
}

BELCOR_EXPORT void belcor_sim_set_erase_time_ms(uint32_t milliseconds)
{
    belcor_sim_set_erase_time_ms_at(1, milliseconds);
}

BELCOR_EXPORT void belcor_sim_set_write_protect_pin_at(int programmer, int low)
{
    onProgrammer(programmer, [=](SimDevice& device) { device.programmer->setWriteProtectLow(low != 0); });
}

BELCOR_EXPORT void belcor_sim_set_write_protect_pin(int low)
{
    belcor_sim_set_write_protect_pin_at(1, low);
}

BELCOR_EXPORT int belcor_sim_chip_set_status(uint8_t value)
{
    return onProgrammer(1, -1, [=](SimDevice& device) {
        Chip* chip = device.programmer->chip();
        if (!chip || chip->spec().chipClass != 0)
            return -1;
        static_cast<SpiFlashChip*>(chip)->setStatusRegister(value);
        return 0;
    });
}

BELCOR_EXPORT uint64_t belcor_sim_now_ms(void)
{
    return simulator().clock().nowMs();
}

BELCOR_EXPORT void belcor_sim_advance_ms(uint32_t milliseconds)
{
    callSafely([=] {
        const auto world = shareWorld();
        simulator().clock().advance(milliseconds);
        simulator().update();
    });
}

BELCOR_EXPORT void belcor_sim_set_transfer_rate_at(int programmer, uint32_t bytes_per_ms)
{
    onProgrammer(programmer, [=](SimDevice& device) { device.throttle.setRate(bytes_per_ms); });
}

BELCOR_EXPORT void belcor_sim_set_transfer_rate(uint32_t bytes_per_ms)
{
    belcor_sim_set_transfer_rate_at(1, bytes_per_ms);
}

BELCOR_EXPORT void belcor_sim_inject_fault_at(int programmer, int fault, uint32_t after)
{
    onProgrammer(programmer, [=](SimDevice& device) {
        FaultPlan& faults = device.faults;
        switch (fault) {
        case BELCOR_SIM_LOSE_REPLY:
            faults.loseReplyAfter(after);
            break;
        case BELCOR_SIM_UNPLUG:
            faults.unplugAfter(after);
            break;
        case BELCOR_SIM_STUCK_BIT:
            faults.setStuckBit(after);
            break;
        case BELCOR_SIM_FLIP_READ_BIT:
            faults.setFlippedReadBit(after);
            break;
        default:
            break;
        }
    });
}

BELCOR_EXPORT void belcor_sim_inject_fault(int fault, uint32_t after)
{
    belcor_sim_inject_fault_at(1, fault, after);
}

BELCOR_EXPORT void belcor_sim_clear_faults(void)
{
    callSafely([] {
        const auto world = shareWorld();
        Simulator& sim = simulator();
        for (size_t index = 0; index < sim.deviceCount(); ++index) {
            SimDevice& device = sim.device(index);
            const std::lock_guard lock(device.mutex);
            device.faults.clear();
        }
    });
}

BELCOR_EXPORT void belcor_sim_set_feeder_at(int programmer, int enabled, uint32_t pause_ms)
{
    onProgrammer(programmer, [=](SimDevice& device) {
        device.feeder.setEnabled(enabled != 0, pause_ms, simulator().clock().nowMs());
    });
}

BELCOR_EXPORT void belcor_sim_set_feeder(int enabled, uint32_t pause_ms)
{
    belcor_sim_set_feeder_at(1, enabled, pause_ms);
}

BELCOR_EXPORT uint32_t belcor_sim_feeder_done_count_at(int programmer)
{
    return onProgrammer(programmer, 0u, [](SimDevice& device) { return device.feeder.doneCount(); });
}

BELCOR_EXPORT uint32_t belcor_sim_feeder_done_count(void)
{
    return belcor_sim_feeder_done_count_at(1);
}

BELCOR_EXPORT int belcor_sim_is_feeder_on_at(int programmer)
{
    return onProgrammer(programmer, 0, [](SimDevice& device) { return device.feeder.isEnabled() ? 1 : 0; });
}

BELCOR_EXPORT int belcor_sim_is_feeder_on(void)
{
    return belcor_sim_is_feeder_on_at(1);
}

BELCOR_EXPORT size_t belcor_sim_transcript_size(void)
{
    return simulator().transcript().size();
}

BELCOR_EXPORT int belcor_sim_transcript_get(size_t index, struct belcor_sim_event* event)
{
    return event && simulator().transcript().at(index, *event) ? 0 : -1;
}

BELCOR_EXPORT void belcor_sim_transcript_clear(void)
{
    simulator().transcript().clear();
}

BELCOR_EXPORT void belcor_sim_set_transcript_enabled(int enabled)
{
    simulator().transcript().setDataEnabled(enabled != 0);
}

BELCOR_EXPORT size_t belcor_sim_protocol_error_count(void)
{
    return simulator().log().size();
}

BELCOR_EXPORT const char* belcor_sim_protocol_error(size_t index)
{
    const ProtocolLog& log = simulator().log();
    return index < log.size() ? log.at(index).c_str() : nullptr;
}

BELCOR_EXPORT void belcor_sim_set_hotplug_callback(belcor_sim_hotplug_callback callback, void* context)
{
    simulator().setHotplugCallback(callback, context);
}

BELCOR_EXPORT void belcor_sim_set_versions_at(int programmer, const char* hardware, const char* firmware,
                                              const char* serial)
{
    onProgrammer(programmer, [=](SimDevice& device) {
        ProgrammerVersions& versions = device.programmer->versions();
        versions.hardware = hardware ? hardware : "";
        versions.firmware = firmware ? firmware : "";
        versions.serial = serial ? serial : "";
    });
}

BELCOR_EXPORT void belcor_sim_set_versions(const char* hardware, const char* firmware, const char* serial)
{
    belcor_sim_set_versions_at(1, hardware, firmware, serial);
}

BELCOR_EXPORT void belcor_sim_set_bootloader(uint32_t start_address, uint16_t page_size)
{
    simulator().bootloader().setGeometry(start_address, page_size);
}

BELCOR_EXPORT uint32_t belcor_sim_last_image(uint8_t* data, uint32_t capacity)
{
    const std::vector<uint8_t>& image = simulator().bootloader().lastImage();
    if (data)
        std::copy_n(image.begin(), std::min<size_t>(capacity, image.size()), data);
    return uint32_t(image.size());
}

BELCOR_EXPORT int belcor_sim_in_bootloader(void)
{
    return callSafely(0, [] { return simulator().inBootloader() ? 1 : 0; });
}

BELCOR_EXPORT int belcor_sim_load_scenario(const char* path)
{
    return callSafely(-1, [=] {
        const std::lock_guard errorLock(lastErrorMutex);
        if (!path) {
            lastError = "no scenario path";
            return -1;
        }
        Scenario scenario = Scenario::defaultScene();
        if (*path && !scenario.load(path, lastError))
            return -1;
        const auto world = holdWorld();
        scenario.apply(simulator());
        lastError.clear();
        return 0;
    });
}

BELCOR_EXPORT const char* belcor_sim_last_error(void)
{
    return lastError.c_str();
}
