#pragma once

// What the line server holds for Belcor: the records of every station
// (belcor_production_log), the next serial number of each job, by the job
// file's hash (belcor_serial_leases), and a unique index on (job hash,
// serial) over the serials chips carry, so that no serial is ever stored
// twice. Creates only what is missing, and leaves out what the station has no
// right to create: the administrator may have made it, or will.
extern const char* const LineServerSchema;
