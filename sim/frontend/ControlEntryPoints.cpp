// The belcor_sim_* control and observation interface.
#include "frontend/SimulatorInstance.h"

#include "model/Scenario.h"
#include "model/SpiFlashChip.h"

#include "belcor_sim.h"

#include <algorithm>
#include <cstring>

#define BELCOR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::string lastError;

Chip* seatedChip()
{
    Simulator& sim = simulator();
    sim.update();
    return sim.programmer().chip();
}

bool spanInside(const Chip* chip, uint32_t address, uint32_t length)
{
    return chip && address <= chip->spec().size && length <= chip->spec().size - address;
}
}

BELCOR_EXPORT void belcor_sim_reset(void)
{
    callSafely([] { simulator().reset(); });
}

BELCOR_EXPORT void belcor_sim_set_plugged(int plugged)
{
    callSafely([=] { simulator().setPlugged(plugged != 0); });
}

BELCOR_EXPORT int belcor_sim_is_plugged(void)
{
    return simulator().isPlugged() ? 1 : 0;
}

BELCOR_EXPORT int belcor_sim_add_device(int kind)
{
    return callSafely(-1, [=] { return simulator().addDevice(kind); });
}

BELCOR_EXPORT int belcor_sim_device_was_opened(int index)
{
    Simulator& sim = simulator();
    return index >= 0 && size_t(index) < sim.deviceCount() && sim.device(size_t(index)).wasOpened;
}

BELCOR_EXPORT int belcor_sim_device_was_claimed(int index)
{
    Simulator& sim = simulator();
    return index >= 0 && size_t(index) < sim.deviceCount() && sim.device(size_t(index)).wasClaimed;
}

BELCOR_EXPORT int belcor_sim_seat_chip(const struct belcor_sim_chip* chip)
{
    return callSafely(-1, [=] {
        if (!chip)
            return -1;
        std::unique_ptr<Chip> seated = Chip::create(ChipSpec{chip->chip_class, chip->jedec_id, chip->size, chip->page_size});
        if (!seated)
            return -1;
        simulator().programmer().seatChip(std::move(seated));
        return 0;
    });
}

BELCOR_EXPORT void belcor_sim_remove_chip(void)
{
    callSafely([] { simulator().programmer().removeChip(); });
}

BELCOR_EXPORT int belcor_sim_chip_is_seated(void)
{
    return callSafely(0, [] { return seatedChip() ? 1 : 0; });
}

BELCOR_EXPORT int belcor_sim_chip_write(uint32_t address, const uint8_t* data, uint32_t length)
{
    return callSafely(-1, [=] {
        Chip* chip = seatedChip();
        if (!spanInside(chip, address, length) || (length && !data))
            return -1;
        std::copy(data, data + length, chip->cells() + address);
        return int(length);
    });
}

BELCOR_EXPORT int belcor_sim_chip_read(uint32_t address, uint8_t* data, uint32_t length)
{
    return callSafely(-1, [=] {
        const Chip* chip = seatedChip();
        if (!spanInside(chip, address, length) || (length && !data))
            return -1;
        std::copy(chip->cells() + address, chip->cells() + address + length, data);
        return int(length);
    });
}

BELCOR_EXPORT void belcor_sim_set_erase_time_ms(uint32_t milliseconds)
{
    simulator().programmer().setEraseTimeMs(milliseconds);
}

BELCOR_EXPORT int belcor_sim_chip_set_status(uint8_t value)
{
    return callSafely(-1, [=] {
        Chip* chip = seatedChip();
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
        simulator().clock().advance(milliseconds);
        simulator().update();
    });
}

BELCOR_EXPORT void belcor_sim_set_transfer_rate(uint32_t bytes_per_ms)
{
    simulator().throttle().setRate(bytes_per_ms);
}

BELCOR_EXPORT void belcor_sim_inject_fault(int fault, uint32_t after)
{
    FaultPlan& faults = simulator().faults();
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
}

BELCOR_EXPORT void belcor_sim_clear_faults(void)
{
    simulator().faults().clear();
}

BELCOR_EXPORT void belcor_sim_set_feeder(int enabled, uint32_t pause_ms)
{
    simulator().feeder().setEnabled(enabled != 0, pause_ms, simulator().clock().nowMs());
}

BELCOR_EXPORT uint32_t belcor_sim_feeder_done_count(void)
{
    return callSafely(0u, [] {
        simulator().update();
        return simulator().feeder().doneCount();
    });
}

BELCOR_EXPORT size_t belcor_sim_transcript_size(void)
{
    return simulator().transcript().size();
}

BELCOR_EXPORT int belcor_sim_transcript_get(size_t index, struct belcor_sim_event* event)
{
    const Transcript& transcript = simulator().transcript();
    if (!event || index >= transcript.size())
        return -1;
    *event = transcript.at(index);
    return 0;
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

BELCOR_EXPORT void belcor_sim_set_versions(const char* hardware, const char* firmware, const char* serial)
{
    callSafely([=] {
        ProgrammerVersions& versions = simulator().programmer().versions();
        versions.hardware = hardware ? hardware : "";
        versions.firmware = firmware ? firmware : "";
        versions.serial = serial ? serial : "";
    });
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
        if (!path) {
            lastError = "no scenario path";
            return -1;
        }
        Scenario scenario = Scenario::defaultScene();
        if (*path && !scenario.load(path, lastError))
            return -1;
        scenario.apply(simulator());
        lastError.clear();
        return 0;
    });
}

BELCOR_EXPORT const char* belcor_sim_last_error(void)
{
    return lastError.c_str();
}
