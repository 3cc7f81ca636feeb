/* Control and observation interface of the BelcorU2 programmer simulator.
 *
 * libbelcor_sim.so exports the libusb-0.1 and hidapi entry points that the
 * application binds at run time, plus these belcor_sim_* functions, with which
 * tests, benchmarks and the application's simulation mode set up a scenario and
 * read back what the programmer's firmware received. None throws.
 *
 * Several programmers: a scene may hold a gang of them (scenario directive
 * "programmers N"), numbered 1..N in bus order, each with its own socket, chip,
 * feeder, faults and transfer pace. The *_at calls address programmer `programmer`;
 * the calls without it act on programmer 1. Threads: transfers on different
 * programmers' handles run in parallel, and any call may come from any thread;
 * a reset or a scenario load waits for transfers under way to finish. */
#ifndef BELCOR_SIM_H
#define BELCOR_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Identity of the simulated programmer; the application uses the same texts. */
#define BELCOR_SIM_VENDOR_ID 0x1FC8
#define BELCOR_SIM_PRODUCT_ID 0x300B
#define BELCOR_SIM_MANUFACTURER "www.belcor.example"
#define BELCOR_SIM_PRODUCT "ZudEZEZez"

/* Back to the initial state: one programmer plugged in, empty socket, no faults,
 * no extra devices, empty transcript, simulated clock at 0, feeder off. */
void belcor_sim_reset(void);

/* Programmers on the bus: the first, a gang's others and second programmers. */
int belcor_sim_programmer_count(void);

/* Plug or unplug a programmer. Raises the hot-plug callback when the state
 * changes. */
void belcor_sim_set_plugged(int plugged);
int belcor_sim_is_plugged(void);
void belcor_sim_set_plugged_at(int programmer, int plugged);
int belcor_sim_is_plugged_at(int programmer);

/* Further devices on the bus, appended after the programmer in bus order. */
enum belcor_sim_device_kind {
    BELCOR_SIM_SECOND_PROGRAMMER = 1, /* same identity, its own socket */
    BELCOR_SIM_LOOKALIKE = 2,         /* right ids, manufacturer "www.other.example" */
    BELCOR_SIM_WINUSB1 = 3,           /* product string "WinUSB1", endpoints 0x81/0x01/0x02 */
    BELCOR_SIM_CJK_PRODUCT = 4        /* product "ZudEZEZez" with one character above U+00FF */
};
/* Returns the device's index on the bus (the programmer is 0), or -1. */
int belcor_sim_add_device(int kind);
/* Whether the device at `index` was ever opened, and was ever claimed. */
int belcor_sim_device_was_opened(int index);
int belcor_sim_device_was_claimed(int index);
/* How often the device at `index` was opened (usb_open) since the scene began. */
int belcor_sim_device_open_count(int index);

/* Socket of a programmer. */
struct belcor_sim_chip {
    int chip_class;      /* 0 25-series, 1 24-series, 2 93-series, 3 95-series, 4 AVR */
    uint32_t jedec_id;   /* class 0: 0x00MMTTCC answered to Identify; class 4: signature */
    uint32_t size;       /* bytes of the main array */
    uint32_t page_size;  /* program page (class 0) or write page */
};
/* Seats a chip whose every byte is 0xFF. Returns 0, or -1 for an impossible chip. */
int belcor_sim_seat_chip(const struct belcor_sim_chip* chip);
void belcor_sim_remove_chip(void);
int belcor_sim_chip_is_seated(void);
/* Direct access to the seated chip's array (no programming rules). Return the
 * count of bytes moved, or -1 when no chip is seated or the span is outside it. */
int belcor_sim_chip_write(uint32_t address, const uint8_t* data, uint32_t length);
int belcor_sim_chip_read(uint32_t address, uint8_t* data, uint32_t length);
int belcor_sim_seat_chip_at(int programmer, const struct belcor_sim_chip* chip);
void belcor_sim_remove_chip_at(int programmer);
int belcor_sim_chip_is_seated_at(int programmer);
int belcor_sim_chip_write_at(int programmer, uint32_t address, const uint8_t* data, uint32_t length);
int belcor_sim_chip_read_at(int programmer, uint32_t address, uint8_t* data, uint32_t length);

/* Status register bits 2-7 of a seated class 0 chip (block protection BP0-BP2
 * in bits 2-4, top/bottom in bit 5), as an earlier tool may have left them.
 * Returns 0, or -1 when no serial flash is seated. */
int belcor_sim_chip_set_status(uint8_t value);

/* The socket's WP pin: `low` nonzero holds it low (default high). While it is
 * low, a class 0 chip whose SRP bit (bit 7) is set ignores status register
 * writes, as a part wired for hardware protection does. */
void belcor_sim_set_write_protect_pin(int low);
void belcor_sim_set_write_protect_pin_at(int programmer, int low);

/* Time a class 0 chip erase keeps the chip busy, in simulated milliseconds
 * (default 2000). 0xFFFFFFFF = the erase never finishes. */
void belcor_sim_set_erase_time_ms(uint32_t milliseconds);
void belcor_sim_set_erase_time_ms_at(int programmer, uint32_t milliseconds);

/* Simulated time runs with the wall clock; tests whose host does not really
 * sleep move it on by hand. */
void belcor_sim_advance_ms(uint32_t milliseconds);
/* Simulated time now: benchmarks take differences of it. Page programs move it
 * on by the time the firmware waits for them. */
uint64_t belcor_sim_now_ms(void);

/* Real time each bulk data transfer of `bytes_per_ms` bytes takes (0 = instant,
 * the default), so that the demo shows a plausible transfer rate. */
void belcor_sim_set_transfer_rate(uint32_t bytes_per_ms);
void belcor_sim_set_transfer_rate_at(int programmer, uint32_t bytes_per_ms);

/* Faults, each armed once; `after` counts events of the fault's kind from now
 * (0 = the next one). */
enum belcor_sim_fault {
    BELCOR_SIM_LOSE_REPLY = 1,       /* the after-th reply or bulk read times out */
    BELCOR_SIM_UNPLUG = 2,           /* the programmer leaves the bus at the after-th transfer */
    BELCOR_SIM_STUCK_BIT = 3,        /* bit 0 of chip address `after` never programs */
    BELCOR_SIM_FLIP_READ_BIT = 4     /* bit 0 of the byte at address `after` reads flipped */
};
void belcor_sim_inject_fault(int fault, uint32_t after);
void belcor_sim_inject_fault_at(int programmer, int fault, uint32_t after);
/* Clears the faults of every programmer. */
void belcor_sim_clear_faults(void);

/* Automatic feeder for batch rehearsal: once a chip that has been written is
 * taken out by the feeder after `pause_ms`, a blank chip like it is seated
 * after another `pause_ms`. */
void belcor_sim_set_feeder(int enabled, uint32_t pause_ms);
/* Chips the feeder has finished (written, then taken out). */
uint32_t belcor_sim_feeder_done_count(void);
void belcor_sim_set_feeder_at(int programmer, int enabled, uint32_t pause_ms);
uint32_t belcor_sim_feeder_done_count_at(int programmer);
/* 1 while the feeder is on, whether a scenario or a call switched it on. */
int belcor_sim_is_feeder_on(void);
int belcor_sim_is_feeder_on_at(int programmer);

/* Transcript of everything the firmware received or sent. */
enum belcor_sim_event_kind {
    BELCOR_SIM_EVENT_COMMAND = 1,    /* a 64-byte block on the command endpoint */
    BELCOR_SIM_EVENT_REPLY = 2,      /* a 64-byte reply read from the reply endpoint */
    BELCOR_SIM_EVENT_DATA_OUT = 3,   /* a bulk write on the data endpoint */
    BELCOR_SIM_EVENT_DATA_IN = 4,    /* a bulk read of data from the reply endpoint */
    BELCOR_SIM_EVENT_OPEN = 5,
    BELCOR_SIM_EVENT_CLOSE = 6,
    BELCOR_SIM_EVENT_HID_OUT = 7,    /* a report written to the boot loader */
    BELCOR_SIM_EVENT_HID_IN = 8      /* a report read from the boot loader */
};
struct belcor_sim_event {
    int kind;
    int endpoint;          /* USB endpoint address, or 0 */
    uint32_t length;       /* bytes moved (requested length for a lost transfer) */
    int result;            /* what the library call returned */
    uint32_t address;      /* chip address of a data transfer */
    uint8_t block[64];     /* first 64 bytes of the transfer */
};
size_t belcor_sim_transcript_size(void);
/* Returns 0 and fills *event, or -1 for an index past the end. */
int belcor_sim_transcript_get(size_t index, struct belcor_sim_event* event);
void belcor_sim_transcript_clear(void);
/* Data transfers are recorded only when this is on (default on); benchmarks
 * turn it off. */
void belcor_sim_set_transcript_enabled(int enabled);

/* Protocol mistakes the firmware saw (a write while an erase runs, data before
 * any SetAddress, an unknown opcode, an Erase for a family that has none, ...).
 * Tests assert there are none; each is also printed on stderr. */
size_t belcor_sim_protocol_error_count(void);
const char* belcor_sim_protocol_error(size_t index);

/* Called (on the caller's thread, at the end of a belcor_sim_* or library call,
 * with no lock of the simulator held, so the callback may call the library)
 * whenever a device arrives or leaves, like a udev event. */
typedef void (*belcor_sim_hotplug_callback)(void* context);
void belcor_sim_set_hotplug_callback(belcor_sim_hotplug_callback callback, void* context);

/* Hardware information the programmer reports. */
void belcor_sim_set_versions(const char* hardware, const char* firmware, const char* serial);
void belcor_sim_set_versions_at(int programmer, const char* hardware, const char* firmware, const char* serial);
/* Boot loader: page size and start address it reports, and the image received
 * by the last completed upgrade (length 0 before any). */
void belcor_sim_set_bootloader(uint32_t start_address, uint16_t page_size);
uint32_t belcor_sim_last_image(uint8_t* data, uint32_t capacity);
int belcor_sim_in_bootloader(void);

/* Loads a scenario file (see the README); returns 0, or -1 with a message in
 * belcor_sim_last_error(). */
int belcor_sim_load_scenario(const char* path);
const char* belcor_sim_last_error(void);

#ifdef __cplusplus
}
#endif

#endif
