#pragma once

#include <string>

struct ProductionJob;

// The identity of a job's serial-number sequence: what the line server's
// leases and its index of issued serials are kept under. A job gets a new
// one when it is made and keeps it through every edit (its note, its target,
// its line ends, even its rule), so that no edit starts the numbers again; only
// an explicit choice gives a job a new sequence.
//
// A job file written before jobs carried one has it from its name and rule,
// and keeps that when it is next written.
std::string SerialSequenceOf(const ProductionJob& job);

// A new sequence: 128 random bits in hex.
std::string NewSerialSequence();
