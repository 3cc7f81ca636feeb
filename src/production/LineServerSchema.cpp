#include "production/LineServerSchema.h"

// Stations that connect at once race to create the same things: the loser
// finds them made (duplicate_table, or duplicate_object or unique_violation
// for the table's row type in the catalogue).
// A log that already holds doubled serials cannot take the index whole; it
// then guards the records that come after them.
const char* const LineServerSchema = R"(DO $$
DECLARE newest BIGINT;
BEGIN
  IF to_regclass('belcor_production_log') IS NULL THEN
    BEGIN
      CREATE TABLE belcor_production_log (
        seq BIGSERIAL PRIMARY KEY, uid TEXT NOT NULL UNIQUE, time TIMESTAMPTZ NOT NULL,
        station TEXT, programmer TEXT, job TEXT, job_hash TEXT, chip TEXT, jedec_id TEXT, operations TEXT,
        result TEXT, message TEXT, serial TEXT, serial_status TEXT, crc32 TEXT, sha256 TEXT,
        duration_ms BIGINT, cycle_ms BIGINT, station_id BIGINT);
    EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
    END;
  END IF;
  IF to_regclass('belcor_serial_leases') IS NULL THEN
    BEGIN
      CREATE TABLE belcor_serial_leases (job_hash TEXT PRIMARY KEY, next NUMERIC NOT NULL);
    EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
    END;
  END IF;
  IF to_regclass('belcor_production_log') IS NOT NULL AND to_regclass('belcor_production_log_serial') IS NULL THEN
    BEGIN
      CREATE UNIQUE INDEX belcor_production_log_serial ON belcor_production_log (job_hash, serial)
        WHERE serial <> '' AND serial_status <> 'returned';
    EXCEPTION
      WHEN unique_violation THEN
        SELECT max(seq) INTO newest FROM belcor_production_log;
        EXECUTE format('CREATE UNIQUE INDEX belcor_production_log_serial ON belcor_production_log '
                       '(job_hash, serial) WHERE serial <> '''' AND serial_status <> ''returned'' AND seq > %s',
                       newest);
      WHEN duplicate_table OR duplicate_object OR insufficient_privilege THEN NULL;
    END;
  END IF;
  -- Records name their operator; a log made before gains the column.
  IF to_regclass('belcor_production_log') IS NOT NULL THEN
    BEGIN
      ALTER TABLE belcor_production_log ADD COLUMN IF NOT EXISTS operator TEXT;
    EXCEPTION WHEN duplicate_column OR insufficient_privilege THEN NULL;
    END;
  END IF;
  -- Serials are unique within the job's serial sequence, whatever edits its
  -- job file had; records from before sequences have none and keep the index
  -- on the file's hash above.
  IF to_regclass('belcor_production_log') IS NOT NULL THEN
    BEGIN
      ALTER TABLE belcor_production_log ADD COLUMN IF NOT EXISTS serial_sequence TEXT;
    EXCEPTION WHEN duplicate_column OR insufficient_privilege THEN NULL;
    END;
  END IF;
  IF to_regclass('belcor_production_log') IS NOT NULL
     AND to_regclass('belcor_production_log_sequence_serial') IS NULL THEN
    BEGIN
      CREATE UNIQUE INDEX belcor_production_log_sequence_serial ON belcor_production_log (serial_sequence, serial)
        WHERE serial <> '' AND serial_status <> 'returned' AND serial_sequence <> '';
    EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
    END;
  END IF;
  -- The line's overview reads each station's newest record and its last hour
  -- from this index alone.
  IF to_regclass('belcor_production_log') IS NOT NULL
     AND to_regclass('belcor_production_log_station_time') IS NULL THEN
    BEGIN
      CREATE INDEX belcor_production_log_station_time ON belcor_production_log (station, time) INCLUDE (result);
    EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
    END;
  END IF;
  -- Lookups by serial number, image CRC and job over time. Built here only
  -- while the log is small enough to index well within the statement's time
  -- limit: a larger log's administrator builds them (CONCURRENTLY), rather
  -- than every station's connection waiting on it.
  IF to_regclass('belcor_production_log') IS NOT NULL
     AND (SELECT reltuples FROM pg_class WHERE oid = to_regclass('belcor_production_log')) < 100000 THEN
    IF to_regclass('belcor_production_log_serial_lookup') IS NULL THEN
      BEGIN
        CREATE INDEX belcor_production_log_serial_lookup ON belcor_production_log (serial);
      EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
      END;
    END IF;
    IF to_regclass('belcor_production_log_crc32') IS NULL THEN
      BEGIN
        CREATE INDEX belcor_production_log_crc32 ON belcor_production_log (crc32);
      EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
      END;
    END IF;
    IF to_regclass('belcor_production_log_job_time') IS NULL THEN
      BEGIN
        CREATE INDEX belcor_production_log_job_time ON belcor_production_log (job, time);
      EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
      END;
    END IF;
  END IF;
  -- Job values shared by a line: per serial sequence and field, the next
  -- index of a list or MAC range, or the last file name of a folder, leased.
  IF to_regclass('belcor_value_leases') IS NULL THEN
    BEGIN
      CREATE TABLE belcor_value_leases (sequence TEXT NOT NULL, field TEXT NOT NULL, next NUMERIC NOT NULL DEFAULT 0,
        last_file TEXT NOT NULL DEFAULT '', PRIMARY KEY (sequence, field));
    EXCEPTION WHEN duplicate_table OR duplicate_object OR unique_violation OR insufficient_privilege THEN NULL;
    END;
  END IF;
  -- Records carry the values their chip took. Looked up first: the ALTER
  -- would lock the table at every station's connect.
  IF to_regclass('belcor_production_log') IS NOT NULL AND NOT EXISTS (SELECT 1 FROM pg_attribute
       WHERE attrelid = to_regclass('belcor_production_log') AND attname = 'values_status') THEN
    BEGIN
      ALTER TABLE belcor_production_log ADD COLUMN IF NOT EXISTS job_values TEXT;
      ALTER TABLE belcor_production_log ADD COLUMN IF NOT EXISTS values_status TEXT;
    EXCEPTION WHEN duplicate_column OR insufficient_privilege THEN NULL;
    END;
  END IF;
END $$)";
