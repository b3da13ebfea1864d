// The per-thread initialise/uninitialise pairing that every user of an automation object
// (script engine, regex engine) follows. Nothing here loads anything: it is a counter per thread,
// so tests can check that every object's life leaves its thread balanced.
#pragma once

namespace korvane::platform {

// Raises this thread's initialisation count by one.
void CoInitialize();

// Lowers this thread's initialisation count by one. An unmatched call is counted too (the count
// goes negative), so a test sees the imbalance instead of it being hidden.
void CoUninitialize();

// This thread's current count: 0 when every initialise was balanced.
int ComInitCount();

// Initialises on construction and balances it on destruction.
class ComScope {
 public:
  ComScope() { CoInitialize(); }
  ~ComScope() { CoUninitialize(); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
};

}  // namespace korvane::platform
